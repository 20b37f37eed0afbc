/* Block lists: circular doubly linked lists whose heads and elements are carved
   front to back out of 25000-byte areas of shared global memory, a block being
   given back whole when the last piece carved from it goes. Lists are grouped in
   pools; a pool owns a lock and the block it is carving. A list is passed as its
   head, an element as the address of its data. */
#ifndef CVSETUP_BLOCK_LIST_H
#define CVSETUP_BLOCK_LIST_H

#include <windows.h>

#include <stddef.h>

#define LIST_BLOCK_AREA 25000

typedef struct LIST_BLOCK {
  DWORD Handle; /* the block's own global memory handle (its low 32 bits where handles are wider) */
  LONG Count;   /* pieces carved and not yet given back */
  LONG Used;    /* bytes of the area handed out so far */
  BYTE Area[LIST_BLOCK_AREA];
} LIST_BLOCK;

static_assert(offsetof(LIST_BLOCK, Count) == 4, "LIST_BLOCK layout");
static_assert(offsetof(LIST_BLOCK, Used) == 8, "LIST_BLOCK layout");
static_assert(offsetof(LIST_BLOCK, Area) == 12, "LIST_BLOCK layout");
/* 25012 bytes on every host. */
#define LIST_BLOCK_SIZE (offsetof(LIST_BLOCK, Area) + LIST_BLOCK_AREA)
static_assert(LIST_BLOCK_SIZE == 25012, "LIST_BLOCK size");
/* Pieces hold pointers: where they need more alignment than the area's start
   has (8 bytes on 64-bit hosts), carving starts that many bytes into the area. */
#define LIST_BLOCK_AREA_SKIP \
  ((LONG)((alignof(void *) - offsetof(LIST_BLOCK, Area) % alignof(void *)) % alignof(void *)))

typedef struct LIST_LINK {
  struct LIST_LINK *Next; /* head: the first element, or the head itself */
  struct LIST_LINK *Prev; /* head: the last element, or the head itself */
  LIST_BLOCK *Block;      /* the block this piece was carved from */
  DWORD IsHead;           /* 1 in a head: the walk stops on it */
  DWORD Ok;               /* head: 0 once an allocation for the list failed */
  DWORD Size;             /* element: data bytes after the header */
} LIST_LINK;

static_assert(offsetof(LIST_LINK, Prev) == sizeof(void *), "LIST_LINK layout");
static_assert(offsetof(LIST_LINK, Block) == 2 * sizeof(void *), "LIST_LINK layout");
static_assert(offsetof(LIST_LINK, IsHead) == 3 * sizeof(void *), "LIST_LINK layout");
static_assert(offsetof(LIST_LINK, Ok) == 3 * sizeof(void *) + 4, "LIST_LINK layout");
static_assert(offsetof(LIST_LINK, Size) == 3 * sizeof(void *) + 8, "LIST_LINK layout");

/* A list lives in records that the page heap hands out on 4-byte boundaries
   (see file_lines.h): a list variable is read where it stands on any host. */
typedef LIST_LINK *BLOCK_LIST __attribute__((aligned(4)));

typedef struct BLOCK_LIST_POOL {
  CRITICAL_SECTION Lock;
  LIST_BLOCK *Current; /* the block being carved, or NULL */
  DWORD HeadSize;      /* 0 until the pool is initialised */
  DWORD HeaderSize;
} BLOCK_LIST_POOL;

/* The dialog's pending validation messages. */
extern BLOCK_LIST_POOL MessagePool;
/* The directory scan, line lists, line ranges and comparison sets. */
extern BLOCK_LIST_POOL ScanPool;

void BlockListPoolInit(BLOCK_LIST_POOL *Pool);
BLOCK_LIST BlockListCreate(BLOCK_LIST_POOL *Pool);
LPVOID BlockListAppendNew(BLOCK_LIST_POOL *Pool, BLOCK_LIST List, DWORD Size);
LPVOID BlockListAppend(BLOCK_LIST_POOL *Pool, BLOCK_LIST List, LPCVOID Data, DWORD Size);
LPVOID BlockListInsertNewBefore(BLOCK_LIST_POOL *Pool, BLOCK_LIST List, LPVOID Element, DWORD Size);
void BlockListRemove(BLOCK_LIST_POOL *Pool, LPVOID Element);
LPVOID BlockListFirst(BLOCK_LIST List);
LPVOID BlockListLast(BLOCK_LIST List);
LPVOID BlockListNext(LPVOID Element);
BOOL BlockListIsEmpty(BLOCK_LIST List);
/* Gives back the head and every element of *ListVariable and sets it to NULL. */
void BlockListDestroy(BLOCK_LIST_POOL *Pool, BLOCK_LIST *ListVariable);
/* The same for a list held in a value; the caller clears its own variable. */
void BlockListRelease(BLOCK_LIST_POOL *Pool, BLOCK_LIST List);

#endif
