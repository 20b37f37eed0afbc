// Comparison sets and their items. The setup library makes sets but no items;
// items are only reset and deleted here.
#include "compare_set.h"

#include "page_heap.h"

COMPARE_SET *CompareSetNew(void) {
  COMPARE_SET *set = (COMPARE_SET *)PageHeapAlloc(LibraryHeap, sizeof(COMPARE_SET));
  if (!set) return NULL;
  set->FirstScan = NULL;
  set->SecondScan = NULL;
  set->Items = BlockListCreate(&ScanPool);
  return set;
}

void CompareSetDelete(COMPARE_SET *set) {
  if (!set) return;
  DirScanFree(set->FirstScan);
  DirScanFree(set->SecondScan);
  COMPARE_ITEM *item = (COMPARE_ITEM *)BlockListFirst(set->Items);
  while (item) {
    COMPARE_ITEM *next = (COMPARE_ITEM *)BlockListNext(item);
    CompareItemDelete(item);
    item = next;
  }
  BlockListDestroy(&ScanPool, &set->Items);
  PageHeapFree(LibraryHeap, set, sizeof(COMPARE_SET));
}

void CompareItemReset(COMPARE_ITEM *item) {
  if (!item) return;
  for (int i = 0; i < COMPARE_ITEM_LISTS; i++)
    if (item->Lists[i]) BlockListDestroy(&ScanPool, &item->Lists[i]);
  FileLinesReset(item->FirstLines);
  FileLinesReset(item->SecondLines);
}

void CompareItemDelete(COMPARE_ITEM *item) {
  if (!item) return;
  CompareItemReset(item);
  FileLinesDelete(item->FirstLines);
  FileLinesDelete(item->SecondLines);
  item->FirstLines = NULL;
  item->SecondLines = NULL;
  for (int i = 0; i < COMPARE_ITEM_TEXTS; i++) {
    PageHeapFreeString(LibraryHeap, item->Texts[i]);
    item->Texts[i] = NULL;
  }
  if (item->OwnRecord) PageHeapFree(LibraryHeap, item, sizeof(COMPARE_ITEM));
}
