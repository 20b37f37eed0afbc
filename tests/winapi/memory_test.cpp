#include <windows.h>
#include <winapi/memory_hooks.h>

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

namespace {

TEST(Memory, AMoveableBlockIsReachedThroughItsCountedLocks) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 100);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(GlobalFlags(block) & GMEM_LOCKCOUNT, 0u);
  auto *first = static_cast<BYTE *>(GlobalLock(block));
  ASSERT_NE(first, nullptr);
  EXPECT_NE(static_cast<void *>(first), block); // the handle is no address
  for (int i = 0; i < 100; ++i) ASSERT_EQ(first[i], 0);
  EXPECT_EQ(GlobalLock(block), first);
  EXPECT_EQ(GlobalFlags(block) & GMEM_LOCKCOUNT, 2u);
  EXPECT_EQ(GlobalHandle(first), block);
  EXPECT_EQ(GlobalSize(block), 100u);
  SetLastError(77);
  EXPECT_TRUE(GlobalUnlock(block)); // still locked once
  EXPECT_EQ(GetLastError(), 77u);
  EXPECT_FALSE(GlobalUnlock(block)); // unlocked now
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(NO_ERROR));
  EXPECT_FALSE(GlobalUnlock(block));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_LOCKED));
  GlobalLock(block);
  EXPECT_EQ(GlobalFree(block), nullptr); // freed even while locked, as on NT
  EXPECT_EQ(GlobalFlags(block), static_cast<UINT>(GMEM_INVALID_HANDLE));
}

TEST(Memory, AFixedBlockIsItsOwnHandle) {
  HGLOBAL block = GlobalAlloc(GPTR, 16);
  EXPECT_EQ(GlobalLock(block), block);
  EXPECT_TRUE(GlobalUnlock(block));
  EXPECT_EQ(GlobalHandle(block), block);
  EXPECT_EQ(GlobalFree(block), nullptr);
}

TEST(Memory, AnEmptyMoveableBlockIsDiscarded) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 0);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(GlobalFlags(block), static_cast<UINT>(GMEM_DISCARDED));
  EXPECT_EQ(GlobalLock(block), nullptr);
  GlobalFree(block);
}

TEST(Memory, BadHandlesAreRefusedAndNothingIsLost) {
  size_t live = winapi::LiveMemoryBlocks();
  HGLOBAL bogus = reinterpret_cast<HGLOBAL>(static_cast<UINT_PTR>(0x1234560));
  SetLastError(0);
  EXPECT_EQ(GlobalFree(bogus), bogus);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(GlobalLock(bogus), nullptr);
  EXPECT_EQ(GlobalHandle(&live), nullptr);
  EXPECT_EQ(GlobalFree(nullptr), nullptr);
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 10);
  GlobalFree(block);
  EXPECT_EQ(GlobalFree(block), block); // a second time
  EXPECT_EQ(winapi::LiveMemoryBlocks(), live);
}

TEST(Memory, LocalBlocksBehaveAlike) {
  HLOCAL block = LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, 512);
  auto *data = static_cast<char *>(LocalLock(block));
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(data[511], 0);
  EXPECT_EQ(LocalHandle(data), block);
  EXPECT_FALSE(LocalUnlock(block));
  EXPECT_EQ(LocalFree(block), nullptr);
}

TEST(Memory, RefusalsOnDemand) {
  winapi::FailNextAllocations(1);
  SetLastError(0);
  EXPECT_EQ(GlobalAlloc(GHND, 10), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  HGLOBAL block = GlobalAlloc(GHND, 10);
  ASSERT_NE(block, nullptr);
  winapi::FailNextLocks(1);
  EXPECT_EQ(GlobalLock(block), nullptr);
  EXPECT_NE(GlobalLock(block), nullptr);
  GlobalFree(block);
}

TEST(CriticalSection, IsRecursiveAndExcludesOtherThreads) {
  CRITICAL_SECTION lock;
  InitializeCriticalSection(&lock);
  EnterCriticalSection(&lock);
  EnterCriticalSection(&lock);
  EXPECT_EQ(lock.RecursionCount, 2);
  bool otherGotIn = true;
  std::thread([&] { otherGotIn = TryEnterCriticalSection(&lock); }).join();
  EXPECT_FALSE(otherGotIn);
  LeaveCriticalSection(&lock);
  LeaveCriticalSection(&lock);
  EXPECT_EQ(lock.RecursionCount, 0);
  long counter = 0;
  auto work = [&] {
    for (int i = 0; i < 20000; ++i) {
      EnterCriticalSection(&lock);
      ++counter;
      LeaveCriticalSection(&lock);
    }
  };
  std::thread a(work), b(work);
  a.join();
  b.join();
  EXPECT_EQ(counter, 40000);
  DeleteCriticalSection(&lock);
}

} // namespace
