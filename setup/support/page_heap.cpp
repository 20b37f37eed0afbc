#include "page_heap.h"

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

static void MarkUnits(PAGE_HEADER* page, LONG first, LONG count, BOOL inUse) {
  for (LONG unit = first; unit < first + count; unit++) {
    DWORD bit = 1u << ((unit - 1) % 32);
    DWORD* word = &page->UnitMap[(unit - 1) / 32];
    if (inUse)
      *word &= ~bit;
    else
      *word |= bit;
  }
}

static PAGE_HEADER* NewPage(BOOL withLock) {
  HGLOBAL handle = AllocWithPrompt(PAGE_HEAP_PAGE_SIZE);
  if (!handle) return NULL;
  PAGE_HEADER* page = (PAGE_HEADER*)GlobalLock(handle);  // never unlocked: the page never moves
  if (!page) {
    GlobalFree(handle);
    return NULL;
  }
  page->Handle = handle;
  if (withLock) InitializeCriticalSection(&page->Lock);
  page->Next = NULL;
  memset(page->UnitMap, 0xFF, sizeof(page->UnitMap));
  MarkUnits(page, 1, PAGE_HEAP_HEADER_UNITS, TRUE);
  page->FreeUnits = PAGE_HEAP_UNITS - PAGE_HEAP_HEADER_UNITS;
  return page;
}

HGLOBAL PageHeapCreate(void) {
  PAGE_HEADER* page = NewPage(TRUE);
  return page ? page->Handle : NULL;
}

// First fit: the lowest unit that starts a run of count free units, or 0. Words
// with no free unit are skipped whole, and whole free words count 32 at a time.
static LONG FindRun(const PAGE_HEADER* page, LONG count) {
  LONG unit = 1;
  while (unit + count - 1 <= PAGE_HEAP_UNITS) {
    DWORD word = page->UnitMap[(unit - 1) / 32] >> ((unit - 1) % 32);
    if (word == 0) {
      unit = ((unit - 1) / 32 + 1) * 32 + 1;
      continue;
    }
    unit += __builtin_ctz(word);
    if (unit + count - 1 > PAGE_HEAP_UNITS) return 0;
    LONG start = unit;
    LONG found = 0;
    while (found < count) {
      LONG bit = (unit - 1) % 32;
      DWORD whole = page->UnitMap[(unit - 1) / 32];
      if (bit == 0 && count - found >= 32 && whole == 0xFFFFFFFFu) {
        found += 32;
        unit += 32;
      } else if ((whole >> bit) & 1) {
        found++;
        unit++;
      } else {
        break;
      }
    }
    if (found >= count) return start;
    unit++;  // unit is in use: go on just after it
  }
  return 0;
}

static PAGE_HEADER* FirstPage(HGLOBAL heap) {
  PAGE_HEADER* first = (PAGE_HEADER*)GlobalLock(heap);
  if (first) GlobalUnlock(heap);  // the page stays locked from its creation
  return first;
}

LPVOID PageHeapAlloc(HGLOBAL heap, LONG size) {
  if (size < 1) return NULL;
  if (size > PAGE_HEAP_LARGEST_SMALL) {
    HGLOBAL handle = AllocWithPrompt((SIZE_T)size);
    if (!handle) return NULL;
    LPVOID large = GlobalLock(handle);
    if (!large) GlobalFree(handle);
    return large;  // zero-filled by GMEM_ZEROINIT
  }
  PAGE_HEADER* first = FirstPage(heap);
  if (!first) return NULL;
  LONG units = PAGE_HEAP_UNITS_FOR(size);
  LONG unit = 0;
  EnterCriticalSection(&first->Lock);
  PAGE_HEADER* page;
  for (page = first; page; page = page->Next) {
    if (page->FreeUnits >= units && (unit = FindRun(page, units)) != 0) break;
  }
  if (!page) {
    page = NewPage(FALSE);
    if (!page) {
      LeaveCriticalSection(&first->Lock);
      return NULL;
    }
    page->Next = first->Next;  // new pages go directly after the first
    first->Next = page;
    unit = FindRun(page, units);
  }
  MarkUnits(page, unit, units, TRUE);
  page->FreeUnits -= units;
  BYTE* block = (BYTE*)page + (unit - 1) * PAGE_HEAP_UNIT_SIZE;
  memcpy(block, &page->Handle, sizeof(HGLOBAL));
  LeaveCriticalSection(&first->Lock);
  LPVOID address = block + PAGE_HEAP_BLOCK_PREFIX;
  memset(address, 0, (size_t)size);
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
  PAGE_HEADER* first = FirstPage(heap);
  if (!first) return;
  EnterCriticalSection(&first->Lock);
  HGLOBAL pageHandle;
  memcpy(&pageHandle, (BYTE*)address - PAGE_HEAP_BLOCK_PREFIX, sizeof(HGLOBAL));
  PAGE_HEADER* page = (PAGE_HEADER*)GlobalLock(pageHandle);
  if (page) {
    LONG offset = (LONG)((BYTE*)address - PAGE_HEAP_BLOCK_PREFIX - (BYTE*)page);
    LONG unit = offset / PAGE_HEAP_UNIT_SIZE + 1;
    LONG units = PAGE_HEAP_UNITS_FOR(size);
    // Only a block that this page handed out is taken back; only units in use
    // are counted, so that a block freed twice cannot inflate the free count.
    if (page->Handle == pageHandle && offset % PAGE_HEAP_UNIT_SIZE == 0 && unit > PAGE_HEAP_HEADER_UNITS &&
        unit + units - 1 <= PAGE_HEAP_UNITS) {
      for (LONG u = unit; u < unit + units; u++) {
        DWORD bit = 1u << ((u - 1) % 32);
        DWORD* word = &page->UnitMap[(u - 1) / 32];
        if (!(*word & bit)) {
          *word |= bit;
          page->FreeUnits++;
        }
      }
    }
    GlobalUnlock(pageHandle);
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
