// The page heap's and the block lists' sizes as the setup library sees them: the
// same numbers on every host, the 32-bit target's.
#include "probe.h"

#include "block_list.h"
#include "page_heap.h"

static BYTE *Alloc(LONG size) { return (BYTE *)PageHeapAlloc(LibraryHeap, size); }

static PAGE_HEADER *PageOf(BYTE *block) {
  DWORD offset;
  memcpy(&offset, block - PAGE_HEAP_BLOCK_PREFIX, sizeof(offset));
  return (PAGE_HEADER *)(block - PAGE_HEAP_BLOCK_PREFIX - offset);
}

int main() {
  LibraryHeap = PageHeapCreate();
  PAGE_HEADER *first = (PAGE_HEADER *)GlobalLock(LibraryHeap);
  GlobalUnlock(LibraryHeap);
  printf("new heap free units: %ld\n", (long)first->FreeUnits);

  BYTE *a = Alloc(57);
  BYTE *b = Alloc(60);
  BYTE *c = Alloc(61);
  BYTE *d = Alloc(1);
  printf("first block at page +: %ld\n", (long)(a - (BYTE *)first));
  printf("57 bytes take units: %ld\n", (long)((b - a) / PAGE_HEAP_UNIT_SIZE));
  printf("60 bytes take units: %ld\n", (long)((c - b) / PAGE_HEAP_UNIT_SIZE));
  printf("61 bytes take units: %ld\n", (long)((d - c) / PAGE_HEAP_UNIT_SIZE));
  LONG before = first->FreeUnits;
  BYTE *most = Alloc(20000);
  printf("20000 bytes take units: %ld\n", (long)(before - first->FreeUnits));
  BYTE *large = Alloc(20001);
  HGLOBAL own = GlobalHandle(large);
  printf("20001 bytes: %s of %lu bytes, page units unchanged: %s\n", own ? "own memory" : "no memory",
         (unsigned long)(own ? GlobalSize(own) : 0), before - first->FreeUnits == 313 ? "yes" : "no");
  PageHeapFree(LibraryHeap, large, 20001);

  // Freed units come back zeroed, lowest first.
  memset(b, 0xAB, 60);
  PageHeapFree(LibraryHeap, b, 60);
  BYTE *again = Alloc(10);
  BOOL zero = TRUE;
  for (int i = 0; i < 10; i++) zero &= again[i] == 0;
  printf("a freed unit is found again: %s, zero-filled: %s\n", again == b ? "yes" : "no", zero ? "yes" : "no");

  // P1 holds 313 units; two more 20000-byte blocks need P2, then P3.
  BYTE *inP2 = Alloc(20000);
  BYTE *inP3 = Alloc(20000);
  PAGE_HEADER *p2 = PageOf(inP2);
  PAGE_HEADER *p3 = PageOf(inP3);
  printf("chain: %s\n",
         PageOf(most) == first && first->Next == p3 && p3->Next == p2 && !p2->Next ? "P1 P3 P2" : "other");
  printf("zero bytes: %s\n", PageHeapAlloc(LibraryHeap, 0) ? "a block" : "none");
  PageHeapFree(LibraryHeap, a, 57);
  PageHeapFree(LibraryHeap, c, 61);
  PageHeapFree(LibraryHeap, d, 1);
  PageHeapFree(LibraryHeap, again, 10);
  PageHeapFree(LibraryHeap, most, 20000);
  printf("all given back: %s\n", first->FreeUnits == 510 ? "yes" : "no");

  BLOCK_LIST_POOL pool;
  memset(&pool, 0, sizeof(pool));
  BLOCK_LIST list = BlockListCreate(&pool);
  HGLOBAL block = list ? GlobalHandle(list->Block) : NULL;
  printf("list block bytes: %lu\n", (unsigned long)(block ? GlobalSize(block) : 0));
  BlockListDestroy(&pool, &list);
  return 0;
}
