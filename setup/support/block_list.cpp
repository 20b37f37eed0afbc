#include "block_list.h"

#include <stdio.h>
#include <string.h>

BLOCK_LIST_POOL MessagePool;
BLOCK_LIST_POOL ScanPool;

// Pieces start on a boundary that suits a link: 4 bytes on the 32-bit target.
#define PIECE_ALIGN ((LONG)alignof(LIST_LINK))

void BlockListPoolInit(BLOCK_LIST_POOL *pool) {
  if (!pool || pool->HeadSize) return;
  pool->HeadSize = offsetof(LIST_LINK, Size);
  pool->HeaderSize = sizeof(LIST_LINK);
  pool->Current = NULL;
  InitializeCriticalSection(&pool->Lock);
}

static LIST_BLOCK *NewBlock(void) {
  HGLOBAL handle = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, LIST_BLOCK_SIZE);
  if (!handle) {
    OutputDebugStringA("GlobalAlloc failed!!\n");
    return NULL;
  }
  LIST_BLOCK *block = (LIST_BLOCK *)GlobalLock(handle); // stays locked: its address is fixed
  if (!block) {
    OutputDebugStringA("GlobalLock failed!!\n");
    GlobalFree(handle);
    return NULL;
  }
  block->Handle = (DWORD)(ULONG_PTR)handle;
  block->Count = 0;
  block->Used = 0;
  return block;
}

// Carves size bytes from the pool's current block, opening a new block when the
// rest of the current one is too small.
static LIST_LINK *Carve(BLOCK_LIST_POOL *pool, DWORD size) {
  if ((LONG)size > LIST_BLOCK_AREA - LIST_BLOCK_AREA_SKIP) return NULL; // no block could hold it
  EnterCriticalSection(&pool->Lock);
  LIST_BLOCK *block = pool->Current;
  if (!block || LIST_BLOCK_AREA_SKIP + block->Used + (LONG)size > LIST_BLOCK_AREA) {
    block = NewBlock();
    pool->Current = block;
    if (!block) {
      LeaveCriticalSection(&pool->Lock);
      return NULL;
    }
  }
  LIST_LINK *link = (LIST_LINK *)(block->Area + LIST_BLOCK_AREA_SKIP + block->Used);
  block->Count++;
  block->Used += ((LONG)size + PIECE_ALIGN - 1) / PIECE_ALIGN * PIECE_ALIGN;
  link->Block = block;
  LeaveCriticalSection(&pool->Lock);
  return link;
}

static void GiveBack(BLOCK_LIST_POOL *pool, LIST_LINK *link) {
  EnterCriticalSection(&pool->Lock);
  LIST_BLOCK *block = link->Block;
  block->Count--;
  if (block->Count == 0) {
    if (block == pool->Current) pool->Current = NULL;
    HGLOBAL handle = GlobalHandle(block); // the whole handle, where it is wider than the field
    GlobalUnlock(handle);
    GlobalFree(handle);
  } else if (block->Count < 0) {
    // A piece given back more often than it was carved; the block is left alone.
    char text[80];
    snprintf(text, sizeof(text), "Problem in List code.\nList block allocation negative (%d)", (int)block->Count);
    MessageBoxA(NULL, text, "Error", MB_ICONERROR);
  }
  LeaveCriticalSection(&pool->Lock);
}

static LIST_LINK *LinkOf(LPVOID element) { return (LIST_LINK *)element - 1; }
static LPVOID DataOf(LIST_LINK *link) { return link + 1; }

BLOCK_LIST BlockListCreate(BLOCK_LIST_POOL *pool) {
  if (!pool) return NULL;
  BlockListPoolInit(pool);
  LIST_LINK *head = Carve(pool, pool->HeadSize);
  if (!head) return NULL;
  head->Next = head;
  head->Prev = head;
  head->IsHead = 1;
  head->Ok = 1;
  return head;
}

static LPVOID NewElement(BLOCK_LIST_POOL *pool, BLOCK_LIST list, LIST_LINK *before, DWORD size) {
  if (!pool || !list) return NULL;
  LIST_LINK *link = size <= LIST_BLOCK_AREA ? Carve(pool, pool->HeaderSize + size) : NULL;
  if (!link) {
    list->Ok = 0;
    return NULL;
  }
  link->Next = before;
  link->Prev = before->Prev;
  before->Prev->Next = link;
  before->Prev = link;
  link->IsHead = 0;
  link->Size = size;
  return DataOf(link);
}

LPVOID BlockListAppendNew(BLOCK_LIST_POOL *pool, BLOCK_LIST list, DWORD size) {
  return NewElement(pool, list, list, size);
}

LPVOID BlockListAppend(BLOCK_LIST_POOL *pool, BLOCK_LIST list, LPCVOID data, DWORD size) {
  LPVOID element = BlockListAppendNew(pool, list, size);
  if (element && data) memcpy(element, data, size);
  return element;
}

LPVOID BlockListInsertNewBefore(BLOCK_LIST_POOL *pool, BLOCK_LIST list, LPVOID element, DWORD size) {
  if (!element) return BlockListAppendNew(pool, list, size);
  return NewElement(pool, list, LinkOf(element), size);
}

void BlockListRemove(BLOCK_LIST_POOL *pool, LPVOID element) {
  if (!pool || !element) return;
  LIST_LINK *link = LinkOf(element);
  link->Prev->Next = link->Next;
  link->Next->Prev = link->Prev;
  GiveBack(pool, link);
}

LPVOID BlockListFirst(BLOCK_LIST list) {
  if (!list || list->Next == list) return NULL;
  return DataOf(list->Next);
}

LPVOID BlockListLast(BLOCK_LIST list) {
  if (!list || list->Prev == list) return NULL;
  return DataOf(list->Prev);
}

LPVOID BlockListNext(LPVOID element) {
  if (!element) return NULL;
  LIST_LINK *next = LinkOf(element)->Next;
  return next->IsHead ? NULL : DataOf(next);
}

BOOL BlockListIsEmpty(BLOCK_LIST list) { return !list || list->Next == list; }

void BlockListRelease(BLOCK_LIST_POOL *pool, BLOCK_LIST list) {
  if (!pool || !list) return;
  LIST_LINK *link = list;
  do {
    LIST_LINK *next = link->Next; // read before the piece goes
    GiveBack(pool, link);
    link = next;
  } while (link != list);
}

void BlockListDestroy(BLOCK_LIST_POOL *pool, BLOCK_LIST *listVariable) {
  if (!listVariable || !*listVariable) return;
  BlockListRelease(pool, *listVariable);
  *listVariable = NULL;
}
