// Global and local memory. NT keeps both in one heap, and so does this: a table of
// blocks by handle. A moveable block's handle is a small value (4 mod 8, never an
// address that malloc gives, and within 32 bits as NT's handles are); a fixed
// block's handle is its address.
#include <windows.h>
#include <winapi/memory_hooks.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace {

struct Block {
  void *data = nullptr;
  SIZE_T size = 0;
  bool moveable = false;
  unsigned locks = 0;
};

constexpr UINT_PTR kFirstMoveable = 0x10004;
constexpr unsigned kMaxLocks = GMEM_LOCKCOUNT;

struct MemoryTable {
  std::mutex mutex;
  std::unordered_map<UINT_PTR, Block> blocks;        // by handle
  std::unordered_map<const void *, UINT_PTR> byData; // data address to handle
  std::vector<UINT_PTR> freeValues;
  UINT_PTR nextValue = kFirstMoveable;
  unsigned failAllocations = 0;
  unsigned failLocks = 0;
};

MemoryTable &Table() {
  static MemoryTable *table = new MemoryTable; // never destroyed: blocks outlive static destructors
  return *table;
}

HGLOBAL Allocate(UINT flags, SIZE_T bytes) {
  MemoryTable &table = Table();
  std::lock_guard lock(table.mutex);
  if (table.failAllocations) {
    --table.failAllocations;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  Block block;
  block.moveable = (flags & GMEM_MOVEABLE) != 0;
  block.size = bytes;
  if (bytes || !block.moveable) { // a moveable block of 0 bytes is born discarded
    block.data = (flags & GMEM_ZEROINIT) ? std::calloc(1, bytes ? bytes : 1) : std::malloc(bytes ? bytes : 1);
    if (!block.data) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return nullptr;
    }
  }
  UINT_PTR handle;
  if (!block.moveable) {
    handle = reinterpret_cast<UINT_PTR>(block.data);
  } else if (!table.freeValues.empty()) {
    handle = table.freeValues.back();
    table.freeValues.pop_back();
  } else {
    handle = table.nextValue;
    table.nextValue += 8;
  }
  if (block.data) table.byData[block.data] = handle;
  table.blocks[handle] = block;
  return reinterpret_cast<HGLOBAL>(handle);
}

LPVOID Lock(HGLOBAL memory) {
  MemoryTable &table = Table();
  std::lock_guard lock(table.mutex);
  auto it = table.blocks.find(reinterpret_cast<UINT_PTR>(memory));
  if (it == table.blocks.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  Block &block = it->second;
  if (!block.moveable) return block.data;
  if (table.failLocks) {
    --table.failLocks;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (!block.data) {
    SetLastError(ERROR_DISCARDED);
    return nullptr;
  }
  if (block.locks < kMaxLocks) ++block.locks; // the count saturates, as NT's does
  return block.data;
}

BOOL Unlock(HGLOBAL memory) {
  MemoryTable &table = Table();
  std::lock_guard lock(table.mutex);
  auto it = table.blocks.find(reinterpret_cast<UINT_PTR>(memory));
  if (it == table.blocks.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  Block &block = it->second;
  if (!block.moveable) return TRUE;
  if (block.locks == 0) {
    SetLastError(ERROR_NOT_LOCKED);
    return FALSE;
  }
  if (block.locks < kMaxLocks) --block.locks;
  if (block.locks) return TRUE;
  SetLastError(NO_ERROR);
  return FALSE;
}

// NT frees a block even while it is locked; so does this.
HGLOBAL Free(HGLOBAL memory) {
  if (!memory) return nullptr;
  MemoryTable &table = Table();
  std::lock_guard lock(table.mutex);
  auto it = table.blocks.find(reinterpret_cast<UINT_PTR>(memory));
  if (it == table.blocks.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return memory;
  }
  if (it->second.data) {
    table.byData.erase(it->second.data);
    std::free(it->second.data);
  }
  if (it->second.moveable) table.freeValues.push_back(it->first);
  table.blocks.erase(it);
  return nullptr;
}

HGLOBAL HandleOf(LPCVOID data) {
  MemoryTable &table = Table();
  std::lock_guard lock(table.mutex);
  auto it = table.byData.find(data);
  if (!data || it == table.byData.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return reinterpret_cast<HGLOBAL>(it->second);
}

SIZE_T SizeOf(HGLOBAL memory) {
  MemoryTable &table = Table();
  std::lock_guard lock(table.mutex);
  auto it = table.blocks.find(reinterpret_cast<UINT_PTR>(memory));
  if (it == table.blocks.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  return it->second.size;
}

UINT FlagsOf(HGLOBAL memory) {
  MemoryTable &table = Table();
  std::lock_guard lock(table.mutex);
  auto it = table.blocks.find(reinterpret_cast<UINT_PTR>(memory));
  if (it == table.blocks.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return GMEM_INVALID_HANDLE;
  }
  const Block &block = it->second;
  return block.locks | ((block.moveable && !block.data) ? GMEM_DISCARDED : 0);
}

} // namespace

namespace winapi {

void FailNextAllocations(unsigned n) {
  std::lock_guard lock(Table().mutex);
  Table().failAllocations = n;
}

void FailNextLocks(unsigned n) {
  std::lock_guard lock(Table().mutex);
  Table().failLocks = n;
}

std::size_t LiveMemoryBlocks() {
  std::lock_guard lock(Table().mutex);
  return Table().blocks.size();
}

} // namespace winapi

extern "C" {

HGLOBAL WINAPI GlobalAlloc(UINT uFlags, SIZE_T dwBytes) { return Allocate(uFlags, dwBytes); }
LPVOID WINAPI GlobalLock(HGLOBAL hMem) { return Lock(hMem); }
BOOL WINAPI GlobalUnlock(HGLOBAL hMem) { return Unlock(hMem); }
HGLOBAL WINAPI GlobalFree(HGLOBAL hMem) { return Free(hMem); }
HGLOBAL WINAPI GlobalHandle(LPCVOID pMem) { return HandleOf(pMem); }
SIZE_T WINAPI GlobalSize(HGLOBAL hMem) { return SizeOf(hMem); }
UINT WINAPI GlobalFlags(HGLOBAL hMem) { return FlagsOf(hMem); }

HLOCAL WINAPI LocalAlloc(UINT uFlags, SIZE_T uBytes) { return Allocate(uFlags, uBytes); }
LPVOID WINAPI LocalLock(HLOCAL hMem) { return Lock(hMem); }
BOOL WINAPI LocalUnlock(HLOCAL hMem) { return Unlock(hMem); }
HLOCAL WINAPI LocalFree(HLOCAL hMem) { return Free(hMem); }
HLOCAL WINAPI LocalHandle(LPCVOID pMem) { return HandleOf(pMem); }
SIZE_T WINAPI LocalSize(HLOCAL hMem) { return SizeOf(hMem); }
UINT WINAPI LocalFlags(HLOCAL hMem) { return FlagsOf(hMem); }
}
