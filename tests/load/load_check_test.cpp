// The load run's check: it finds a lost or phantom entry and a bad answer, and
// leaves open only what an overlapping clear makes uncertain.
#include "load_journal.h"

#include <gtest/gtest.h>

namespace {

using cvload::Op;
using cvload::Record;

Record At(uint64_t start, uint64_t end, Op op, int16_t result = 0, uint8_t entry = 0, uint32_t seen = 0) {
  Record r{};
  r.start = start;
  r.end = end;
  r.op = op;
  r.result = result;
  r.entry = entry;
  r.seen = seen;
  return r;
}

std::vector<uint8_t> Entry(int worker, int entry) {
  std::vector<uint8_t> address(6);
  cvload::EntryAddress(worker, entry, address.data());
  return address;
}

cvload::Verdict Check(std::vector<Record> worker0, std::vector<Record> worker1 = {},
                      std::vector<std::vector<uint8_t>> finalList = {}) {
  std::vector<std::vector<Record>> journals(cvload::kWorkers);
  journals[0] = std::move(worker0);
  journals[1] = std::move(worker1);
  return cvload::CheckJournals(journals, finalList);
}

TEST(LoadCheck, AnAddedEntryMustBeListedUntilDeletedOrCleared) {
  auto ok = Check({At(10, 20, Op::kAdd, 0, 3), At(30, 40, Op::kReadAcl, 1, 0, 1u << 3), At(50, 60, Op::kDelete, 0, 3),
                   At(70, 80, Op::kReadAcl, 0)});
  EXPECT_TRUE(ok.faults.empty());
  EXPECT_EQ(ok.ambiguous, 0u);
  auto lost = Check({At(10, 20, Op::kAdd, 0, 3), At(30, 40, Op::kReadAcl, 0)}, {}, {});
  EXPECT_EQ(lost.faults.size(), 2u) << "missing in the read and in the final list";
  auto phantom = Check({At(10, 20, Op::kDelete, 1, 2), At(30, 40, Op::kDelete, 0, 2)});
  EXPECT_EQ(phantom.faults.size(), 1u) << "a delete of an entry that was never added cannot succeed";
}

TEST(LoadCheck, AnotherWorkersClearPlacesByItsTimes) {
  // The clear lies wholly between the add and the read: the entry must be gone.
  auto between = Check({At(10, 20, Op::kAdd, 0, 1), At(50, 60, Op::kReadAcl, 1, 0, 1u << 1)}, {At(30, 40, Op::kClear)});
  EXPECT_EQ(between.faults.size(), 1u);
  auto gone = Check({At(10, 20, Op::kAdd, 0, 1), At(50, 60, Op::kDelete, 1, 1)}, {At(30, 40, Op::kClear)});
  EXPECT_TRUE(gone.faults.empty());
  EXPECT_EQ(gone.ambiguous, 0u);
  // The clear overlaps the add: either answer fits.
  auto open = Check({At(10, 20, Op::kAdd, 0, 1), At(50, 60, Op::kReadAcl, 0)}, {At(15, 25, Op::kClear)}, {});
  EXPECT_TRUE(open.faults.empty());
  EXPECT_EQ(open.ambiguous, 2u) << "the read and the final list";
}

TEST(LoadCheck, TheFinalListMustHoldExactlyTheSurvivingEntries) {
  EXPECT_TRUE(Check({At(10, 20, Op::kAdd, 0, 5)}, {}, {Entry(0, 5)}).faults.empty());
  EXPECT_EQ(Check({At(10, 20, Op::kAdd, 0, 5)}, {}, {Entry(0, 5), Entry(0, 5)}).faults.size(), 1u);
  EXPECT_EQ(Check({}, {}, {Entry(1, 0)}).faults.size(), 1u) << "an entry no one added";
  EXPECT_EQ(Check({}, {}, {{1, 2, 3, 4, 5, 6}}).faults.size(), 1u);
}

TEST(LoadCheck, BadAnswersAreFaults) {
  Record torn = At(10, 20, Op::kReadStatus);
  torn.flags = cvload::kTorn;
  EXPECT_EQ(Check({torn}).faults.size(), 1u);
  EXPECT_EQ(Check({At(10, 20, Op::kReadMemory, 2)}).faults.size(), 1u);
  EXPECT_EQ(Check({At(10, 20, Op::kAdd, 9, 0)}, {}, {Entry(0, 0)}).faults.size(), 1u);
  EXPECT_EQ(Check({At(10, 20, Op::kReadAcl, 33)}).faults.size(), 1u);
}

} // namespace
