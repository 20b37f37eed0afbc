/* Comparison sets and their items. The setup library makes sets but no items;
   items are only reset and deleted here. */
#include "compare_set.h"

#include "page_heap.h"

COMPARE_SET *CompareSetNew(void) {
  COMPARE_SET *Set = (COMPARE_SET *)PageHeapAlloc(LibraryHeap, sizeof(COMPARE_SET));
  if (!Set) return NULL;
  Set->FirstScan = NULL;
  Set->SecondScan = NULL;
  Set->Items = BlockListCreate(&ScanPool);
  return Set;
}

void CompareSetDelete(COMPARE_SET *Set) {
  if (!Set) return;
  DirScanFree(Set->FirstScan);
  DirScanFree(Set->SecondScan);
  COMPARE_ITEM *Item = (COMPARE_ITEM *)BlockListFirst(Set->Items);
  while (Item) {
    COMPARE_ITEM *Next = (COMPARE_ITEM *)BlockListNext(Item);
    CompareItemDelete(Item);
    Item = Next;
  }
  BlockListDestroy(&ScanPool, &Set->Items);
  PageHeapFree(LibraryHeap, Set, sizeof(COMPARE_SET));
}

void CompareItemReset(COMPARE_ITEM *Item) {
  if (!Item) return;
  for (int i = 0; i < COMPARE_ITEM_LISTS; i++)
    if (Item->Lists[i]) BlockListDestroy(&ScanPool, &Item->Lists[i]);
  FileLinesReset(Item->FirstLines);
  FileLinesReset(Item->SecondLines);
}

void CompareItemDelete(COMPARE_ITEM *Item) {
  if (!Item) return;
  CompareItemReset(Item);
  FileLinesDelete(Item->FirstLines);
  FileLinesDelete(Item->SecondLines);
  Item->FirstLines = NULL;
  Item->SecondLines = NULL;
  for (int i = 0; i < COMPARE_ITEM_TEXTS; i++) {
    PageHeapFreeString(LibraryHeap, Item->Texts[i]);
    Item->Texts[i] = NULL;
  }
  if (Item->OwnRecord) PageHeapFree(LibraryHeap, Item, sizeof(COMPARE_ITEM));
}
