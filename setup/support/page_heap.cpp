#include "page_heap.h"

#include <stdint.h>
#include <stdlib.h>
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
    uint64_t word = MapWord(page, i), mask = MaskOf(i, bit, end), inUse = mask & ~word;
    if (inUse == mask) // as it should be: every unit of the block was in use
      freed += (end < (i + 1) * 64 ? end : (i + 1) * 64) - (bit > i * 64 ? bit : i * 64);
    else
      freed += __builtin_popcountll(inUse);
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
  page->Place = 0;
  return page;
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

// What a heap keeps beside its pages, so that a walk reads one small array
// rather than page headers 32 KB apart. Places number the pages in the order
// they were made (the first page 0); as new pages go directly after the first,
// the chain visits places 0, Count - 1, Count - 2, ..., 1.
typedef struct PAGE_TABLE {
  HGLOBAL Heap;
  PAGE_HEADER *First;
  struct PAGE_TABLE *Next; // the process's next table
  LONG Count, Capacity;
  PAGE_HEADER **Pages;
  WORD *RunBound; // no run of free units of the page is longer than this
  WORD *Room;     // the smaller of the page's free units and RunBound
  // Bit k-1 set: free unit k may still hold the prefix of a block given back
  // (all else of a free unit reads zero), cleared when it is handed out again.
  uint64_t (*Prefixes)[MAP_WORDS];
  // Places 1 to FullBelow - 1 have no run of FullUnits free units. A walk that
  // found no room anywhere sets it as it adds a page; any free forgets it.
  LONG FullBelow, FullUnits;
} PAGE_TABLE;

// Every heap this process has used; tables are never given back.
static PAGE_TABLE *Tables;
static PAGE_TABLE *KnownTable; // the table used last

static PAGE_TABLE *RegisteredTable(HGLOBAL heap) {
  PAGE_TABLE *table = __atomic_load_n(&KnownTable, __ATOMIC_ACQUIRE);
  if (table && table->Heap == heap) return table;
  for (table = __atomic_load_n(&Tables, __ATOMIC_ACQUIRE); table; table = table->Next)
    if (table->Heap == heap) return table;
  return NULL;
}

static void NoteRoom(PAGE_TABLE *table, LONG place) {
  LONG freeUnits = table->Pages[place]->FreeUnits;
  LONG bound = table->RunBound[place];
  table->Room[place] = (WORD)(freeUnits < bound ? (freeUnits < 0 ? 0 : freeUnits) : bound);
}

static BOOL GrowTable(PAGE_TABLE *table, LONG count) {
  if (count <= table->Capacity) return TRUE;
  LONG capacity = table->Capacity ? table->Capacity : 16;
  while (capacity < count) capacity *= 2;
  PAGE_HEADER **pages = (PAGE_HEADER **)realloc(table->Pages, (size_t)capacity * sizeof(*pages));
  if (!pages) return FALSE;
  table->Pages = pages;
  WORD *bounds = (WORD *)realloc(table->RunBound, (size_t)capacity * sizeof(*bounds));
  if (!bounds) return FALSE;
  table->RunBound = bounds;
  WORD *room = (WORD *)realloc(table->Room, (size_t)capacity * sizeof(*room));
  if (!room) return FALSE;
  table->Room = room;
  uint64_t(*prefixes)[MAP_WORDS] =
      (uint64_t(*)[MAP_WORDS])realloc(table->Prefixes, (size_t)capacity * sizeof(*prefixes));
  if (!prefixes) return FALSE;
  table->Prefixes = prefixes;
  table->Capacity = capacity;
  return TRUE;
}

static void SetPlace(PAGE_TABLE *table, LONG place, PAGE_HEADER *page) {
  table->Pages[place] = page;
  page->Place = (DWORD)place;
  table->RunBound[place] = PAGE_HEAP_UNITS - PAGE_HEAP_HEADER_UNITS;
  NoteRoom(table, place);
  memset(table->Prefixes[place], 0, sizeof(table->Prefixes[place]));
}

// Fills the table from the heap's chain, as it stands.
static BOOL FillTable(PAGE_TABLE *table) {
  LONG count = 0;
  for (PAGE_HEADER *page = table->First; page; page = page->Next) count++;
  if (!GrowTable(table, count)) return FALSE;
  table->Count = count;
  LONG place = 0;
  for (PAGE_HEADER *page = table->First; page; page = page->Next) {
    SetPlace(table, place, page);
    // Pages this table did not see grow may hold a prefix in any free unit.
    for (int i = 0; i < MAP_WORDS; i++) table->Prefixes[place][i] = MapWord(page, i);
    place = place == 0 ? count - 1 : place - 1;
  }
  table->FullBelow = 1;
  table->FullUnits = 0;
  return TRUE;
}

// A table for a heap that has none yet: for a new heap (fresh) its one page,
// else the chain as it stands. NULL when there is no memory for it.
static PAGE_TABLE *RegisterTable(HGLOBAL heap, PAGE_HEADER *first, BOOL fresh) {
  PAGE_TABLE *table = (PAGE_TABLE *)calloc(1, sizeof(PAGE_TABLE));
  if (!table) return NULL;
  table->Heap = heap;
  table->First = first;
  if (fresh ? !GrowTable(table, 1) : !FillTable(table)) {
    free(table->Pages);
    free(table->RunBound);
    free(table->Room);
    free(table->Prefixes);
    free(table);
    return NULL;
  }
  if (fresh) {
    table->Count = 1;
    SetPlace(table, 0, first);
    table->FullBelow = 1;
  }
  table->Next = __atomic_load_n(&Tables, __ATOMIC_ACQUIRE);
  while (!__atomic_compare_exchange_n(&Tables, &table->Next, table, FALSE, __ATOMIC_RELEASE, __ATOMIC_ACQUIRE)) {}
  return table;
}

// The heap's table, with the heap's lock held (none: the lock is not held).
static PAGE_TABLE *EnterHeap(HGLOBAL heap) {
  if (!heap) return NULL;
  PAGE_TABLE *table = RegisteredTable(heap);
  PAGE_HEADER *first;
  if (table) {
    first = table->First;
  } else {
    // Pages are never unlocked nor given back, so the address found for a
    // handle holds for as long as the process lives.
    first = (PAGE_HEADER *)GlobalLock(heap);
    if (!first) return NULL;
    GlobalUnlock(heap); // the page stays locked from its creation
  }
  EnterCriticalSection(&first->Lock);
  if (!table && !(table = RegisteredTable(heap)) && !(table = RegisterTable(heap, first, FALSE))) {
    LeaveCriticalSection(&first->Lock);
    return NULL;
  } else if (first->Next != (table->Count > 1 ? table->Pages[table->Count - 1] : NULL) && !FillTable(table)) {
    // The chain grew behind the table's back (another copy of this code): read it again.
    LeaveCriticalSection(&first->Lock);
    return NULL;
  }
  __atomic_store_n(&KnownTable, table, __ATOMIC_RELEASE);
  return table;
}

HGLOBAL PageHeapCreate(void) {
  PAGE_HEADER *page = NewPage(TRUE);
  if (!page) return NULL;
  // Without memory for its table now, the heap makes one when it is first used.
  RegisterTable(page->Handle, page, TRUE);
  return page->Handle;
}

// Takes a run of units from the page at place, or gives 0 when it has none that long.
static LONG TakeRun(PAGE_TABLE *table, LONG place, LONG units) {
  PAGE_HEADER *page = table->Pages[place];
  LONG unit = page->FreeUnits >= units ? FindRun(page, units) : 0;
  if (unit) {
    TakeUnits(page, unit, units);
    page->FreeUnits -= units;
    // Prefixes of earlier blocks inside the run are all that is not zero.
    int bit = (int)unit - 1, end = bit + (int)units;
    uint64_t *prefixes = table->Prefixes[place];
    for (int i = bit / 64; i * 64 < end; i++) {
      uint64_t mask = MaskOf(i, bit, end), stale = prefixes[i] & mask;
      prefixes[i] &= ~mask;
      for (; stale; stale &= stale - 1)
        memset((BYTE *)page + (i * 64 + __builtin_ctzll(stale)) * PAGE_HEAP_UNIT_SIZE, 0, PAGE_HEAP_BLOCK_PREFIX);
    }
  } else {
    table->RunBound[place] = (WORD)(units - 1);
  }
  NoteRoom(table, place);
  return unit;
}

// Adds a page directly after the first and takes a run from it: its place, or -1.
static LONG AddPage(PAGE_TABLE *table, LONG units) {
  if (!GrowTable(table, table->Count + 1)) return -1;
  PAGE_HEADER *page = NewPage(FALSE);
  if (!page) return -1;
  page->Next = table->First->Next;
  table->First->Next = page;
  LONG place = table->Count++;
  SetPlace(table, place, page);
  table->FullBelow = place; // the walk before found no room in any other page
  table->FullUnits = units;
  TakeRun(table, place, units);
  return place;
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
  PAGE_TABLE *table = EnterHeap(heap);
  if (!table) return NULL;
  LONG units = PAGE_HEAP_UNITS_FOR(size);
  LONG unit = 0;
  // The chain's order: place 0, then from the newest page back to place 1 (or
  // to where the rest is known to be full for this many units).
  LONG stop = units >= table->FullUnits ? table->FullBelow : 1;
  LONG place = 0;
  const WORD *room = table->Room;
  for (;;) {
    if (room[place] >= units && (unit = TakeRun(table, place, units)) != 0) break;
    place = place == 0 ? table->Count - 1 : place - 1;
    while (place >= stop && room[place] < units) place--;
    if (place < stop || place == 0) {
      place = AddPage(table, units);
      if (place < 0) {
        LeaveCriticalSection(&table->First->Lock);
        return NULL;
      }
      unit = (LONG)(PAGE_HEAP_HEADER_UNITS + 1);
      break;
    }
  }
  BYTE *block = (BYTE *)table->Pages[place] + (unit - 1) * PAGE_HEAP_UNIT_SIZE;
  LeaveCriticalSection(&table->First->Lock);
  // The units were free, so they read zero: only the prefix is written.
  DWORD offset = (DWORD)((unit - 1) * PAGE_HEAP_UNIT_SIZE);
  memcpy(block, &offset, PAGE_HEAP_BLOCK_PREFIX);
  return block + PAGE_HEAP_BLOCK_PREFIX;
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
  BYTE *block = (BYTE *)address - PAGE_HEAP_BLOCK_PREFIX;
  DWORD offset;
  memcpy(&offset, block, PAGE_HEAP_BLOCK_PREFIX);
  LONG unit = (LONG)(offset / PAGE_HEAP_UNIT_SIZE) + 1;
  LONG units = PAGE_HEAP_UNITS_FOR(size);
  // Only a block that a page could have handed out is taken back; only units in
  // use are counted, so that a block freed twice cannot inflate the free count.
  if (offset % PAGE_HEAP_UNIT_SIZE != 0 || unit <= PAGE_HEAP_HEADER_UNITS || unit + units - 1 > PAGE_HEAP_UNITS) return;
  PAGE_HEADER *page = (PAGE_HEADER *)(block - offset);
  PAGE_TABLE *table = EnterHeap(heap);
  if (!table) return;
  table->FullBelow = 1;
  LONG freed = GiveUnits(page, unit, units);
  page->FreeUnits += freed;
  LONG place = (LONG)page->Place;
  if (freed) {
    // Free units read zero but for the prefixes of blocks given back, which
    // are cleared when their unit is handed out again.
    memset(block + PAGE_HEAP_BLOCK_PREFIX, 0, (size_t)units * PAGE_HEAP_UNIT_SIZE - PAGE_HEAP_BLOCK_PREFIX);
    if (place < table->Count && table->Pages[place] == page) {
      table->Prefixes[place][(unit - 1) / 64] |= (uint64_t)1 << ((unit - 1) % 64);
      // Freeing makes one run longer (joined with its neighbours); no other changes.
      LONG run = RunAround(page, unit, units);
      if (run > table->RunBound[place]) table->RunBound[place] = (WORD)run;
      NoteRoom(table, place);
    } else {
      memset(block, 0, PAGE_HEAP_BLOCK_PREFIX); // a page of another heap
    }
  }
  LeaveCriticalSection(&table->First->Lock);
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
