#include <winapi/memory_hooks.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "setup_fixture.h"

namespace {

using setuptest::SetupTest;
using PageHeap = SetupTest;

constexpr LONG kPrefix = PAGE_HEAP_BLOCK_PREFIX;
constexpr LONG kOneUnit = PAGE_HEAP_UNIT_SIZE - kPrefix;

BYTE *Bytes(void *p) { return static_cast<BYTE *>(p); }

// The page a block lies in, as its prefix (its offset in the page) gives it.
PAGE_HEADER *PageOf(void *block) {
  DWORD offset;
  std::memcpy(&offset, Bytes(block) - kPrefix, sizeof(offset));
  return reinterpret_cast<PAGE_HEADER *>(Bytes(block) - kPrefix - offset);
}

// Where a block of units units belongs: in the first page of the chain with a
// free run that long, at its lowest such run; nullptr when no page has room.
BYTE *ExpectedBlock(PAGE_HEADER *first, LONG units) {
  for (PAGE_HEADER *page = first; page; page = page->Next) {
    for (LONG unit = 1, run = 0; unit <= PAGE_HEAP_UNITS; ++unit) {
      bool free = (page->UnitMap[(unit - 1) / 32] >> ((unit - 1) % 32)) & 1;
      run = free ? run + 1 : 0;
      if (run == units) return Bytes(page) + (unit - units) * PAGE_HEAP_UNIT_SIZE + kPrefix;
    }
  }
  return nullptr;
}

bool AllZero(const BYTE *block, LONG size) {
  return std::all_of(block, block + size, [](BYTE b) { return b == 0; });
}

TEST_F(PageHeap, ANewHeapHandsOutUnit3First) {
  PAGE_HEADER *page = FirstPage();
  EXPECT_EQ(page->Handle, LibraryHeap);
  EXPECT_EQ(page->FreeUnits, 510);
  void *block = PageHeapAlloc(LibraryHeap, 1);
  EXPECT_EQ(Bytes(block), Bytes(page) + 2 * PAGE_HEAP_UNIT_SIZE + kPrefix);
  EXPECT_EQ(PageOf(block), page); // the block leads back to its page
}

// The sizes that the heap's users see are those of the 32-bit target on every
// host: a 4-byte prefix, so 60 bytes fit one unit and the first block of a new
// heap lies 132 bytes into its page.
TEST_F(PageHeap, BlocksAreSizedAsOnThe32BitTargetOnEveryHost) {
  static_assert(PAGE_HEAP_BLOCK_PREFIX == 4);
  static_assert(PAGE_HEAP_UNITS_FOR(60) == 1 && PAGE_HEAP_UNITS_FOR(61) == 2 && PAGE_HEAP_UNITS_FOR(20000) == 313);
  PAGE_HEADER *page = FirstPage();
  BYTE *first = Bytes(PageHeapAlloc(LibraryHeap, 57));
  EXPECT_EQ(first - Bytes(page), 132);
  BYTE *second = Bytes(PageHeapAlloc(LibraryHeap, 60));
  EXPECT_EQ(second - first, 64);                                // 57 bytes took one unit
  EXPECT_EQ(Bytes(PageHeapAlloc(LibraryHeap, 1)) - second, 64); // and so did 60
  EXPECT_EQ(page->FreeUnits, 507);
}

// Runs found a word of the map at a time must still be the lowest that fits,
// whatever the pattern of units in use: checked against a unit-by-unit search.
TEST_F(PageHeap, FirstFitMatchesAUnitByUnitSearch) {
  std::vector<std::pair<void *, LONG>> live;
  unsigned seed = 12345;
  auto next = [&seed] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7FFF; };
  for (int step = 0; step < 3000; ++step) {
    if (!live.empty() && next() % 3 == 0) {
      size_t victim = next() % live.size();
      PageHeapFree(LibraryHeap, live[victim].first, live[victim].second);
      live.erase(live.begin() + static_cast<long>(victim));
      continue;
    }
    LONG size = 1 + static_cast<LONG>(next() % (next() % 4 == 0 ? 20000 : 300));
    LONG units = PAGE_HEAP_UNITS_FOR(size);
    BYTE *expected = ExpectedBlock(FirstPage(), units);
    BYTE *block = Bytes(PageHeapAlloc(LibraryHeap, size));
    ASSERT_NE(block, nullptr);
    if (expected) {
      ASSERT_EQ(block, expected) << "step " << step << ", " << size << " bytes";
    }
    for (LONG i = 0; i < size; ++i) ASSERT_EQ(block[i], 0) << "step " << step;
    std::memset(block, 0x5A, static_cast<size_t>(size));
    live.emplace_back(block, size);
  }
  for (auto &[block, size] : live) PageHeapFree(LibraryHeap, block, size);
  EXPECT_EQ(FreeUnitsOfHeap(), 510 * PagesOfHeap());
}

TEST_F(PageHeap, RequestsTakeWholeUnitsAndLargeOnesGetTheirOwnMemory) {
  PAGE_HEADER *page = FirstPage();
  void *a = PageHeapAlloc(LibraryHeap, kOneUnit);     // 60 bytes on the 32-bit target: one unit
  void *b = PageHeapAlloc(LibraryHeap, kOneUnit + 1); // 61: two units
  void *c = PageHeapAlloc(LibraryHeap, 1);
  EXPECT_EQ(Bytes(b) - Bytes(a), PAGE_HEAP_UNIT_SIZE);
  EXPECT_EQ(Bytes(c) - Bytes(b), 2 * PAGE_HEAP_UNIT_SIZE);
  EXPECT_EQ(page->FreeUnits, 510 - 4);

  void *most = PageHeapAlloc(LibraryHeap, 20000);
  EXPECT_EQ(page->FreeUnits, 510 - 4 - 313);
  EXPECT_EQ(PageOf(most), page);

  size_t blocksBefore = winapi::LiveMemoryBlocks();
  void *large = PageHeapAlloc(LibraryHeap, 20001);
  ASSERT_NE(large, nullptr);
  EXPECT_EQ(page->FreeUnits, 510 - 4 - 313);
  EXPECT_EQ(winapi::LiveMemoryBlocks(), blocksBefore + 1);
  EXPECT_NE(GlobalHandle(large), nullptr);
  PageHeapFree(LibraryHeap, large, 20001);
  EXPECT_EQ(winapi::LiveMemoryBlocks(), blocksBefore); // given back to the system at once
}

TEST_F(PageHeap, FreedUnitsAreFoundAgainLowestFirst) {
  void *a = PageHeapAlloc(LibraryHeap, 100); // units 3-4
  void *b = PageHeapAlloc(LibraryHeap, 100); // units 5-6
  void *c = PageHeapAlloc(LibraryHeap, 100); // units 7-8
  PageHeapFree(LibraryHeap, c, 100);
  PageHeapFree(LibraryHeap, a, 100);
  EXPECT_EQ(PageHeapAlloc(LibraryHeap, 10), a);                                     // the lowest free unit
  EXPECT_EQ(PageHeapAlloc(LibraryHeap, 100), c);                                    // unit 4 alone is too small
  EXPECT_EQ(Bytes(PageHeapAlloc(LibraryHeap, 10)), Bytes(a) + PAGE_HEAP_UNIT_SIZE); // unit 4
  PageHeapFree(LibraryHeap, b, 100);
  EXPECT_EQ(FirstPage()->FreeUnits, 510 - 4);
}

TEST_F(PageHeap, RunsCrossWordBoundaries) {
  // Units 3..33 in use, then a free run from 34 on: a 40-unit request spans
  // map words 1 and 2.
  void *first = PageHeapAlloc(LibraryHeap, 31 * PAGE_HEAP_UNIT_SIZE - kPrefix);
  void *run = PageHeapAlloc(LibraryHeap, 40 * PAGE_HEAP_UNIT_SIZE - kPrefix);
  EXPECT_EQ(Bytes(run) - Bytes(first), 31 * PAGE_HEAP_UNIT_SIZE);
  EXPECT_EQ(FirstPage()->UnitMap[0], 0u);
  EXPECT_EQ(FirstPage()->UnitMap[1], 0u);
  EXPECT_EQ(FirstPage()->UnitMap[2], 0xFFFFFFFFu << 9); // units 65..73 in use
}

TEST_F(PageHeap, NewPagesGoDirectlyAfterTheFirst) {
  void *inP1 = PageHeapAlloc(LibraryHeap, 20000); // 313 of 510 units
  void *inP2 = PageHeapAlloc(LibraryHeap, 20000); // does not fit P1: P2
  void *inP3 = PageHeapAlloc(LibraryHeap, 20000); // fits neither: P3
  PAGE_HEADER *p1 = FirstPage();
  EXPECT_EQ(PageOf(inP1), p1);
  EXPECT_EQ(p1->Next, PageOf(inP3));
  EXPECT_EQ(p1->Next->Next, PageOf(inP2));
  EXPECT_EQ(p1->Next->Next->Next, nullptr);
  // A small request fills the first page of the chain that has room.
  EXPECT_EQ(PageOf(PageHeapAlloc(LibraryHeap, 100)), p1);
  // 196 units fit P3 and P2 but not P1 (195 left): P3 comes first in the chain.
  PageHeapFree(LibraryHeap, inP3, 20000);
  EXPECT_EQ(PageOf(PageHeapAlloc(LibraryHeap, 196 * PAGE_HEAP_UNIT_SIZE - kPrefix)), PageOf(inP3));
}

TEST_F(PageHeap, ZeroSizesGiveNothingAndFreeNothing) {
  EXPECT_EQ(PageHeapAlloc(LibraryHeap, 0), nullptr);
  EXPECT_EQ(PageHeapAlloc(LibraryHeap, -5), nullptr);
  void *a = PageHeapAlloc(LibraryHeap, 10);
  PageHeapFree(LibraryHeap, a, 0);
  EXPECT_EQ(FirstPage()->FreeUnits, 509);
  EXPECT_EQ(PageHeapAlloc(nullptr, 10), nullptr);
}

TEST_F(PageHeap, EveryBlockReadsZeroEvenWhenItReusesUnits) {
  BYTE *a = Bytes(PageHeapAlloc(LibraryHeap, 500));
  std::memset(a, 0xAB, 500);
  PageHeapFree(LibraryHeap, a, 500);
  BYTE *b = Bytes(PageHeapAlloc(LibraryHeap, 500));
  ASSERT_EQ(b, a);
  for (int i = 0; i < 500; ++i) ASSERT_EQ(b[i], 0) << i;
  BYTE *large = Bytes(PageHeapAlloc(LibraryHeap, 30000));
  for (int i = 0; i < 30000; ++i) ASSERT_EQ(large[i], 0) << i;
  PageHeapFree(LibraryHeap, large, 30000);
}

// Units given back are handed out again as blocks of other shapes: the
// prefixes of the old blocks then lie inside the new ones, and must read zero
// like everything else.
TEST_F(PageHeap, GivenBackUnitsReadZeroInBlocksOfAnyShape) {
  const LONG sizes[] = {1, 60, 61, 200, 1000, 4000, 20000};
  for (LONG before : sizes) {
    for (LONG after : sizes) {
      std::vector<BYTE *> blocks;
      for (int i = 0; i < 8; ++i) {
        blocks.push_back(Bytes(PageHeapAlloc(LibraryHeap, before)));
        ASSERT_NE(blocks.back(), nullptr);
        std::memset(blocks.back(), 0xFF, static_cast<size_t>(before));
      }
      for (BYTE *block : blocks) PageHeapFree(LibraryHeap, block, before);
      blocks.clear();
      for (int i = 0; i < 8; ++i) {
        blocks.push_back(Bytes(PageHeapAlloc(LibraryHeap, after)));
        ASSERT_TRUE(AllZero(blocks.back(), after)) << before << " bytes, then " << after << ", block " << i;
      }
      for (BYTE *block : blocks) PageHeapFree(LibraryHeap, block, after);
    }
  }
  EXPECT_EQ(FreeUnitsOfHeap(), 510 * PagesOfHeap());
}

// Two heaps used in turn, each grown to many pages and then thinned out:
// every block goes where a unit-by-unit first-fit search of its own heap's
// chain puts it, and reads zero.
TEST_F(PageHeap, HeapsUsedInTurnEachKeepFirstFit) {
  HGLOBAL heaps[2] = {LibraryHeap, PageHeapCreate()};
  ASSERT_NE(heaps[1], nullptr);
  std::vector<std::pair<BYTE *, LONG>> live[2];
  unsigned seed = 777;
  auto next = [&seed] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7FFF; };
  for (int step = 0; step < 4000; ++step) {
    int h = static_cast<int>(next() % 2);
    PAGE_HEADER *first = static_cast<PAGE_HEADER *>(GlobalLock(heaps[h]));
    GlobalUnlock(heaps[h]);
    // Mostly allocations at first, so that the chains grow; then as many frees.
    bool grow = step < 1500 ? next() % 8 != 0 : next() % 2 == 0;
    if (!grow && !live[h].empty()) {
      size_t victim = next() % live[h].size();
      PageHeapFree(heaps[h], live[h][victim].first, live[h][victim].second);
      live[h].erase(live[h].begin() + static_cast<long>(victim));
      continue;
    }
    LONG size = 1 + static_cast<LONG>(next() % (next() % 3 == 0 ? 20000 : 700));
    BYTE *expected = ExpectedBlock(first, PAGE_HEAP_UNITS_FOR(size));
    BYTE *block = Bytes(PageHeapAlloc(heaps[h], size));
    ASSERT_NE(block, nullptr);
    if (expected) {
      ASSERT_EQ(block, expected) << "step " << step << ", heap " << h << ", " << size << " bytes";
    } else {
      ASSERT_EQ(PageOf(block), first->Next) << "step " << step << ": a new page goes after the first";
    }
    ASSERT_TRUE(AllZero(block, size)) << "step " << step;
    std::memset(block, 0x5A, static_cast<size_t>(size));
    live[h].emplace_back(block, size);
  }
  for (int h = 0; h < 2; ++h) {
    for (auto &[block, size] : live[h]) PageHeapFree(heaps[h], block, size);
    LONG free = 0, pages = 0;
    for (auto *page = static_cast<PAGE_HEADER *>(GlobalLock(heaps[h])); page; page = page->Next, ++pages)
      free += page->FreeUnits;
    GlobalUnlock(heaps[h]);
    EXPECT_GT(pages, 10);
    EXPECT_EQ(free, 510 * pages);
  }
}

TEST_F(PageHeap, FreeingKeepsThePageLockCountAndIgnoresDoubleFrees) {
  void *a = PageHeapAlloc(LibraryHeap, 100);
  EXPECT_EQ(GlobalFlags(LibraryHeap) & GMEM_LOCKCOUNT, 1u); // locked once, at creation
  PageHeapFree(LibraryHeap, a, 100);
  EXPECT_EQ(GlobalFlags(LibraryHeap) & GMEM_LOCKCOUNT, 1u);
  PageHeapFree(LibraryHeap, a, 100); // a second time: its units are already free
  EXPECT_EQ(FirstPage()->FreeUnits, 510);
}

TEST_F(PageHeap, StringsAreFreedByTheirLength) {
  LPSTR copy = PageHeapCopyString(LibraryHeap, std::string(200, 'x').c_str());
  EXPECT_EQ(std::string(copy), std::string(200, 'x'));
  EXPECT_EQ(FirstPage()->FreeUnits, 510 - 4);
  PageHeapFreeString(LibraryHeap, copy);
  EXPECT_EQ(FirstPage()->FreeUnits, 510);
}

TEST_F(PageHeap, RetryAsksAgainAndIgnoreGivesNothing) {
  messageBoxAnswer_ = IDRETRY;
  winapi::FailNextAllocations(2);
  void *large = PageHeapAlloc(LibraryHeap, 25000);
  EXPECT_NE(large, nullptr);
  ASSERT_EQ(boxes_.size(), 2u);
  EXPECT_EQ(boxes_[0].text, "Memory allocation failed");
  EXPECT_EQ(boxes_[0].caption, "Out Of Memory");
  EXPECT_EQ(boxes_[0].type, static_cast<UINT>(MB_ABORTRETRYIGNORE | MB_ICONERROR));
  PageHeapFree(LibraryHeap, large, 25000);

  messageBoxAnswer_ = IDIGNORE;
  boxes_.clear();
  PageHeapAlloc(LibraryHeap, 20000);
  winapi::FailNextAllocations(1);
  EXPECT_EQ(PageHeapAlloc(LibraryHeap, 20000), nullptr); // a new page was needed
  EXPECT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(PagesOfHeap(), 1);
  EXPECT_NE(PageHeapAlloc(LibraryHeap, 20000), nullptr); // the lock was left: the heap still works
  winapi::FailNextAllocations(1);
  EXPECT_EQ(PageHeapCreate(), nullptr);
}

TEST_F(PageHeap, AbortEndsTheProcessWithExitCode1) {
  EXPECT_EXIT(
      {
        messageBoxAnswer_ = IDABORT;
        winapi::FailNextAllocations(1);
        PageHeapAlloc(LibraryHeap, 30000);
      },
      ::testing::ExitedWithCode(1), "");
}

TEST_F(PageHeap, ALockFailureGivesNothing) {
  size_t blocksBefore = winapi::LiveMemoryBlocks();
  winapi::FailNextLocks(1);
  EXPECT_EQ(PageHeapAlloc(LibraryHeap, 30000), nullptr);
  EXPECT_EQ(winapi::LiveMemoryBlocks(), blocksBefore); // the unlocked block is not kept
}

} // namespace
