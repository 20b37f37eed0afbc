#include <winapi/memory_hooks.h>

#include <cstring>

#include "block_list.h"
#include "setup_fixture.h"

namespace {

class BlockList : public setuptest::SetupTest {
 protected:
  void SetUp() override {
    SetupTest::SetUp();
    baseline_ = winapi::LiveMemoryBlocks();
  }
  void TearDown() override {
    if (pool_.HeadSize) DeleteCriticalSection(&pool_.Lock);
    SetupTest::TearDown();
  }
  static LIST_BLOCK *BlockOf(void *element) { return (static_cast<LIST_LINK *>(element) - 1)->Block; }
  int Value(void *element) const { return *static_cast<int *>(element); }
  void *Append(BLOCK_LIST list, int value) { return BlockListAppend(&pool_, list, &value, sizeof(value)); }

  BLOCK_LIST_POOL pool_{};
  size_t baseline_ = 0;
};

TEST_F(BlockList, ANewListIsEmpty) {
  BLOCK_LIST list = BlockListCreate(&pool_);
  ASSERT_NE(list, nullptr);
  EXPECT_TRUE(BlockListIsEmpty(list));
  EXPECT_EQ(BlockListFirst(list), nullptr);
  EXPECT_EQ(BlockListLast(list), nullptr);
  EXPECT_EQ(list->Ok, 1u);
  EXPECT_EQ(list->IsHead, 1u);
  BlockListDestroy(&pool_, &list);
  EXPECT_EQ(list, nullptr);
}

TEST_F(BlockList, MissingListsAndElementsDoNothing) {
  EXPECT_TRUE(BlockListIsEmpty(nullptr));
  EXPECT_EQ(BlockListFirst(nullptr), nullptr);
  EXPECT_EQ(BlockListNext(nullptr), nullptr);
  EXPECT_EQ(BlockListAppendNew(&pool_, nullptr, 4), nullptr);
  BlockListRemove(&pool_, nullptr);
  BlockListDestroy(&pool_, nullptr);
  BLOCK_LIST none = nullptr;
  BlockListDestroy(&pool_, &none);
  EXPECT_EQ(winapi::LiveMemoryBlocks(), baseline_);
}

TEST_F(BlockList, ElementsKeepTheirOrderAndInsertionGoesBefore) {
  BLOCK_LIST list = BlockListCreate(&pool_);
  void *one = Append(list, 1);
  EXPECT_EQ(BlockListFirst(list), one);
  EXPECT_EQ(BlockListLast(list), one);
  EXPECT_EQ(BlockListNext(one), nullptr);
  Append(list, 3);
  int zero = 0, two = 2, four = 4;
  std::memcpy(BlockListInsertNewBefore(&pool_, list, BlockListFirst(list), sizeof(int)), &zero, sizeof(int));
  std::memcpy(BlockListInsertNewBefore(&pool_, list, BlockListLast(list), sizeof(int)), &two, sizeof(int));
  std::memcpy(BlockListInsertNewBefore(&pool_, list, nullptr, sizeof(int)), &four, sizeof(int));
  std::vector<int> seen;
  for (void *e = BlockListFirst(list); e; e = BlockListNext(e)) seen.push_back(Value(e));
  EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, 3, 4}));
  EXPECT_EQ(Value(BlockListLast(list)), 4);
  EXPECT_EQ((static_cast<LIST_LINK *>(one) - 1)->Size, sizeof(int));
  BlockListDestroy(&pool_, &list);
}

TEST_F(BlockList, RemovingTheOnlyElementLeavesAnEmptyList) {
  BLOCK_LIST list = BlockListCreate(&pool_);
  void *only = Append(list, 7);
  BlockListRemove(&pool_, only);
  EXPECT_TRUE(BlockListIsEmpty(list));
  void *a = Append(list, 1);
  void *b = Append(list, 2);
  void *c = Append(list, 3);
  BlockListRemove(&pool_, b);
  EXPECT_EQ(BlockListNext(a), c);
  BlockListRemove(&pool_, c);
  EXPECT_EQ(BlockListLast(list), a);
  BlockListDestroy(&pool_, &list);
}

TEST_F(BlockList, ABlockGoesOnlyWithItsLastPiece) {
  BLOCK_LIST list = BlockListCreate(&pool_);
  void *big = BlockListAppendNew(&pool_, list, 24000);
  LIST_BLOCK *first = BlockOf(big);
  EXPECT_EQ(first->Count, 2); // the head and the element
  EXPECT_EQ(first->Used % static_cast<LONG>(alignof(LIST_LINK)), 0);
  EXPECT_EQ(winapi::LiveMemoryBlocks(), baseline_ + 1);

  void *next = BlockListAppendNew(&pool_, list, 2000); // does not fit the rest
  EXPECT_NE(BlockOf(next), first);
  EXPECT_EQ(pool_.Current, BlockOf(next));
  EXPECT_EQ(winapi::LiveMemoryBlocks(), baseline_ + 2);

  BlockListRemove(&pool_, big);
  EXPECT_EQ(winapi::LiveMemoryBlocks(), baseline_ + 2); // the head still lives in the old block
  BlockListDestroy(&pool_, &list);
  EXPECT_EQ(winapi::LiveMemoryBlocks(), baseline_);
  EXPECT_EQ(pool_.Current, nullptr);
}

// A block is the 25012 bytes of the 32-bit target on every host, and every
// piece carved from it is aligned for the pointers it holds.
TEST_F(BlockList, BlocksAre25012BytesAndPiecesAreAligned) {
  BLOCK_LIST list = BlockListCreate(&pool_);
  LIST_BLOCK *block = BlockOf(Append(list, 1));
  EXPECT_EQ(GlobalSize(GlobalHandle(block)), 25012u);
  EXPECT_EQ(block->Handle, static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(GlobalHandle(block))));
  for (DWORD size : {1u, 3u, 7u, 13u}) {
    void *piece = Append(list, size);
    EXPECT_EQ(reinterpret_cast<ULONG_PTR>(piece) % alignof(void *), 0u) << size;
  }
  BlockListDestroy(&pool_, &list);
  EXPECT_EQ(winapi::LiveMemoryBlocks(), baseline_);
}

TEST_F(BlockList, SpaceInsideABlockIsNotReused) {
  BLOCK_LIST list = BlockListCreate(&pool_);
  void *a = Append(list, 1);
  LONG used = BlockOf(a)->Used;
  BlockListRemove(&pool_, a);
  void *b = Append(list, 2);
  EXPECT_GT(static_cast<BYTE *>(b), static_cast<BYTE *>(a));
  EXPECT_GT(BlockOf(b)->Used, used);
  BlockListDestroy(&pool_, &list);
}

TEST_F(BlockList, AFailedAppendClearsOkForGood) {
  BLOCK_LIST list = BlockListCreate(&pool_);
  BlockListAppendNew(&pool_, list, 24000);
  winapi::FailNextAllocations(1);
  EXPECT_EQ(BlockListAppendNew(&pool_, list, 2000), nullptr);
  EXPECT_EQ(list->Ok, 0u);
  EXPECT_EQ(pool_.Current, nullptr);
  ASSERT_EQ(debugOutput_.size(), 1u);
  EXPECT_EQ(debugOutput_[0], "GlobalAlloc failed!!\n");
  EXPECT_NE(Append(list, 5), nullptr);
  EXPECT_EQ(list->Ok, 0u); // nothing sets it back

  winapi::FailNextLocks(1);
  // The largest element a block holds: a new block is needed, and its lock fails.
  EXPECT_EQ(BlockListAppendNew(&pool_, list, LIST_BLOCK_AREA - LIST_BLOCK_AREA_SKIP - sizeof(LIST_LINK)), nullptr);
  EXPECT_EQ(debugOutput_.back(), "GlobalLock failed!!\n");
  EXPECT_EQ(BlockListAppendNew(&pool_, list, LIST_BLOCK_AREA + 1), nullptr); // fits no block
  BlockListDestroy(&pool_, &list);
  EXPECT_EQ(winapi::LiveMemoryBlocks(), baseline_);
}

TEST_F(BlockList, ACreateWithoutMemoryGivesNoList) {
  winapi::FailNextAllocations(1);
  EXPECT_EQ(BlockListCreate(&pool_), nullptr);
}

TEST_F(BlockList, ANegativeCountIsReportedAndTheBlockLeftAlone) {
  BLOCK_LIST list = BlockListCreate(&pool_);
  void *element = Append(list, 1);
  LIST_BLOCK *block = BlockOf(element);
  block->Count = 0; // as if a piece had been given back twice
  BlockListRemove(&pool_, element);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text, "Problem in List code.\nList block allocation negative (-1)");
  EXPECT_EQ(boxes_[0].caption, "Error");
  EXPECT_EQ(boxes_[0].type, static_cast<UINT>(MB_ICONERROR));
  EXPECT_EQ(winapi::LiveMemoryBlocks(), baseline_ + 1);
  block->Count = 1;
  BlockListDestroy(&pool_, &list);
  EXPECT_EQ(winapi::LiveMemoryBlocks(), baseline_);
}

TEST_F(BlockList, PoolsInitialiseOnceAndNeverShareBlocks) {
  BlockListPoolInit(&pool_);
  DWORD headSize = pool_.HeadSize;
  EXPECT_EQ(headSize, offsetof(LIST_LINK, Size));
  EXPECT_EQ(pool_.HeaderSize, sizeof(LIST_LINK));
  BlockListPoolInit(&pool_); // no effect
  BLOCK_LIST_POOL other{};
  BLOCK_LIST a = BlockListCreate(&pool_);
  BLOCK_LIST b = BlockListCreate(&other);
  EXPECT_NE(a->Block, b->Block);
  BlockListRelease(&pool_, a);
  BlockListRelease(&other, b);
  EXPECT_EQ(winapi::LiveMemoryBlocks(), baseline_);
  DeleteCriticalSection(&other.Lock);
}

} // namespace
