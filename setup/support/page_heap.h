/* The page heap: the setup library's allocator for records and strings. Small
   blocks are runs of 64-byte units in 32 KB pages of global memory, found by a
   first-fit search of each page's unit map; larger requests get global memory of
   their own. Every block comes back zero-filled; the caller gives the size back
   when freeing. Units not in use always read zero: a block is cleared when it is
   given back, so handing it out again writes nothing but its prefix. */
#ifndef CVSETUP_PAGE_HEAP_H
#define CVSETUP_PAGE_HEAP_H

#include <windows.h>

#include <stddef.h>

#define PAGE_HEAP_PAGE_SIZE 32768
#define PAGE_HEAP_UNIT_SIZE 64
#define PAGE_HEAP_UNITS 512
#define PAGE_HEAP_HEADER_UNITS 2
#define PAGE_HEAP_LARGEST_SMALL 20000
/* A small block starts with 4 bytes that lead back to its page (the block's
   offset from the page's start); the caller's bytes follow. */
#define PAGE_HEAP_BLOCK_PREFIX 4

typedef struct PAGE_HEADER {
  HGLOBAL Handle;                      /* the page's own global memory handle */
  CRITICAL_SECTION Lock;               /* first page: the lock of the whole heap */
  struct PAGE_HEADER *Next;            /* next page of the chain */
  LONG FreeUnits;                      /* units of this page not in use */
  DWORD UnitMap[PAGE_HEAP_UNITS / 32]; /* bit k-1 set: unit k is free */
  DWORD Place;                         /* the page's place in its heap's page table (the first page: 0) */
} PAGE_HEADER;

static_assert(offsetof(PAGE_HEADER, Handle) == 0, "PAGE_HEADER layout");
static_assert(offsetof(PAGE_HEADER, Lock) == sizeof(HGLOBAL), "PAGE_HEADER layout");
static_assert(offsetof(PAGE_HEADER, Next) == sizeof(HGLOBAL) + sizeof(CRITICAL_SECTION), "PAGE_HEADER layout");
static_assert(offsetof(PAGE_HEADER, FreeUnits) == offsetof(PAGE_HEADER, Next) + sizeof(void *), "PAGE_HEADER layout");
static_assert(offsetof(PAGE_HEADER, UnitMap) == offsetof(PAGE_HEADER, FreeUnits) + 4, "PAGE_HEADER layout");
static_assert(offsetof(PAGE_HEADER, Place) == offsetof(PAGE_HEADER, UnitMap) + 64, "PAGE_HEADER layout");
static_assert(sizeof(PAGE_HEADER) <= PAGE_HEAP_HEADER_UNITS * PAGE_HEAP_UNIT_SIZE, "the header fits units 1 and 2");

/* Units taken by a small block of size bytes: room for the bytes and the
   prefix, rounded up to whole units. */
#define PAGE_HEAP_UNITS_FOR(size) (((size) + PAGE_HEAP_BLOCK_PREFIX + PAGE_HEAP_UNIT_SIZE - 1) / PAGE_HEAP_UNIT_SIZE)

/* The heap that the setup library allocates from; DoDialog creates it. */
extern HGLOBAL LibraryHeap;

/* A new heap (the handle of its first page), or NULL. */
HGLOBAL PageHeapCreate(void);
/* Size zero-filled bytes, or NULL (sizes below 1, no memory to be had). */
LPVOID PageHeapAlloc(HGLOBAL Heap, LONG Size);
/* Gives back a block; Size must be the size it was allocated with. */
void PageHeapFree(HGLOBAL Heap, LPVOID Address, LONG Size);
/* A page-heap copy of Text (its length plus the NUL), or NULL. */
LPSTR PageHeapCopyString(HGLOBAL Heap, LPCSTR Text);
/* Gives back a string allocated with its length plus the NUL. */
void PageHeapFreeString(HGLOBAL Heap, LPSTR Text);
/* "Memory allocation failed": Abort ends the process with exit code 1;
   otherwise the answer (IDRETRY or IDIGNORE) is returned. */
int OutOfMemoryPrompt(void);

#endif
