// The driver's answers, object identifier by object identifier.
#include "request_helpers.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace cvsim;
using simtest::NewAdapter;
using simtest::Send;
using simtest::StatusWord;
using simtest::Words;

namespace {

TEST(CoreRequests, ConfigurationCarriesVersionAndSettings) {
  auto s = NewAdapter();
  simtest::Exchange e = Send(*s, kOidConfig, kOpQuery, 60);
  ASSERT_TRUE(e.reply.ok);
  EXPECT_EQ(e.reply.bytesReturned, 72u);
  EXPECT_EQ(e.length(), 72u);
  EXPECT_EQ(e.word(0), 2);
  EXPECT_EQ(e.word(2), 10);
  EXPECT_EQ(Load32(e.data() + 4), 5u);
  EXPECT_EQ(Load32(e.data() + 8), 0x340u);
  EXPECT_EQ(Load32(e.data() + 12), 0xD0000u);
  EXPECT_EQ(e.word(36), 2);
  EXPECT_EQ(e.word(46), 0x0101);
  EXPECT_EQ(e.word(48), 1518);
  EXPECT_EQ(e.data()[52], 4);

  s->config.versionMajor = 1;
  s->config.versionMinor = 3;
  s->config.interrupt = 0x1000A;
  s->config.accessMode = 1;
  e = Send(*s, kOidConfig, kOpQuery, 60);
  EXPECT_EQ(e.word(0), 1);
  EXPECT_EQ(e.word(2), 3);
  EXPECT_EQ(Load32(e.data() + 4), 0x1000Au);
  EXPECT_EQ(e.word(36), 1);
}

TEST(CoreRequests, MalformedBlocksFailWithTheirStatus) {
  auto s = NewAdapter();
  simtest::Exchange e = Send(*s, kOidConfig, kOpQuery, 20); // too short for the configuration
  EXPECT_FALSE(e.reply.ok);
  EXPECT_EQ(e.reply.status, kStatusBadLength);
  EXPECT_EQ(e.status(), kStatusBadLength);

  e = Send(*s, 0xFF01FFFF, kOpQuery, 4);
  EXPECT_EQ(e.reply.status, kStatusNotSupported);
  EXPECT_EQ(e.status(), kStatusNotSupported);

  e = Send(*s, kOidNetId, kOpQuery, 2); // a set-only identifier
  EXPECT_EQ(e.reply.status, kStatusBadOperation);
  e = Send(*s, kOidNetId, 9, 2, Words({5}));
  EXPECT_EQ(e.reply.status, kStatusBadOperation);
  EXPECT_EQ(StatusWord(*s, kSbNetId), 0x0101);

  // Length beyond the buffer, or below the header.
  std::vector<uint8_t> block(20, 0);
  Store32(block.data(), 40);
  Store16(block.data() + 4, kOpQuery);
  DriverReply r = AnswerRequest(*s, kOidStatusBlock, block.data(), 20);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(Load32(block.data() + 8), kStatusBadLength);
  Store32(block.data(), 8);
  r = AnswerRequest(*s, kOidStatusBlock, block.data(), 20);
  EXPECT_EQ(r.status, kStatusBadLength);

  // No room for Status: nothing is written at all.
  uint8_t tiny[8] = {8, 0, 0, 0, 1, 0, 0, 0};
  r = AnswerRequest(*s, kOidStatusBlock, tiny, sizeof tiny);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(tiny[0], 8);
  EXPECT_EQ(tiny[7], 0);
}

TEST(CoreRequests, FirmwareTextsStandWhereThePositionSays) {
  auto s = NewAdapter();
  std::vector<uint8_t> data(32, 0);
  Store16(data.data() + 16, 64);
  simtest::Exchange e = Send(*s, kOidFirmware, kOpQuery, 96, data);
  ASSERT_TRUE(e.reply.ok);
  uint32_t position = Load32(e.data() + 20);
  const char *text = reinterpret_cast<const char *>(e.data() + 16 + position);
  EXPECT_NE(position, 16u) << "the texts should not sit where a careless reader would look";
  EXPECT_EQ(std::string(text, 6), "V4.37A");
  EXPECT_EQ(std::string(text + 6, 6), "070296");

  SetFirmwareVersion(*s, "V5.00B");
  e = Send(*s, kOidFirmware, kOpQuery, 96, data);
  EXPECT_EQ(std::string(reinterpret_cast<const char *>(e.data() + 16 + Load32(e.data() + 20)), 6), "V5.00B");
  EXPECT_EQ(std::string(reinterpret_cast<const char *>(StatusBlock(*s)), 10), "V5.00B STA");

  Store16(data.data() + 16, 4); // a text area too small for the texts
  EXPECT_EQ(Send(*s, kOidFirmware, kOpQuery, 96, data).reply.status, kStatusBadLength);
}

TEST(CoreRequests, StationAddressGoesIntoThePlainBuffer) {
  auto s = NewAdapter();
  uint8_t address[6] = {};
  DriverReply r = AnswerRequest(*s, kOidCurrentAddress, address, 6);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.bytesReturned, 6u);
  const uint8_t expected[6] = {0x02, 0x0E, 0x5A, 0x3C, 0x71, 0xA4};
  EXPECT_EQ(0, std::memcmp(address, expected, 6));

  uint8_t small[3] = {};
  EXPECT_FALSE(AnswerRequest(*s, kOidCurrentAddress, small, 3).ok);

  const uint8_t other[6] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
  SetStationAddress(*s, other);
  AnswerRequest(*s, kOidCurrentAddress, address, 6);
  EXPECT_EQ(0, std::memcmp(address, other, 6));
  // The factory address stays, and the command puts it back.
  simtest::Exchange e = Send(*s, kOidFactoryAddress, kOpQuery, 6);
  EXPECT_EQ(0, std::memcmp(e.data(), expected, 6));
  EXPECT_TRUE(Send(*s, kOidFactoryAddress, kOpCommand, 0).reply.ok);
  AnswerRequest(*s, kOidCurrentAddress, address, 6);
  EXPECT_EQ(0, std::memcmp(address, expected, 6));
}

TEST(CoreRequests, StatusBlockIsTheMemoryAt500) {
  auto s = NewAdapter();
  simtest::Exchange e = Send(*s, kOidStatusBlock, kOpQuery, 50);
  ASSERT_TRUE(e.reply.ok);
  EXPECT_EQ(e.length(), 62u);
  EXPECT_EQ(0, std::memcmp(e.data(), s->memory + 0x500, 50));
  std::vector<uint8_t> roomy(300, 0xCC); // a buffer larger than Length: nothing past Length is touched
  Store32(roomy.data(), 62);
  Store16(roomy.data() + 4, kOpQuery);
  ASSERT_TRUE(AnswerRequest(*s, kOidStatusBlock, roomy.data(), 300).ok);
  EXPECT_EQ(Load32(roomy.data()), 62u);
  EXPECT_EQ(roomy[62], 0xCC);

  e = Send(*s, kOidStatusBlock, kOpQuery, 300);
  EXPECT_EQ(e.length(), 12u + 191u);
  EXPECT_EQ(e.reply.bytesReturned, 12u + 191u);
  EXPECT_EQ(0, std::memcmp(e.data(), s->memory + 0x500, 191));

  // A write to adapter memory is what the next status read returns.
  ASSERT_TRUE(Send(*s, kOidMemory, kOpSet, 5, {0x0C, 0x05, 1, 0, 0x00}).reply.ok);
  e = Send(*s, kOidStatusBlock, kOpQuery, 50);
  EXPECT_EQ(e.data()[kSbAssocStatus], 0x00);
}

TEST(CoreRequests, StatusSetWithoutDataClearsTheStatistics) {
  auto s = NewAdapter();
  ASSERT_NE(StatusWord(*s, kSbTxHost), 0);
  ASSERT_TRUE(Send(*s, kOidStatusBlock, kOpSet, 0).reply.ok);
  EXPECT_EQ(StatusWord(*s, kSbTxHost), 0);
  EXPECT_EQ(StatusWord(*s, kSbRxCrcErrors), 0);
  EXPECT_EQ(StatusWord(*s, kSbNetId), 0x0101) << "configuration survives";
  EXPECT_EQ(StatusWord(*s, kSbPspBeacons) & 0x3FF, 0);
  EXPECT_EQ(s->counters[0], 0u);
}

TEST(CoreRequests, MemoryReadsAndWritesWithinTheAdapter) {
  auto s = NewAdapter();
  simtest::Exchange e = Send(*s, kOidMemory, kOpQuery, 4 + 2, Words({0x176, 2}));
  ASSERT_TRUE(e.reply.ok);
  EXPECT_EQ(e.word(4), 0x0C00);
  e = Send(*s, kOidMemory, kOpQuery, 4 + 2, Words({0x17C, 2}));
  EXPECT_EQ(e.word(4), 0) << "a station has no association table";
  e = Send(*s, kOidMemory, kOpQuery, 4 + 1, Words({0x386, 1}));
  EXPECT_EQ(e.data()[4], kModeStation);

  std::vector<uint8_t> write = Words({0xFFF0, 4});
  write.insert(write.end(), {1, 2, 3, 4});
  EXPECT_TRUE(Send(*s, kOidMemory, kOpSet, 8, write).reply.ok);
  EXPECT_EQ(s->memory[0xFFF3], 4);

  e = Send(*s, kOidMemory, kOpQuery, 4 + 32768, Words({0, 32768}));
  EXPECT_TRUE(e.reply.ok);
  EXPECT_EQ(Send(*s, kOidMemory, kOpQuery, 4 + 16, Words({0xFFF8, 16})).reply.status, kStatusBadData);
  EXPECT_EQ(Send(*s, kOidMemory, kOpQuery, 8, Words({0, 0})).reply.status, kStatusBadData);
  EXPECT_EQ(Send(*s, kOidMemory, kOpQuery, 4 + 32769, Words({0, 32769})).reply.status, kStatusBadData);
  EXPECT_EQ(Send(*s, kOidMemory, kOpQuery, 4 + 8, Words({0, 16})).reply.status, kStatusBadLength);
  EXPECT_EQ(Send(*s, kOidMemory, kOpQuery, 2).reply.status, kStatusBadLength);
}

TEST(CoreRequests, NetIdReachesStatusBlockAndConfiguration) {
  auto s = NewAdapter();
  ASSERT_TRUE(Send(*s, kOidNetId, kOpSet, 2, Words({0xBEEF})).reply.ok);
  EXPECT_EQ(StatusWord(*s, kSbNetId), 0xBEEF);
  EXPECT_EQ(Send(*s, kOidConfig, kOpQuery, 60).word(46), 0xBEEF);
  EXPECT_EQ(Send(*s, kOidNetId, kOpSet, 0).reply.status, kStatusBadLength);
}

TEST(CoreRequests, PreferredAccessPoint) {
  auto s = NewAdapter();
  // An access point that is heard: the station moves to it and marks the preference as met.
  ASSERT_TRUE(Send(*s, kOidPreferredAp, kOpSet, 8, Words({0x07, 5, 4, 1})).reply.ok);
  EXPECT_EQ(StatusBlock(*s)[kSbPreferredApId], 0x87);
  EXPECT_EQ(StatusBlock(*s)[kSbApId], 0x07);
  uint16_t pointer = StatusWord(*s, kSbCurrentApPtr);
  EXPECT_EQ(s->memory[pointer + kApId], 0x07);
  EXPECT_EQ(s->memory[pointer + kApStatus], 0x83);
  AdvanceTime(*s, 60000);
  EXPECT_EQ(StatusBlock(*s)[kSbApId], 0x07) << "it stays with the preferred access point";

  // One that is not heard: remembered, not met.
  ASSERT_TRUE(Send(*s, kOidPreferredAp, kOpSet, 8, Words({0x1A, 5, 4, 1})).reply.ok);
  EXPECT_EQ(StatusBlock(*s)[kSbPreferredApId], 0x1A);
  EXPECT_EQ(Send(*s, kOidPreferredAp, kOpSet, 6).reply.status, kStatusBadLength);
}

TEST(CoreRequests, ApAddressOfTheAssociation) {
  auto s = NewAdapter();
  simtest::Exchange e = Send(*s, kOidApAddress, kOpQuery, 6);
  ASSERT_TRUE(e.reply.ok);
  EXPECT_EQ(e.length(), 18u);
  uint16_t pointer = StatusWord(*s, kSbCurrentApPtr);
  EXPECT_EQ(0, std::memcmp(e.data(), s->memory + pointer + kApAddress, 6));
  EXPECT_EQ(e.data()[5], StatusBlock(*s)[kSbApId]);

  e = Send(*s, kOidApAddress, kOpQuery, 4); // a shorter area gets what fits
  EXPECT_EQ(e.length(), 16u);

  const uint8_t ap[6] = {0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0x01};
  SetApAddress(*s, ap);
  EXPECT_EQ(0, std::memcmp(Send(*s, kOidApAddress, kOpQuery, 6).data(), ap, 6));

  StatusBlock(*s)[kSbAssocStatus] = 0;
  EXPECT_EQ(Send(*s, kOidApAddress, kOpQuery, 6).reply.status, kStatusRefused);
  EXPECT_EQ(Send(*s, kOidCurrentApEntry, kOpQuery, 50).reply.status, kStatusRefused);
}

TEST(CoreRequests, CountersFollowTrafficFromByte192) {
  auto s = NewAdapter();
  simtest::Exchange before = Send(*s, kOidCounters, kOpQuery, 704);
  ASSERT_TRUE(before.reply.ok);
  EXPECT_EQ(before.reply.bytesReturned, 716u);
  EXPECT_EQ(0, std::memcmp(before.data(), s->stationAddress, 6));
  for (uint32_t i = 0; i < kCounterCount; ++i) EXPECT_EQ(Load32(before.data() + 192 + 4 * i), s->counters[i]);
  AdvanceTime(*s, 10000);
  simtest::Exchange after = Send(*s, kOidCounters, kOpQuery, 704);
  EXPECT_GT(Load32(after.data() + 192), Load32(before.data() + 192));
  EXPECT_EQ(Send(*s, kOidCounters, kOpQuery, 700).reply.status, kStatusBadLength);
}

TEST(CoreRequests, AccessControlList) {
  auto s = NewAdapter();
  auto address = [](uint8_t last) { return std::vector<uint8_t>{0x02, 0x0E, 0x5A, 0x01, 0x02, last}; };
  simtest::Exchange e = Send(*s, kOidAcl, kOpQuery, 120);
  ASSERT_TRUE(e.reply.ok);
  EXPECT_EQ(e.reply.bytesReturned, 12u) << "an empty list";

  for (uint8_t i = 1; i <= 3; ++i) ASSERT_TRUE(Send(*s, kOidAcl, kOpAdd, 6, address(i)).reply.ok);
  EXPECT_TRUE(Send(*s, kOidAcl, kOpAdd, 6, address(2)).reply.ok) << "adding a listed entry changes nothing";
  e = Send(*s, kOidAcl, kOpQuery, 120);
  EXPECT_EQ(e.reply.bytesReturned, 12u + 18u);
  EXPECT_EQ(e.length(), 132u) << "the list's size travels as bytes returned, not in Length";
  EXPECT_EQ(e.data()[17], 3);

  ASSERT_TRUE(Send(*s, kOidAcl, kOpDelete, 6, address(2)).reply.ok);
  EXPECT_EQ(Send(*s, kOidAcl, kOpDelete, 6, address(2)).reply.status, kStatusRefused);
  e = Send(*s, kOidAcl, kOpQuery, 120);
  EXPECT_EQ(e.reply.bytesReturned, 24u);
  EXPECT_EQ(e.data()[5], 1);
  EXPECT_EQ(e.data()[11], 3);

  for (uint8_t i = 10; s->acl.count < kAclCapacity; ++i) ASSERT_TRUE(Send(*s, kOidAcl, kOpAdd, 6, address(i)).reply.ok);
  EXPECT_EQ(Send(*s, kOidAcl, kOpAdd, 6, address(0xFF)).reply.status, kStatusTableFull);
  e = Send(*s, kOidAcl, kOpQuery, 120);
  EXPECT_EQ(e.reply.bytesReturned, 12u + 32 * 6) << "the size of the whole list";
  EXPECT_EQ(e.block.size(), 132u) << "of which only what fits was written";
  EXPECT_EQ(e.data()[119], 27); // entry 20 of the list: 1, 3, then 10 on
  EXPECT_EQ(Send(*s, kOidAcl, kOpQuery, 200).reply.bytesReturned, 12u + 32 * 6);
  EXPECT_EQ(Send(*s, kOidAcl, kOpAdd, 5, address(0xFE)).reply.status, kStatusBadLength);

  ASSERT_TRUE(Send(*s, kOidAcl, kOpSet, 0).reply.ok);
  EXPECT_EQ(Send(*s, kOidAcl, kOpQuery, 120).reply.bytesReturned, 12u);
}

TEST(CoreRequests, EveryIdentifierAnswersItsOperations) {
  struct Case {
    uint32_t oid;
    uint16_t op;
    uint32_t size;
    std::vector<uint8_t> data;
  };
  const Case cases[] = {
      {kOidDiversity, kOpSet, 2, Words({1})},
      {kOidTxDisable, kOpSet, 2, Words({1})},
      {kOidRegulatoryTable, kOpSet, 2, Words({3})},
      {kOidCellApParams, kOpSet, 4, Words({10, 20})},
      {kOidSetAddress, kOpSet, 6, {2, 0, 0, 0, 0, 1}},
      {kOidRoamingParams, kOpSet, 8, Words({1, 2, 10})},
      {kOidCurrentApEntry, kOpQuery, 50, {}},
      {kOidPowerMode, kOpSet, 2, Words({1})},
      {kOidBeaconAlgorithm, kOpSet, 2, Words({3})},
      {kOidRadioInfo, kOpQuery, 14, {}},
      {kOidAclEnforce, kOpSet, 2, Words({1})},
      {kOidRescan, kOpCommand, 0, {}},
      {kOidMemorySize, kOpQuery, 4, {}},
      {kOidMemoryWindow, kOpSet, 2, Words({0xD000})},
      {kOidSignal, kOpQuery, 2, {}},
      {kOidFactoryAddress, kOpQuery, 6, {}},
  };
  auto s = NewAdapter();
  for (const Case &c : cases) {
    simtest::Exchange e = Send(*s, c.oid, c.op, c.size, c.data);
    EXPECT_TRUE(e.reply.ok) << std::hex << c.oid << " status " << e.reply.status;
    EXPECT_EQ(e.status(), 0u);
  }
  EXPECT_EQ(StatusBlock(*s)[kSbDiversity], 1);
  EXPECT_EQ(StatusBlock(*s)[kSbTxDisabled], 1);
  EXPECT_EQ(StatusBlock(*s)[kSbIeeeTable] & 7, 3);
  EXPECT_EQ(StatusBlock(*s)[kSbPowerMode], 1);
  EXPECT_EQ(StatusBlock(*s)[kSbBeaconAlgorithm], 3);
  EXPECT_EQ(s->config.memoryAddress, 0xD0000u);
  EXPECT_EQ(s->stationAddress[5], 1);
  EXPECT_EQ(Send(*s, kOidMemorySize, kOpQuery, 4).word(0), 0); // 0x10000: low word 0
  EXPECT_EQ(Load32(Send(*s, kOidMemorySize, kOpQuery, 4).data()), 0x10000u);

  // Values out of range.
  EXPECT_EQ(Send(*s, kOidTxDisable, kOpSet, 2, Words({2})).reply.status, kStatusBadData);
  EXPECT_EQ(Send(*s, kOidRegulatoryTable, kOpSet, 2, Words({8})).reply.status, kStatusBadData);
  EXPECT_EQ(Send(*s, kOidSetAddress, kOpSet, 6, {1, 0, 0, 0, 0, 1}).reply.status, kStatusBadData);
  EXPECT_EQ(Send(*s, kOidCellApId, kOpSet, 2, Words({3})).reply.status, kStatusRefused) << "a station has no CellAP id";
}

TEST(CoreRequests, CellApAnswers) {
  auto s = NewAdapter(true);
  simtest::Exchange e = Send(*s, kOidMemory, kOpQuery, 4 + 1, Words({0x386, 1}));
  EXPECT_EQ(e.data()[4], kModeCellAp);
  e = Send(*s, kOidMemory, kOpQuery, 4 + 2, Words({0x17C, 2}));
  uint16_t table = e.word(4);
  ASSERT_NE(table, 0);
  uint16_t count = Load16(s->memory + table - 2);
  uint16_t filled = 0;
  for (uint32_t i = 0; i < kAssocTableSlots; ++i) filled += s->memory[table + i * 32] != 0;
  EXPECT_EQ(count, filled);
  EXPECT_GE(count, 3);
  EXPECT_TRUE(Send(*s, kOidCellApId, kOpSet, 2, Words({0x21})).reply.ok);
  EXPECT_EQ(StatusBlock(*s)[kSbApId], 0x21);
  EXPECT_EQ(Send(*s, kOidPowerMode, kOpSet, 2, Words({1})).reply.status, kStatusRefused);
  EXPECT_EQ(Send(*s, kOidSignal, kOpQuery, 2).word(0), count);
  e = Send(*s, kOidApAddress, kOpQuery, 6);
  EXPECT_EQ(0, std::memcmp(e.data(), s->stationAddress, 6)) << "a CellAP is its own access point";
}

TEST(CoreRequests, EnforcedListSendsOtherStationsAway) {
  auto s = NewAdapter(true);
  const uint8_t *first = s->memory + kMemAssocTable + kAsAddress;
  uint32_t slot = 0;
  while (s->memory[kMemAssocTable + slot * 32] == 0) ++slot;
  std::vector<uint8_t> kept(first + slot * 32, first + slot * 32 + 6);
  ASSERT_TRUE(Send(*s, kOidAcl, kOpAdd, 6, kept).reply.ok);
  ASSERT_TRUE(Send(*s, kOidAclEnforce, kOpSet, 2, Words({1})).reply.ok);
  EXPECT_EQ(Load16(s->memory + kMemAssocCount), 1);
  AdvanceTime(*s, 30 * 60 * 1000);
  for (uint32_t i = 0; i < kAssocTableSlots; ++i) {
    const uint8_t *entry = s->memory + kMemAssocTable + i * 32;
    if (entry[0]) {
      EXPECT_EQ(0, std::memcmp(entry + 1, kept.data(), 6));
    }
  }
}

TEST(CoreFaults, InjectedStatusFailsTheRequestAndChangesNothing) {
  auto s = NewAdapter();
  ASSERT_TRUE(SetFault(*s, kOidNetId, 12));
  simtest::Exchange e = Send(*s, kOidNetId, kOpSet, 2, Words({0x0777}));
  EXPECT_FALSE(e.reply.ok);
  EXPECT_EQ(e.status(), 12u);
  EXPECT_EQ(StatusWord(*s, kSbNetId), 0x0101);

  ASSERT_TRUE(SetFault(*s, kOidCurrentAddress, 2));
  uint8_t address[6] = {};
  EXPECT_FALSE(AnswerRequest(*s, kOidCurrentAddress, address, 6).ok);

  // Status 0: the driver answers, and still fails the I/O control.
  ASSERT_TRUE(SetFault(*s, kOidStatusBlock, 0));
  e = Send(*s, kOidStatusBlock, kOpQuery, 50);
  EXPECT_FALSE(e.reply.ok);
  EXPECT_EQ(e.status(), 0u);
  EXPECT_EQ(0, std::memcmp(e.data(), StatusBlock(*s), 50));

  ASSERT_TRUE(SetFault(*s, kOidNetId, 6)) << "a second fault on one identifier replaces the first";
  EXPECT_EQ(Send(*s, kOidNetId, kOpSet, 2, Words({1})).status(), 6u);

  ClearFaults(*s);
  EXPECT_TRUE(Send(*s, kOidNetId, kOpSet, 2, Words({0x0777})).reply.ok);
  for (uint32_t i = 0; i < kFaultCapacity; ++i) ASSERT_TRUE(SetFault(*s, 0xFF000000 + i, 2));
  EXPECT_FALSE(SetFault(*s, 0xFE000000, 2));
}

TEST(CoreLog, RecordsEveryRequestAsSent) {
  auto s = NewAdapter();
  LogClear(*s);
  Send(*s, kOidPreferredAp, kOpSet, 8, Words({0x1A, 5, 4, 1}));
  uint8_t address[6];
  AnswerRequest(*s, kOidCurrentAddress, address, 6);
  Send(*s, 0x12345678, kOpQuery, 2, {0xAB, 0xCD}); // failed requests are logged too

  uint32_t cursor = 0;
  LogRecord r{};
  uint8_t data[64];
  ASSERT_TRUE(LogNext(*s, cursor, r, data, sizeof data));
  EXPECT_EQ(r.oid, kOidPreferredAp);
  EXPECT_EQ(r.operation, kOpSet);
  EXPECT_EQ(r.length, 20u);
  ASSERT_EQ(r.dataSize, 8u);
  const uint8_t sent[8] = {0x1A, 0, 5, 0, 4, 0, 1, 0};
  EXPECT_EQ(0, std::memcmp(data, sent, 8));
  ASSERT_TRUE(LogNext(*s, cursor, r, data, sizeof data));
  EXPECT_EQ(r.oid, kOidCurrentAddress);
  EXPECT_EQ(r.operation, kLogNoBlock);
  EXPECT_EQ(r.length, 6u);
  ASSERT_TRUE(LogNext(*s, cursor, r, data, sizeof data));
  EXPECT_EQ(r.oid, 0x12345678u);
  EXPECT_EQ(data[1], 0xCD);
  EXPECT_FALSE(LogNext(*s, cursor, r, data, sizeof data));
}

TEST(CoreLog, OldestRecordsGiveWayWhenFull) {
  auto s = NewAdapter();
  LogClear(*s);
  for (uint16_t i = 0; i < 2000; ++i) Send(*s, kOidNetId, kOpSet, 40, Words({i}));
  uint32_t cursor = 0, records = 0;
  LogRecord r{};
  uint8_t data[64];
  uint16_t first = 0, last = 0;
  while (LogNext(*s, cursor, r, data, sizeof data)) {
    if (records++ == 0) first = Load16(data);
    last = Load16(data);
    EXPECT_EQ(r.dataSize, 40u);
  }
  EXPECT_EQ(last, 1999);
  EXPECT_EQ(records, 2000u - first) << "a contiguous run of the newest";
  EXPECT_GT(records, 500u);
  EXPECT_LE(records * (kLogRecordHeader + 40), kLogCapacity);

  // A request bigger than the ring keeps what fits and its true size.
  Send(*s, kOidMemory, kOpSet, 4 + 32768, Words({0, 32768}));
  Send(*s, kOidMemory, kOpSet, 4 + 32768, Words({0, 32768}));
  cursor = 0;
  records = 0;
  while (LogNext(*s, cursor, r, data, sizeof data)) ++records;
  EXPECT_EQ(r.dataSize, 4u + 32768);
  EXPECT_EQ(r.keptSize, 4u + 32768);
  EXPECT_GE(records, 1u);
}

} // namespace
