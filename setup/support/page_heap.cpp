#include "page_heap.h"

#include <stdint.h>
#include <string.h>

HGLOBAL LibraryHeap;

int OutOfMemoryPrompt(void) {
  int answer = MessageBoxA(NULL, "Memory allocation failed", "Out Of Memory", MB_ABORTRETRYIGNORE | MB_ICONERROR);
  if (answer == IDABORT) ExitProcess(1);
  return answer;
}

// GlobalAlloc, asking the user again for as long as they choose Retry.
static HGLOBAL AllocWithPrompt(SIZE_T bytes) {
  for (;;) {
    HGLOBAL handle = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
    if (handle) return handle;
    if (OutOfMemoryPrompt() != IDRETRY) return NULL;
  }
}

// The unit map is read and written 64 units at a time: map word i holds the
// 32-bit words 2i and 2i+1, which on a little-endian machine is the same bit
// for the same unit.
#define MAP_WORDS (PAGE_HEAP_UNITS / 64)

static inline uint64_t MapWord(const PAGE_HEADER *page, int i) {
  uint64_t word;
  memcpy(&word, &page->UnitMap[2 * i], sizeof(word));
  return word;
}

static inline void SetMapWord(PAGE_HEADER *page, int i, uint64_t word) {
  memcpy(&page->UnitMap[2 * i], &word, sizeof(word));
}

// The bits of map word i that stand for bits first to end - 1 of the map.
static inline uint64_t MaskOf(int i, int first, int end) {
  int from = first > i * 64 ? first - i * 64 : 0;
  int to = end < (i + 1) * 64 ? end - i * 64 : 64;
  uint64_t high = to == 64 ? ~(uint64_t)0 : (((uint64_t)1 << to) - 1);
  return high & ~(((uint64_t)1 << from) - 1);
}

// Marks count units from first in use; the caller knows them to be free.
static void TakeUnits(PAGE_HEADER *page, LONG first, LONG count) {
  int bit = (int)first - 1, end = bit + (int)count;
  for (int i = bit / 64; i * 64 < end; i++) SetMapWord(page, i, MapWord(page, i) & ~MaskOf(i, bit, end));
}

// Marks count units from first free; the answer is how many of them were in use.
static LONG GiveUnits(PAGE_HEADER *page, LONG first, LONG count) {
  int bit = (int)first - 1, end = bit + (int)count;
  LONG freed = 0;
  for (int i = bit / 64; i * 64 < end; i++) {
    uint64_t word = MapWord(page, i), mask = MaskOf(i, bit, end);
    freed += __builtin_popcountll(mask & ~word);
    SetMapWord(page, i, word | mask);
  }
  return freed;
}

// The length of the run of free units that holds units first to first + count - 1
// (all free): the run reaches from the unit in use below it to the one above.
static LONG RunAround(const PAGE_HEADER *page, LONG first, LONG count) {
  int low = (int)first - 1, high = low + (int)count; // bits low to high - 1 are free
  while (low > 0) {
    int i = (low - 1) / 64, top = (low - 1) % 64;
    uint64_t below = ~(MapWord(page, i) << (63 - top)); // bit 63: bit low - 1 of the map
    int freeBelow = below ? __builtin_clzll(below) : 64;
    if (freeBelow > top + 1) freeBelow = top + 1;
    low -= freeBelow;
    if (freeBelow <= top) break;
  }
  while (high < PAGE_HEAP_UNITS) {
    int i = high / 64, bottom = high % 64;
    uint64_t above = ~(MapWord(page, i) >> bottom); // bit 0: bit high of the map
    int freeAbove = above ? __builtin_ctzll(above) : 64;
    if (freeAbove > 64 - bottom) freeAbove = 64 - bottom;
    high += freeAbove;
    if (freeAbove < 64 - bottom) break;
  }
  return high - low;
}

static PAGE_HEADER *NewPage(BOOL withLock) {
  HGLOBAL handle = AllocWithPrompt(PAGE_HEAP_PAGE_SIZE);
  if (!handle) return NULL;
  PAGE_HEADER *page = (PAGE_HEADER *)GlobalLock(handle); // never unlocked: the page never moves
  if (!page) {
    GlobalFree(handle);
    return NULL;
  }
  page->Handle = handle;
  if (withLock) InitializeCriticalSection(&page->Lock);
  page->Next = NULL;
  memset(page->UnitMap, 0xFF, sizeof(page->UnitMap));
  TakeUnits(page, 1, PAGE_HEAP_HEADER_UNITS);
  page->FreeUnits = PAGE_HEAP_UNITS - PAGE_HEAP_HEADER_UNITS;
  page->RunBound = PAGE_HEAP_UNITS - PAGE_HEAP_HEADER_UNITS;
  page->FreshUnit = PAGE_HEAP_HEADER_UNITS + 1;
  return page;
}

HGLOBAL PageHeapCreate(void) {
  PAGE_HEADER *page = NewPage(TRUE);
  return page ? page->Handle : NULL;
}

// First fit: the lowest unit that starts a run of count free units, or 0. Words
// of units all in use are passed over whole; from the first free unit the run
// is measured up to the next unit in use, a word at a time.
static LONG FindRun(const PAGE_HEADER *page, LONG count) {
  int bit = 0;
  while (bit + count <= PAGE_HEAP_UNITS) {
    int i = bit / 64;
    uint64_t free = MapWord(page, i) >> (bit % 64);
    if (free == 0) {
      bit = (i + 1) * 64;
      continue;
    }
    bit += __builtin_ctzll(free);
    int need = bit + (int)count;
    if (need > PAGE_HEAP_UNITS) return 0;
    int end = bit; // the first unit in use at or after bit, or need
    while (end < need) {
      int j = end / 64;
      uint64_t used = ~MapWord(page, j) >> (end % 64);
      if (used == 0) {
        end = (j + 1) * 64;
      } else {
        end += __builtin_ctzll(used);
        break;
      }
    }
    if (end >= need) return bit + 1;
    bit = end + 1; // that unit is in use: go on just after it
  }
  return 0;
}

// What is known of the heap used last: its first page, and a tail of its chain
// (FullTail onwards) in which no page has a run of FullUnits free units. A walk
// that found no room in any page makes the tail everything after the page it
// then adds; any free forgets it.
static HGLOBAL KnownHeap;
static PAGE_HEADER *KnownFirst;
static PAGE_HEADER *FullTail;
static LONG FullUnits;

// The first page of a heap. Pages are never unlocked nor given back, so the
// address found for a handle holds for as long as the process lives.
static PAGE_HEADER *FirstPage(HGLOBAL heap) {
  if (heap && heap == KnownHeap) return KnownFirst;
  PAGE_HEADER *first = (PAGE_HEADER *)GlobalLock(heap);
  if (first) {
    GlobalUnlock(heap); // the page stays locked from its creation
    KnownHeap = heap;
    KnownFirst = first;
    FullTail = NULL;
  }
  return first;
}

// Takes a run of units from page, or gives 0 when the page has none that long.
static LONG TakeRun(PAGE_HEADER *page, LONG units) {
  if (page->FreeUnits < units || page->RunBound < units) return 0;
  LONG unit = FindRun(page, units);
  if (!unit) {
    page->RunBound = (WORD)(units - 1);
    return 0;
  }
  TakeUnits(page, unit, units);
  page->FreeUnits -= units;
  return unit;
}

LPVOID PageHeapAlloc(HGLOBAL heap, LONG size) {
  if (size < 1) return NULL;
  if (size > PAGE_HEAP_LARGEST_SMALL) {
    HGLOBAL handle = AllocWithPrompt((SIZE_T)size);
    if (!handle) return NULL;
    LPVOID large = GlobalLock(handle);
    if (!large) GlobalFree(handle);
    return large; // zero-filled by GMEM_ZEROINIT
  }
  PAGE_HEADER *first = FirstPage(heap);
  if (!first) return NULL;
  LONG units = PAGE_HEAP_UNITS_FOR(size);
  LONG unit = 0;
  EnterCriticalSection(&first->Lock);
  PAGE_HEADER *page;
  for (page = first; page; page = page->Next) {
    if (page == FullTail && units >= FullUnits) {
      page = NULL; // none of the rest has room
      break;
    }
    if ((unit = TakeRun(page, units)) != 0) break;
  }
  if (!page) {
    page = NewPage(FALSE);
    if (!page) {
      LeaveCriticalSection(&first->Lock);
      return NULL;
    }
    page->Next = first->Next; // new pages go directly after the first
    first->Next = page;
    if (first == KnownFirst) {
      FullTail = page->Next;
      FullUnits = units;
    }
    unit = TakeRun(page, units);
  }
  // Units from FreshUnit on were never handed out and are still zero.
  LONG dirtyUnits = page->FreshUnit > unit ? page->FreshUnit - unit : 0;
  if (page->FreshUnit < unit + units) page->FreshUnit = (WORD)(unit + units);
  BYTE *block = (BYTE *)page + (unit - 1) * PAGE_HEAP_UNIT_SIZE;
  DWORD offset = (DWORD)(block - (BYTE *)page);
  memcpy(block, &offset, PAGE_HEAP_BLOCK_PREFIX);
  LeaveCriticalSection(&first->Lock);
  LPVOID address = block + PAGE_HEAP_BLOCK_PREFIX;
  LONG dirty = dirtyUnits * PAGE_HEAP_UNIT_SIZE - PAGE_HEAP_BLOCK_PREFIX;
  if (dirty > 0) memset(address, 0, (size_t)(dirty < size ? dirty : size));
  return address;
}

void PageHeapFree(HGLOBAL heap, LPVOID address, LONG size) {
  if (size < 1 || !address) return;
  if (size > PAGE_HEAP_LARGEST_SMALL) {
    HGLOBAL handle = GlobalHandle(address);
    if (handle) {
      GlobalUnlock(handle);
      GlobalFree(handle);
    }
    return;
  }
  PAGE_HEADER *first = FirstPage(heap);
  if (!first) return;
  BYTE *block = (BYTE *)address - PAGE_HEAP_BLOCK_PREFIX;
  DWORD offset;
  memcpy(&offset, block, PAGE_HEAP_BLOCK_PREFIX);
  LONG unit = (LONG)(offset / PAGE_HEAP_UNIT_SIZE) + 1;
  LONG units = PAGE_HEAP_UNITS_FOR(size);
  // Only a block that a page could have handed out is taken back; only units in
  // use are counted, so that a block freed twice cannot inflate the free count.
  if (offset % PAGE_HEAP_UNIT_SIZE != 0 || unit <= PAGE_HEAP_HEADER_UNITS || unit + units - 1 > PAGE_HEAP_UNITS) return;
  PAGE_HEADER *page = (PAGE_HEADER *)(block - offset);
  EnterCriticalSection(&first->Lock);
  if (first == KnownFirst) FullTail = NULL;
  LONG freed = GiveUnits(page, unit, units);
  page->FreeUnits += freed;
  // Freeing makes one run longer (joined with its neighbours); no other changes.
  if (freed) {
    LONG run = RunAround(page, unit, units);
    if (run > page->RunBound) page->RunBound = (WORD)run;
  }
  LeaveCriticalSection(&first->Lock);
}

LPSTR PageHeapCopyString(HGLOBAL heap, LPCSTR text) {
  if (!text) return NULL;
  LONG length = (LONG)strlen(text);
  LPSTR copy = (LPSTR)PageHeapAlloc(heap, length + 1);
  if (copy) memcpy(copy, text, (size_t)length + 1);
  return copy;
}

void PageHeapFreeString(HGLOBAL heap, LPSTR text) {
  if (text) PageHeapFree(heap, text, (LONG)strlen(text) + 1);
}
