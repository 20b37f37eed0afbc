/* The page heap: its pages and their unit maps, the table that each heap keeps
   beside its pages, and the allocation and freeing of blocks. */
#include "page_heap.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

HGLOBAL LibraryHeap;

int OutOfMemoryPrompt(void) {
  int Answer = MessageBoxA(NULL, "Memory allocation failed", "Out Of Memory", MB_ABORTRETRYIGNORE | MB_ICONERROR);
  if (Answer == IDABORT) ExitProcess(1);
  return Answer;
}

/* GlobalAlloc, asking the user again for as long as they choose Retry. */
static HGLOBAL AllocWithPrompt(SIZE_T Bytes) {
  for (;;) {
    HGLOBAL Handle = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, Bytes);
    if (Handle) return Handle;
    if (OutOfMemoryPrompt() != IDRETRY) return NULL;
  }
}

/* The unit map is read and written 64 units at a time: map word i holds the
   32-bit words 2i and 2i+1, which on a little-endian machine is the same bit
   for the same unit. */
#define MAP_WORDS (PAGE_HEAP_UNITS / 64)

static inline uint64_t MapWord(const PAGE_HEADER *Page, int i) {
  uint64_t Word;
  memcpy(&Word, &Page->UnitMap[2 * i], sizeof(Word));
  return Word;
}

static inline void SetMapWord(PAGE_HEADER *Page, int i, uint64_t Word) {
  memcpy(&Page->UnitMap[2 * i], &Word, sizeof(Word));
}

/* The bits of map word i that stand for bits First to End - 1 of the map. */
static inline uint64_t MaskOf(int i, int First, int End) {
  int From = First > i * 64 ? First - i * 64 : 0;
  int To = End < (i + 1) * 64 ? End - i * 64 : 64;
  uint64_t High = To == 64 ? ~(uint64_t)0 : (((uint64_t)1 << To) - 1);
  return High & ~(((uint64_t)1 << From) - 1);
}

/* Marks Count units from First in use; the caller knows them to be free. */
static void TakeUnits(PAGE_HEADER *Page, LONG First, LONG Count) {
  int Bit = (int)First - 1, End = Bit + (int)Count;
  for (int i = Bit / 64; i * 64 < End; i++) SetMapWord(Page, i, MapWord(Page, i) & ~MaskOf(i, Bit, End));
}

/* Marks Count units from First free; the answer is how many of them were in use. */
static LONG GiveUnits(PAGE_HEADER *Page, LONG First, LONG Count) {
  int Bit = (int)First - 1, End = Bit + (int)Count;
  LONG Freed = 0;
  for (int i = Bit / 64; i * 64 < End; i++) {
    uint64_t Word = MapWord(Page, i), Mask = MaskOf(i, Bit, End), InUse = Mask & ~Word;
    if (InUse == Mask) /* as it should be: every unit of the block was in use */
      Freed += (End < (i + 1) * 64 ? End : (i + 1) * 64) - (Bit > i * 64 ? Bit : i * 64);
    else
      Freed += __builtin_popcountll(InUse);
    SetMapWord(Page, i, Word | Mask);
  }
  return Freed;
}

/* The length of the run of free units that holds units First to First + Count - 1
   (all free): the run reaches from the unit in use below it to the one above. */
static LONG RunAround(const PAGE_HEADER *Page, LONG First, LONG Count) {
  int Low = (int)First - 1, High = Low + (int)Count; /* bits Low to High - 1 are free */
  while (Low > 0) {
    int i = (Low - 1) / 64, Top = (Low - 1) % 64;
    uint64_t Below = ~(MapWord(Page, i) << (63 - Top)); /* bit 63: bit Low - 1 of the map */
    int FreeBelow = Below ? __builtin_clzll(Below) : 64;
    if (FreeBelow > Top + 1) FreeBelow = Top + 1;
    Low -= FreeBelow;
    if (FreeBelow <= Top) break;
  }
  while (High < PAGE_HEAP_UNITS) {
    int i = High / 64, Bottom = High % 64;
    uint64_t Above = ~(MapWord(Page, i) >> Bottom); /* bit 0: bit High of the map */
    int FreeAbove = Above ? __builtin_ctzll(Above) : 64;
    if (FreeAbove > 64 - Bottom) FreeAbove = 64 - Bottom;
    High += FreeAbove;
    if (FreeAbove < 64 - Bottom) break;
  }
  return High - Low;
}

static PAGE_HEADER *NewPage(BOOL WithLock) {
  HGLOBAL Handle = AllocWithPrompt(PAGE_HEAP_PAGE_SIZE);
  if (!Handle) return NULL;
  PAGE_HEADER *Page = (PAGE_HEADER *)GlobalLock(Handle); /* never unlocked: the page never moves */
  if (!Page) {
    GlobalFree(Handle);
    return NULL;
  }
  Page->Handle = Handle;
  if (WithLock) InitializeCriticalSection(&Page->Lock);
  Page->Next = NULL;
  memset(Page->UnitMap, 0xFF, sizeof(Page->UnitMap));
  TakeUnits(Page, 1, PAGE_HEAP_HEADER_UNITS);
  Page->FreeUnits = PAGE_HEAP_UNITS - PAGE_HEAP_HEADER_UNITS;
  Page->Place = 0;
  return Page;
}

/* First fit: the lowest unit that starts a run of Count free units, or 0. Words
   of units all in use are passed over whole; from the first free unit the run
   is measured up to the next unit in use, a word at a time. */
static LONG FindRun(const PAGE_HEADER *Page, LONG Count) {
  int Bit = 0;
  while (Bit + Count <= PAGE_HEAP_UNITS) {
    int i = Bit / 64;
    uint64_t Free = MapWord(Page, i) >> (Bit % 64);
    if (Free == 0) {
      Bit = (i + 1) * 64;
      continue;
    }
    Bit += __builtin_ctzll(Free);
    int Need = Bit + (int)Count;
    if (Need > PAGE_HEAP_UNITS) return 0;
    int End = Bit; /* the first unit in use at or after Bit, or Need */
    while (End < Need) {
      int j = End / 64;
      uint64_t Used = ~MapWord(Page, j) >> (End % 64);
      if (Used == 0) {
        End = (j + 1) * 64;
      } else {
        End += __builtin_ctzll(Used);
        break;
      }
    }
    if (End >= Need) return Bit + 1;
    Bit = End + 1; /* that unit is in use: go on just after it */
  }
  return 0;
}

/* What a heap keeps beside its pages, so that a walk reads one small array
   rather than page headers 32 KB apart. Places number the pages in the order
   they were made (the first page 0); as new pages go directly after the first,
   the chain visits places 0, Count - 1, Count - 2, ..., 1. */
typedef struct PAGE_TABLE {
  HGLOBAL Heap;
  PAGE_HEADER *First;
  struct PAGE_TABLE *Next; /* the process's next table */
  LONG Count, Capacity;
  PAGE_HEADER **Pages;
  WORD *RunBound; /* no run of free units of the page is longer than this */
  WORD *Room;     /* the smaller of the page's free units and RunBound */
  /* Bit k-1 set: free unit k may still hold the prefix of a block given back
     (all else of a free unit reads zero), cleared when it is handed out again. */
  uint64_t (*Prefixes)[MAP_WORDS];
  /* Places 1 to FullBelow - 1 have no run of FullUnits free units. A walk that
     found no room anywhere sets it as it adds a page; any free forgets it. */
  LONG FullBelow, FullUnits;
} PAGE_TABLE;

/* Every heap this process has used; tables are never given back. */
static PAGE_TABLE *Tables;
static PAGE_TABLE *KnownTable; /* the table used last */

static PAGE_TABLE *RegisteredTable(HGLOBAL Heap) {
  PAGE_TABLE *Table = __atomic_load_n(&KnownTable, __ATOMIC_ACQUIRE);
  if (Table && Table->Heap == Heap) return Table;
  for (Table = __atomic_load_n(&Tables, __ATOMIC_ACQUIRE); Table; Table = Table->Next)
    if (Table->Heap == Heap) return Table;
  return NULL;
}

static void NoteRoom(PAGE_TABLE *Table, LONG Place) {
  LONG FreeUnits = Table->Pages[Place]->FreeUnits;
  LONG Bound = Table->RunBound[Place];
  Table->Room[Place] = (WORD)(FreeUnits < Bound ? (FreeUnits < 0 ? 0 : FreeUnits) : Bound);
}

static BOOL GrowTable(PAGE_TABLE *Table, LONG Count) {
  if (Count <= Table->Capacity) return TRUE;
  LONG Capacity = Table->Capacity ? Table->Capacity : 16;
  while (Capacity < Count) Capacity *= 2;
  PAGE_HEADER **Pages = (PAGE_HEADER **)realloc(Table->Pages, (size_t)Capacity * sizeof(*Pages));
  if (!Pages) return FALSE;
  Table->Pages = Pages;
  WORD *Bounds = (WORD *)realloc(Table->RunBound, (size_t)Capacity * sizeof(*Bounds));
  if (!Bounds) return FALSE;
  Table->RunBound = Bounds;
  WORD *Room = (WORD *)realloc(Table->Room, (size_t)Capacity * sizeof(*Room));
  if (!Room) return FALSE;
  Table->Room = Room;
  uint64_t(*Prefixes)[MAP_WORDS] =
      (uint64_t(*)[MAP_WORDS])realloc(Table->Prefixes, (size_t)Capacity * sizeof(*Prefixes));
  if (!Prefixes) return FALSE;
  Table->Prefixes = Prefixes;
  Table->Capacity = Capacity;
  return TRUE;
}

static void SetPlace(PAGE_TABLE *Table, LONG Place, PAGE_HEADER *Page) {
  Table->Pages[Place] = Page;
  Page->Place = (DWORD)Place;
  Table->RunBound[Place] = PAGE_HEAP_UNITS - PAGE_HEAP_HEADER_UNITS;
  NoteRoom(Table, Place);
  memset(Table->Prefixes[Place], 0, sizeof(Table->Prefixes[Place]));
}

/* Fills the table from the heap's chain, as it stands. */
static BOOL FillTable(PAGE_TABLE *Table) {
  LONG Count = 0;
  for (PAGE_HEADER *Page = Table->First; Page; Page = Page->Next) Count++;
  if (!GrowTable(Table, Count)) return FALSE;
  Table->Count = Count;
  LONG Place = 0;
  for (PAGE_HEADER *Page = Table->First; Page; Page = Page->Next) {
    SetPlace(Table, Place, Page);
    /* Pages this table did not see grow may hold a prefix in any free unit. */
    for (int i = 0; i < MAP_WORDS; i++) Table->Prefixes[Place][i] = MapWord(Page, i);
    Place = Place == 0 ? Count - 1 : Place - 1;
  }
  Table->FullBelow = 1;
  Table->FullUnits = 0;
  return TRUE;
}

/* A table for a heap that has none yet: for a new heap (Fresh) its one page,
   else the chain as it stands. NULL when there is no memory for it. */
static PAGE_TABLE *RegisterTable(HGLOBAL Heap, PAGE_HEADER *First, BOOL Fresh) {
  PAGE_TABLE *Table = (PAGE_TABLE *)calloc(1, sizeof(PAGE_TABLE));
  if (!Table) return NULL;
  Table->Heap = Heap;
  Table->First = First;
  if (Fresh ? !GrowTable(Table, 1) : !FillTable(Table)) {
    free(Table->Pages);
    free(Table->RunBound);
    free(Table->Room);
    free(Table->Prefixes);
    free(Table);
    return NULL;
  }
  if (Fresh) {
    Table->Count = 1;
    SetPlace(Table, 0, First);
    Table->FullBelow = 1;
  }
  Table->Next = __atomic_load_n(&Tables, __ATOMIC_ACQUIRE);
  while (!__atomic_compare_exchange_n(&Tables, &Table->Next, Table, FALSE, __ATOMIC_RELEASE, __ATOMIC_ACQUIRE)) {}
  return Table;
}

/* The heap's table, with the heap's lock held (none: the lock is not held). */
static PAGE_TABLE *EnterHeap(HGLOBAL Heap) {
  if (!Heap) return NULL;
  PAGE_TABLE *Table = RegisteredTable(Heap);
  PAGE_HEADER *First;
  if (Table) {
    First = Table->First;
  } else {
    /* Pages are never unlocked nor given back, so the address found for a
       handle holds for as long as the process lives. */
    First = (PAGE_HEADER *)GlobalLock(Heap);
    if (!First) return NULL;
    GlobalUnlock(Heap); /* the page stays locked from its creation */
  }
  EnterCriticalSection(&First->Lock);
  if (!Table && !(Table = RegisteredTable(Heap)) && !(Table = RegisterTable(Heap, First, FALSE))) {
    LeaveCriticalSection(&First->Lock);
    return NULL;
  } else if (First->Next != (Table->Count > 1 ? Table->Pages[Table->Count - 1] : NULL) && !FillTable(Table)) {
    /* The chain grew behind the table's back (another copy of this code): read it again. */
    LeaveCriticalSection(&First->Lock);
    return NULL;
  }
  __atomic_store_n(&KnownTable, Table, __ATOMIC_RELEASE);
  return Table;
}

HGLOBAL PageHeapCreate(void) {
  PAGE_HEADER *Page = NewPage(TRUE);
  if (!Page) return NULL;
  /* Without memory for its table now, the heap makes one when it is first used. */
  RegisterTable(Page->Handle, Page, TRUE);
  return Page->Handle;
}

/* Takes a run of units from the page at Place, or gives 0 when it has none that long. */
static LONG TakeRun(PAGE_TABLE *Table, LONG Place, LONG Units) {
  PAGE_HEADER *Page = Table->Pages[Place];
  LONG Unit = Page->FreeUnits >= Units ? FindRun(Page, Units) : 0;
  if (Unit) {
    TakeUnits(Page, Unit, Units);
    Page->FreeUnits -= Units;
    /* Prefixes of earlier blocks inside the run are all that is not zero. */
    int Bit = (int)Unit - 1, End = Bit + (int)Units;
    uint64_t *Prefixes = Table->Prefixes[Place];
    for (int i = Bit / 64; i * 64 < End; i++) {
      uint64_t Mask = MaskOf(i, Bit, End), Stale = Prefixes[i] & Mask;
      Prefixes[i] &= ~Mask;
      for (; Stale; Stale &= Stale - 1)
        memset((BYTE *)Page + (i * 64 + __builtin_ctzll(Stale)) * PAGE_HEAP_UNIT_SIZE, 0, PAGE_HEAP_BLOCK_PREFIX);
    }
  } else {
    Table->RunBound[Place] = (WORD)(Units - 1);
  }
  NoteRoom(Table, Place);
  return Unit;
}

/* Adds a page directly after the first and takes a run from it: its place, or -1. */
static LONG AddPage(PAGE_TABLE *Table, LONG Units) {
  if (!GrowTable(Table, Table->Count + 1)) return -1;
  PAGE_HEADER *Page = NewPage(FALSE);
  if (!Page) return -1;
  Page->Next = Table->First->Next;
  Table->First->Next = Page;
  LONG Place = Table->Count++;
  SetPlace(Table, Place, Page);
  Table->FullBelow = Place; /* the walk before found no room in any other page */
  Table->FullUnits = Units;
  TakeRun(Table, Place, Units);
  return Place;
}

LPVOID PageHeapAlloc(HGLOBAL Heap, LONG Size) {
  if (Size < 1) return NULL;
  if (Size > PAGE_HEAP_LARGEST_SMALL) {
    HGLOBAL Handle = AllocWithPrompt((SIZE_T)Size);
    if (!Handle) return NULL;
    LPVOID Large = GlobalLock(Handle);
    if (!Large) GlobalFree(Handle);
    return Large; /* zero-filled by GMEM_ZEROINIT */
  }
  PAGE_TABLE *Table = EnterHeap(Heap);
  if (!Table) return NULL;
  LONG Units = PAGE_HEAP_UNITS_FOR(Size);
  LONG Unit = 0;
  /* The chain's order: place 0, then from the newest page back to place 1 (or
     to where the rest is known to be full for this many units). */
  LONG Stop = Units >= Table->FullUnits ? Table->FullBelow : 1;
  LONG Place = 0;
  const WORD *Room = Table->Room;
  for (;;) {
    if (Room[Place] >= Units && (Unit = TakeRun(Table, Place, Units)) != 0) break;
    Place = Place == 0 ? Table->Count - 1 : Place - 1;
    while (Place >= Stop && Room[Place] < Units) Place--;
    if (Place < Stop || Place == 0) {
      Place = AddPage(Table, Units);
      if (Place < 0) {
        LeaveCriticalSection(&Table->First->Lock);
        return NULL;
      }
      Unit = (LONG)(PAGE_HEAP_HEADER_UNITS + 1);
      break;
    }
  }
  BYTE *Block = (BYTE *)Table->Pages[Place] + (Unit - 1) * PAGE_HEAP_UNIT_SIZE;
  LeaveCriticalSection(&Table->First->Lock);
  /* The units were free, so they read zero: only the prefix is written. */
  DWORD Offset = (DWORD)((Unit - 1) * PAGE_HEAP_UNIT_SIZE);
  memcpy(Block, &Offset, PAGE_HEAP_BLOCK_PREFIX);
  return Block + PAGE_HEAP_BLOCK_PREFIX;
}

void PageHeapFree(HGLOBAL Heap, LPVOID Address, LONG Size) {
  if (Size < 1 || !Address) return;
  if (Size > PAGE_HEAP_LARGEST_SMALL) {
    HGLOBAL Handle = GlobalHandle(Address);
    if (Handle) {
      GlobalUnlock(Handle);
      GlobalFree(Handle);
    }
    return;
  }
  BYTE *Block = (BYTE *)Address - PAGE_HEAP_BLOCK_PREFIX;
  DWORD Offset;
  memcpy(&Offset, Block, PAGE_HEAP_BLOCK_PREFIX);
  LONG Unit = (LONG)(Offset / PAGE_HEAP_UNIT_SIZE) + 1;
  LONG Units = PAGE_HEAP_UNITS_FOR(Size);
  /* Only a block that a page could have handed out is taken back; only units in
     use are counted, so that a block freed twice cannot inflate the free count. */
  if (Offset % PAGE_HEAP_UNIT_SIZE != 0 || Unit <= PAGE_HEAP_HEADER_UNITS || Unit + Units - 1 > PAGE_HEAP_UNITS) return;
  PAGE_HEADER *Page = (PAGE_HEADER *)(Block - Offset);
  PAGE_TABLE *Table = EnterHeap(Heap);
  if (!Table) return;
  Table->FullBelow = 1;
  LONG Freed = GiveUnits(Page, Unit, Units);
  Page->FreeUnits += Freed;
  LONG Place = (LONG)Page->Place;
  if (Freed) {
    /* Free units read zero but for the prefixes of blocks given back, which
       are cleared when their unit is handed out again. */
    memset(Block + PAGE_HEAP_BLOCK_PREFIX, 0, (size_t)Units * PAGE_HEAP_UNIT_SIZE - PAGE_HEAP_BLOCK_PREFIX);
    if (Place < Table->Count && Table->Pages[Place] == Page) {
      Table->Prefixes[Place][(Unit - 1) / 64] |= (uint64_t)1 << ((Unit - 1) % 64);
      /* Freeing makes one run longer (joined with its neighbours); no other changes. */
      LONG Run = RunAround(Page, Unit, Units);
      if (Run > Table->RunBound[Place]) Table->RunBound[Place] = (WORD)Run;
      NoteRoom(Table, Place);
    } else {
      memset(Block, 0, PAGE_HEAP_BLOCK_PREFIX); /* a page of another heap */
    }
  }
  LeaveCriticalSection(&Table->First->Lock);
}

LPSTR PageHeapCopyString(HGLOBAL Heap, LPCSTR Text) {
  if (!Text) return NULL;
  LONG Length = (LONG)strlen(Text);
  LPSTR Copy = (LPSTR)PageHeapAlloc(Heap, Length + 1);
  if (Copy) memcpy(Copy, Text, (size_t)Length + 1);
  return Copy;
}

void PageHeapFreeString(HGLOBAL Heap, LPSTR Text) {
  if (Text) PageHeapFree(Heap, Text, (LONG)strlen(Text) + 1);
}
