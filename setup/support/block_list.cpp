/* Block lists: pieces carved from the blocks of a pool and given back, and the
   lists linked and walked through them. */
#include "block_list.h"

#include <stdio.h>
#include <string.h>

BLOCK_LIST_POOL MessagePool;
BLOCK_LIST_POOL ScanPool;

/* Pieces start on a boundary that suits a link: 4 bytes on the 32-bit target. */
#define PIECE_ALIGN ((LONG)alignof(LIST_LINK))

void BlockListPoolInit(BLOCK_LIST_POOL *Pool) {
  if (!Pool || Pool->HeadSize) return;
  Pool->HeadSize = offsetof(LIST_LINK, Size);
  Pool->HeaderSize = sizeof(LIST_LINK);
  Pool->Current = NULL;
  InitializeCriticalSection(&Pool->Lock);
}

static LIST_BLOCK *NewBlock(void) {
  HGLOBAL Handle = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, LIST_BLOCK_SIZE);
  if (!Handle) {
    OutputDebugStringA("GlobalAlloc failed!!\n");
    return NULL;
  }
  LIST_BLOCK *Block = (LIST_BLOCK *)GlobalLock(Handle); /* stays locked: its address is fixed */
  if (!Block) {
    OutputDebugStringA("GlobalLock failed!!\n");
    GlobalFree(Handle);
    return NULL;
  }
  Block->Handle = (DWORD)(ULONG_PTR)Handle;
  Block->Count = 0;
  Block->Used = 0;
  return Block;
}

/* Carves Size bytes from the pool's current block, opening a new block when the
   rest of the current one is too small. */
static LIST_LINK *Carve(BLOCK_LIST_POOL *Pool, DWORD Size) {
  if ((LONG)Size > LIST_BLOCK_AREA - LIST_BLOCK_AREA_SKIP) return NULL; /* no block could hold it */
  EnterCriticalSection(&Pool->Lock);
  LIST_BLOCK *Block = Pool->Current;
  if (!Block || LIST_BLOCK_AREA_SKIP + Block->Used + (LONG)Size > LIST_BLOCK_AREA) {
    Block = NewBlock();
    Pool->Current = Block;
    if (!Block) {
      LeaveCriticalSection(&Pool->Lock);
      return NULL;
    }
  }
  LIST_LINK *Link = (LIST_LINK *)(Block->Area + LIST_BLOCK_AREA_SKIP + Block->Used);
  Block->Count++;
  Block->Used += ((LONG)Size + PIECE_ALIGN - 1) / PIECE_ALIGN * PIECE_ALIGN;
  Link->Block = Block;
  LeaveCriticalSection(&Pool->Lock);
  return Link;
}

static void GiveBack(BLOCK_LIST_POOL *Pool, LIST_LINK *Link) {
  EnterCriticalSection(&Pool->Lock);
  LIST_BLOCK *Block = Link->Block;
  Block->Count--;
  if (Block->Count == 0) {
    if (Block == Pool->Current) Pool->Current = NULL;
    HGLOBAL Handle = GlobalHandle(Block); /* the whole handle, where it is wider than the field */
    GlobalUnlock(Handle);
    GlobalFree(Handle);
  } else if (Block->Count < 0) {
    /* A piece given back more often than it was carved; the block is left alone. */
    char Text[80];
    snprintf(Text, sizeof(Text), "Problem in List code.\nList block allocation negative (%d)", (int)Block->Count);
    MessageBoxA(NULL, Text, "Error", MB_ICONERROR);
  }
  LeaveCriticalSection(&Pool->Lock);
}

static LIST_LINK *LinkOf(LPVOID Element) { return (LIST_LINK *)Element - 1; }
static LPVOID DataOf(LIST_LINK *Link) { return Link + 1; }

BLOCK_LIST BlockListCreate(BLOCK_LIST_POOL *Pool) {
  if (!Pool) return NULL;
  BlockListPoolInit(Pool);
  LIST_LINK *Head = Carve(Pool, Pool->HeadSize);
  if (!Head) return NULL;
  Head->Next = Head;
  Head->Prev = Head;
  Head->IsHead = 1;
  Head->Ok = 1;
  return Head;
}

static LPVOID NewElement(BLOCK_LIST_POOL *Pool, BLOCK_LIST List, LIST_LINK *Before, DWORD Size) {
  if (!Pool || !List) return NULL;
  LIST_LINK *Link = Size <= LIST_BLOCK_AREA ? Carve(Pool, Pool->HeaderSize + Size) : NULL;
  if (!Link) {
    List->Ok = 0;
    return NULL;
  }
  Link->Next = Before;
  Link->Prev = Before->Prev;
  Before->Prev->Next = Link;
  Before->Prev = Link;
  Link->IsHead = 0;
  Link->Size = Size;
  return DataOf(Link);
}

LPVOID BlockListAppendNew(BLOCK_LIST_POOL *Pool, BLOCK_LIST List, DWORD Size) {
  return NewElement(Pool, List, List, Size);
}

LPVOID BlockListAppend(BLOCK_LIST_POOL *Pool, BLOCK_LIST List, LPCVOID Data, DWORD Size) {
  LPVOID Element = BlockListAppendNew(Pool, List, Size);
  if (Element && Data) memcpy(Element, Data, Size);
  return Element;
}

LPVOID BlockListInsertNewBefore(BLOCK_LIST_POOL *Pool, BLOCK_LIST List, LPVOID Element, DWORD Size) {
  if (!Element) return BlockListAppendNew(Pool, List, Size);
  return NewElement(Pool, List, LinkOf(Element), Size);
}

void BlockListRemove(BLOCK_LIST_POOL *Pool, LPVOID Element) {
  if (!Pool || !Element) return;
  LIST_LINK *Link = LinkOf(Element);
  Link->Prev->Next = Link->Next;
  Link->Next->Prev = Link->Prev;
  GiveBack(Pool, Link);
}

LPVOID BlockListFirst(BLOCK_LIST List) {
  if (!List || List->Next == List) return NULL;
  return DataOf(List->Next);
}

LPVOID BlockListLast(BLOCK_LIST List) {
  if (!List || List->Prev == List) return NULL;
  return DataOf(List->Prev);
}

LPVOID BlockListNext(LPVOID Element) {
  if (!Element) return NULL;
  LIST_LINK *Next = LinkOf(Element)->Next;
  return Next->IsHead ? NULL : DataOf(Next);
}

BOOL BlockListIsEmpty(BLOCK_LIST List) { return !List || List->Next == List; }

void BlockListRelease(BLOCK_LIST_POOL *Pool, BLOCK_LIST List) {
  if (!Pool || !List) return;
  LIST_LINK *Link = List;
  do {
    LIST_LINK *Next = Link->Next; /* read before the piece goes */
    GiveBack(Pool, Link);
    Link = Next;
  } while (Link != List);
}

void BlockListDestroy(BLOCK_LIST_POOL *Pool, BLOCK_LIST *ListVariable) {
  if (!ListVariable || !*ListVariable) return;
  BlockListRelease(Pool, *ListVariable);
  *ListVariable = NULL;
}
