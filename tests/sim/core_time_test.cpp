// The network in motion: what moves with simulated time, and what keeps still.
#include "request_helpers.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <set>

using namespace cvsim;
using simtest::NewAdapter;
using simtest::StatusWord;

namespace {

uint16_t Sum16(uint16_t a, uint16_t b) { return static_cast<uint16_t>(a + b); }

TEST(CoreTime, TrafficMovesTheCountersOfABusyStation) {
  auto s = NewAdapter();
  ASSERT_TRUE(StatusBlock(*s)[kSbAssocStatus] & 0x80) << "the default station is associated";
  const uint32_t counters[] = {kSbTxHost, kSbTxDirUni, kSbTxNonDirUni, kSbTxBytes, kSbTxBarCount,
                               kSbRxHost, kSbRxDirUni, kSbRxNonDirUni, kSbRxBytes, kSbRxBarCount};
  uint16_t before[std::size(counters)];
  for (size_t i = 0; i < std::size(counters); ++i) before[i] = StatusWord(*s, counters[i]);
  AdvanceTime(*s, 1045);
  for (size_t i = 0; i < std::size(counters); ++i)
    EXPECT_NE(StatusWord(*s, counters[i]), before[i]) << "field 0x" << std::hex << counters[i];
  // What the monitor shows per period stays within its scales.
  uint16_t txDir = static_cast<uint16_t>(StatusWord(*s, kSbTxDirUni) - before[1]);
  uint16_t rxBytes = static_cast<uint16_t>(StatusWord(*s, kSbRxBytes) - before[8]);
  EXPECT_LT(txDir, 100);
  EXPECT_GT(rxBytes, 1000);
}

TEST(CoreTime, HostCountsAreDirectedPlusNonDirected) {
  auto s = NewAdapter();
  for (int i = 0; i < 50; ++i) {
    AdvanceTime(*s, 977);
    EXPECT_EQ(StatusWord(*s, kSbTxHost), Sum16(StatusWord(*s, kSbTxDirUni), StatusWord(*s, kSbTxNonDirUni)));
    EXPECT_EQ(StatusWord(*s, kSbRxHost), Sum16(StatusWord(*s, kSbRxDirUni), StatusWord(*s, kSbRxNonDirUni)));
  }
}

TEST(CoreTime, CountersWrapAtSixteenBits) {
  auto s = NewAdapter();
  Store16(StatusBlock(*s) + kSbTxBytes, 65000);
  AdvanceTime(*s, 2000);
  EXPECT_LT(StatusWord(*s, kSbTxBytes), 65000) << "wrapped past 65535";
}

TEST(CoreTime, SignalsDriftAndTheStationRoams) {
  auto s = NewAdapter();
  std::set<uint16_t> rssi;
  std::set<uint8_t> apIds;
  std::set<uint8_t> frequencies;
  uint16_t roams = 0;
  for (uint32_t f : {kSbRoamApNoTx, kSbRoamApRssi, kSbRoamApDrop, kSbRoamTxRxQuality, kSbRoamApLoad})
    roams += StatusWord(*s, f);
  for (int i = 0; i < 600; ++i) { // an hour in steps of six seconds
    AdvanceTime(*s, 6000);
    rssi.insert(Load16(s->memory + kMemApTable + kApRssi));
    apIds.insert(StatusBlock(*s)[kSbApId]);
    frequencies.insert(StatusBlock(*s)[kSbFrequency]);
    uint16_t pointer = StatusWord(*s, kSbCurrentApPtr);
    ASSERT_EQ((pointer - kMemApTable) % kApEntrySize, 0u);
    EXPECT_EQ(s->memory[pointer + kApId], StatusBlock(*s)[kSbApId]) << "the pointer names the access point in use";
    EXPECT_EQ(s->memory[pointer + kApStatus], 0x83);
    uint16_t heard = 0;
    for (uint32_t slot = 0; slot < kApTableSlots; ++slot)
      heard += s->memory[kMemApTable + slot * kApEntrySize + kApStatus] != 0;
    EXPECT_EQ(StatusWord(*s, kSbApCount), heard);
  }
  uint16_t roamsAfter = 0;
  for (uint32_t f : {kSbRoamApNoTx, kSbRoamApRssi, kSbRoamApDrop, kSbRoamTxRxQuality, kSbRoamApLoad})
    roamsAfter += StatusWord(*s, f);
  EXPECT_GT(rssi.size(), 20u);
  EXPECT_GE(apIds.size(), 2u);
  EXPECT_GT(roamsAfter, roams);
  EXPECT_GT(frequencies.size(), 20u);
  for (uint8_t f : frequencies) EXPECT_TRUE(f >= 2 && f <= 80) << int(f);
}

TEST(CoreTime, FrozenTimeStandsStillAndThawSkipsIt) {
  auto s = NewAdapter(); // frozen
  std::vector<uint8_t> before(StatusBlock(*s), StatusBlock(*s) + kStatusBlockSize);
  SyncClock(*s, 1000000);
  SyncClock(*s, 1060000);
  EXPECT_EQ(0, std::memcmp(before.data(), StatusBlock(*s), kStatusBlockSize));
  Thaw(*s, 2000000);
  SyncClock(*s, 2000000);
  EXPECT_EQ(0, std::memcmp(before.data(), StatusBlock(*s), kStatusBlockSize)) << "time spent frozen does not count";
  SyncClock(*s, 2001000);
  EXPECT_NE(0, std::memcmp(before.data(), StatusBlock(*s), kStatusBlockSize));
  uint64_t now = s->clock.nowMs;
  SyncClock(*s, 1500000); // the host clock went back
  EXPECT_EQ(s->clock.nowMs, now);
  SyncClock(*s, 1500500);
  EXPECT_EQ(s->clock.nowMs, now + 500);
}

TEST(CoreTime, StepsAreDeterministic) {
  auto a = NewAdapter(), b = NewAdapter();
  AdvanceTime(*a, 12345);
  AdvanceTime(*b, 12345);
  EXPECT_EQ(0, std::memcmp(a->memory, b->memory, kMemorySize));
}

TEST(CoreTime, AHugeStepIsCheap) {
  auto s = NewAdapter();
  auto start = std::chrono::steady_clock::now();
  AdvanceTime(*s, 400ull * 24 * 3600 * 1000);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_EQ(s->clock.nowMs, 400ull * 24 * 3600 * 1000 + 5 * 60 * 1000);
}

TEST(CoreTime, CellApStationsComeAndGo) {
  auto s = NewAdapter(true);
  std::set<uint16_t> counts;
  std::set<uint32_t> addresses;
  for (int i = 0; i < 360; ++i) { // an hour in steps of ten seconds
    AdvanceTime(*s, 10000);
    uint16_t count = Load16(s->memory + kMemAssocCount);
    uint16_t filled = 0;
    for (uint32_t slot = 0; slot < kAssocTableSlots; ++slot) {
      const uint8_t *entry = s->memory + kMemAssocTable + slot * kAssocEntrySize;
      if (!entry[kAsStatus]) continue;
      ++filled;
      addresses.insert(Load32(entry + kAsAddress + 2));
      EXPECT_EQ(entry[kAsAddress], 0x02);
    }
    ASSERT_EQ(count, filled);
    counts.insert(count);
  }
  EXPECT_GE(counts.size(), 3u);
  EXPECT_GT(addresses.size(), 6u) << "new stations joined";
  EXPECT_LE(*counts.rbegin(), kAssocTableSlots);
}

TEST(CoreTime, ModeChangeRebuildsTheTables) {
  auto s = NewAdapter();
  SetMode(*s, true);
  EXPECT_EQ(s->memory[kMemMode], kModeCellAp);
  EXPECT_EQ(Load16(s->memory + kMemAssocTablePtr), kMemAssocTable);
  EXPECT_GT(Load16(s->memory + kMemAssocCount), 0);
  EXPECT_EQ(std::string(reinterpret_cast<const char *>(StatusBlock(*s)), 10), "V4.37A CAP");
  SetMode(*s, false);
  EXPECT_EQ(s->memory[kMemMode], kModeStation);
  EXPECT_EQ(Load16(s->memory + kMemAssocTablePtr), 0);
  EXPECT_EQ(Load16(s->memory + kMemAssocCount), 0);
  EXPECT_TRUE(StatusBlock(*s)[kSbAssocStatus] & 0x80);
}

} // namespace
