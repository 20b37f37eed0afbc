// The query codes: what each sends and what it copies back on success.
#include "adapter_fixture.h"

#include <cstring>

namespace {

using cvtest::Bytes;
using cvtest::Dword;
using cvtest::Join;
using cvtest::Reply;
using cvtest::ToHex;
using cvtest::Word;

using ReadFunctionsTest = AdapterTest;

Bytes Text(const char *text) { return Bytes(text, text + std::strlen(text)); }

// A configuration reply: version 1.04, then the fields at their offsets.
Bytes ConfigReply(DWORD interrupt, DWORD ioBase, DWORD memory, WORD accessMode) {
  Bytes data(60, 0);
  auto put = [&data](size_t at, const Bytes &bytes) { std::copy(bytes.begin(), bytes.end(), data.begin() + at); };
  put(0, Join({Word(1), Word(4), Dword(interrupt), Dword(ioBase), Dword(memory)}));
  put(36, Word(accessMode));
  put(42, Word(0x4242));
  put(46, Word(0xC0DE));
  put(48, Join({Word(0x1111), Word(0x2222), Bytes{0x33, 0xF0, 0x44, 0xF0, 0x55}}));
  return data;
}

struct Config {
  WORD major = 0xEEEE, minor = 0xEEEE, interrupt = 0xEEEE, ioBase = 0xEEEE, memoryBase = 0xEEEE, netId = 0xEEEE,
       aux = 0xEEEE;
  CVL_RX_INFO *rxInfo = nullptr;
  LONG Get(CVLAPI_PROC api) {
    return api(CVL_FN_GET_CONFIG, &major, &minor, &interrupt, &ioBase, &memoryBase, &netId, &aux, &rxInfo);
  }
};

TEST_F(ReadFunctionsTest, ConfigurationGivesLow16BitsAndTheMemoryWindowIn16ByteUnits) {
  adapter->Answer(CVL_OID_CONFIG, Reply::Data(0, ConfigReply(0x1000A, 0x20300, 0xD0000, 2)));
  Config config;
  ASSERT_EQ(config.Get(api), CVL_SUCCESS);
  cvtest::Request request = OnlyRequest();
  EXPECT_EQ(request.oid, 0xFF010133u);
  EXPECT_EQ(request.Length(), 72u);
  EXPECT_EQ(request.Operation(), CVL_OP_QUERY);
  EXPECT_EQ(config.major, 1);
  EXPECT_EQ(config.minor, 4);
  EXPECT_EQ(config.interrupt, 0x000A);
  EXPECT_EQ(config.ioBase, 0x0300);
  EXPECT_EQ(config.memoryBase, 0xD000);
  EXPECT_EQ(config.netId, 0xC0DE);
  EXPECT_EQ(config.aux, 0x4242);
  ASSERT_NE(config.rxInfo, nullptr);
  EXPECT_EQ(+config.rxInfo->RxInfo1, 0x1111);
  EXPECT_EQ(+config.rxInfo->RxInfo2, 0x2222);
  EXPECT_EQ(+config.rxInfo->RxInfo3, 0x33);
  EXPECT_EQ(+config.rxInfo->RxInfo4, 0x44);
  EXPECT_EQ(+config.rxInfo->RxInfo5, 0x55);
}

TEST_F(ReadFunctionsTest, ConfigurationWithoutMemoryWindowGivesMemoryBase0) {
  adapter->Answer(CVL_OID_CONFIG, Reply::Data(0, ConfigReply(5, 0x300, 0xD0000, 1)));
  Config config;
  ASSERT_EQ(config.Get(api), CVL_SUCCESS);
  EXPECT_EQ(config.memoryBase, 0);
}

TEST_F(ReadFunctionsTest, ConfigurationMemoryBaseIsCutTo16Bits) {
  adapter->Answer(CVL_OID_CONFIG, Reply::Data(0, ConfigReply(5, 0x300, 0xFEDC0000, 0)));
  Config config;
  ASSERT_EQ(config.Get(api), CVL_SUCCESS);
  EXPECT_EQ(config.memoryBase, 0xC000); // 0x0FEDC000 cut to its low half
}

TEST_F(ReadFunctionsTest, ReceiveInformationIsRefilledByEachConfigurationRead) {
  Config first, second;
  adapter->Answer(CVL_OID_CONFIG, Reply::Data(0, ConfigReply(5, 0x300, 0, 0)));
  ASSERT_EQ(first.Get(api), CVL_SUCCESS);
  Bytes changed = ConfigReply(5, 0x300, 0, 0);
  changed[48] = 0x99;
  adapter->Answer(CVL_OID_CONFIG, Reply::Data(0, changed));
  ASSERT_EQ(second.Get(api), CVL_SUCCESS);
  EXPECT_EQ(first.rxInfo, second.rxInfo);
  EXPECT_EQ(+second.rxInfo->RxInfo1, 0x1199);
}

TEST_F(ReadFunctionsTest, MemoryReadSendsAddressAndCountAndCopiesTheBytes) {
  adapter->Answer(CVL_OID_MEMORY, Reply::Data(4, {0x05, 0x06, 0x07}));
  BYTE buffer[4] = {0, 0, 0, 0xEE};
  ASSERT_EQ(api(CVL_FN_READ_MEMORY, CVL_MEM_STATUS_BLOCK, 3, buffer), CVL_SUCCESS);
  cvtest::Request request = OnlyRequest();
  EXPECT_EQ(request.oid, 0xFF010171u);
  EXPECT_EQ(request.Operation(), CVL_OP_QUERY);
  EXPECT_EQ(request.Length(), 19u);
  EXPECT_EQ(ToHex(request.DataAt(0, 4)), "00050300");
  EXPECT_EQ(ToHex(Bytes(buffer, buffer + 4)), "050607EE");
}

TEST_F(ReadFunctionsTest, MemoryReadCountLimits) {
  static BYTE buffer[CVL_MEMORY_MAX];
  ASSERT_EQ(api(CVL_FN_READ_MEMORY, 0, 32768, buffer), CVL_SUCCESS);
  EXPECT_EQ(OnlyRequest().Length(), 32784u);
  EXPECT_EQ(OnlyRequest().outSize, 32784u);
  adapter->ClearRequests();
  EXPECT_EQ(api(CVL_FN_READ_MEMORY, 0, 32769, buffer), CVL_BAD_LENGTH);
  EXPECT_EQ(api(CVL_FN_READ_MEMORY, 0, 0, buffer), CVL_BAD_LENGTH);
  EXPECT_EQ(api(CVL_FN_READ_MEMORY, 0, 0x10000, buffer), CVL_BAD_LENGTH); // cut to 0
  EXPECT_EQ(adapter->requestCount(), 0u);
}

TEST_F(ReadFunctionsTest, FirmwareTextsAreTakenAtThePositionTheDriverGives) {
  // Position 20 from data+16: version at data+36, date 6 bytes on at data+42.
  adapter->Answer(CVL_OID_FIRMWARE, Reply::Data(20, Dword(20)).AndData(36, Text("V1.23a970315")));
  char version[8] = {}, date[8] = {};
  ASSERT_EQ(api(CVL_FN_GET_FIRMWARE, 6, version, 6, date), CVL_SUCCESS);
  EXPECT_STREQ(version, "V1.23a");
  EXPECT_STREQ(date, "970315");
}

TEST_F(ReadFunctionsTest, FirmwareRequestZeroesTheHeadAndGivesTheTextAreaSize) {
  BYTE junk[40];
  std::memset(junk, 0xFF, sizeof junk);
  ASSERT_EQ(api(CVL_FN_WRITE_MEMORY, 0, sizeof junk, junk), CVL_SUCCESS); // leaves 0xFF in the block
  adapter->ClearRequests();
  adapter->Answer(CVL_OID_FIRMWARE, Reply::Data(20, Dword(16)));
  char version[8] = {}, date[8] = {};
  ASSERT_EQ(api(CVL_FN_GET_FIRMWARE, 6, version, 6, date), CVL_SUCCESS);
  cvtest::Request request = OnlyRequest();
  EXPECT_EQ(request.oid, 0xFF010106u);
  EXPECT_EQ(request.Operation(), CVL_OP_QUERY);
  EXPECT_EQ(request.Length(), 108u);
  EXPECT_EQ(ToHex(request.DataAt(0, 32)), std::string(32, '0') + "4000" + std::string(28, '0'));
}

TEST_F(ReadFunctionsTest, FirmwareDateIsSixBytesOnWhateverTheFirstLength) {
  adapter->Answer(CVL_OID_FIRMWARE, Reply::Data(20, Dword(16)).AndData(32, Text("ABCDEFGHIJKL")));
  char version[8] = {}, date[8] = {};
  ASSERT_EQ(api(CVL_FN_GET_FIRMWARE, 2, version, 3, date), CVL_SUCCESS);
  EXPECT_STREQ(version, "AB");
  EXPECT_STREQ(date, "GHI");
}

TEST_F(ReadFunctionsTest, StationAddressIsReadStraightIntoTheCallersBuffer) {
  adapter->Answer(OID_802_3_CURRENT_ADDRESS, Reply::Raw(0, {0x00, 0xA0, 0xF8, 0x12, 0x34, 0x56}));
  BYTE address[6] = {};
  ASSERT_EQ(api(CVL_FN_GET_ADDRESS, 6, address), CVL_SUCCESS);
  cvtest::Request request = OnlyRequest();
  EXPECT_EQ(request.oid, 0x01010102u);
  EXPECT_EQ(request.controlCode, 0x00170002u);
  EXPECT_EQ(request.outSize, 6u);
  EXPECT_EQ(ToHex(Bytes(address, address + 6)), "00A0F8123456");
}

TEST_F(ReadFunctionsTest, StationAddressWithLength0IsRefusedWithoutARequest) {
  BYTE address[6] = {};
  EXPECT_EQ(api(CVL_FN_GET_ADDRESS, 0, address), CVL_BAD_LENGTH);
  EXPECT_EQ(api(CVL_FN_GET_ADDRESS, 0x10000, address), CVL_BAD_LENGTH);
  EXPECT_EQ(adapter->requestCount(), 0u);
}

TEST_F(ReadFunctionsTest, FixedReadsSendTheirDataAreaAndCopyWhatIsAsked) {
  Bytes reply = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};
  BYTE buffer[16];

  adapter->Answer(CVL_OID_FN8, Reply::Data(0, reply));
  std::memset(buffer, 0xEE, sizeof buffer);
  ASSERT_EQ(api(8, 5, buffer), CVL_SUCCESS);
  EXPECT_EQ(OnlyRequest().oid, 0xFF01013Fu);
  EXPECT_EQ(OnlyRequest().Length(), 26u);
  EXPECT_EQ(ToHex(Bytes(buffer, buffer + 6)), "0102030405EE");

  adapter->ClearRequests();
  adapter->Answer(CVL_OID_FN9, Reply::Data(0, reply));
  std::memset(buffer, 0xEE, sizeof buffer);
  ASSERT_EQ(api(9, buffer), CVL_SUCCESS);
  EXPECT_EQ(OnlyRequest().oid, 0xFF010172u);
  EXPECT_EQ(OnlyRequest().Length(), 16u);
  EXPECT_EQ(ToHex(Bytes(buffer, buffer + 5)), "01020304EE");

  adapter->ClearRequests();
  adapter->Answer(CVL_OID_FN17, Reply::Data(0, reply));
  std::memset(buffer, 0xEE, sizeof buffer);
  ASSERT_EQ(api(17, 6, buffer), CVL_SUCCESS);
  EXPECT_EQ(OnlyRequest().oid, 0xFF020190u);
  EXPECT_EQ(OnlyRequest().Operation(), CVL_OP_QUERY);
  EXPECT_EQ(OnlyRequest().Length(), 18u);
  EXPECT_EQ(ToHex(Bytes(buffer, buffer + 7)), "010203040506EE");
}

TEST_F(ReadFunctionsTest, Code20ReturnsTheDriversWordAsASignedValue) {
  adapter->Answer(CVL_OID_FN20, Reply::Data(0, Word(0x1234)));
  EXPECT_EQ(api(20), 0x1234);
  EXPECT_EQ(OnlyRequest().oid, 0xFF020155u);
  EXPECT_EQ(OnlyRequest().Length(), 14u);
  adapter->Answer(CVL_OID_FN20, Reply::Data(0, Word(0xFFFE)));
  EXPECT_EQ(api(20), -2);
}

TEST_F(ReadFunctionsTest, StatusReadCopiesWhatTheReplysLengthCovers) {
  Bytes block(191);
  for (size_t i = 0; i < block.size(); i++) block[i] = static_cast<uint8_t>(i + 1);
  adapter->Answer(CVL_OID_STATUS, Reply::Data(0, block).Length(12 + 50));
  CVL_STATUS_BLOCK status;
  std::memset(&status, 0xEE, sizeof status);
  ASSERT_EQ(api(CVL_FN_GET_STATUS, 50, &status), CVL_SUCCESS);
  EXPECT_EQ(OnlyRequest().oid, 0xFF020192u);
  EXPECT_EQ(OnlyRequest().Length(), 62u);
  EXPECT_EQ(OnlyRequest().outSize, 62u);
  EXPECT_EQ(+status.IeeeTable, 0x14);
  EXPECT_EQ(+status.NetId, 0x1A19);
  EXPECT_EQ(reinterpret_cast<BYTE *>(&status)[49], 50);
  EXPECT_EQ(reinterpret_cast<BYTE *>(&status)[50], 0xEE);
  EXPECT_EQ(+status.ApCount, 0xEEEE);
}

TEST_F(ReadFunctionsTest, StatusReadOfAShorterReplyCopiesOnlyThat) {
  adapter->Answer(CVL_OID_STATUS, Reply::Data(0, Bytes(191, 0x11)).Length(12 + 20));
  BYTE status[191];
  std::memset(status, 0xEE, sizeof status);
  ASSERT_EQ(api(CVL_FN_GET_STATUS, 191, status), CVL_SUCCESS);
  EXPECT_EQ(status[19], 0x11);
  EXPECT_EQ(status[20], 0xEE);
}

TEST_F(ReadFunctionsTest, ApAddressAndCode25CopyLikeTheStatusRead) {
  adapter->Answer(CVL_OID_AP_ADDRESS, Reply::Data(0, {0x00, 0xA0, 0xF8, 0xAA, 0xBB, 0xCC}).Length(18));
  BYTE address[6] = {};
  ASSERT_EQ(api(CVL_FN_GET_AP_ADDRESS, 6, address), CVL_SUCCESS);
  EXPECT_EQ(OnlyRequest().oid, 0xFF010170u);
  EXPECT_EQ(OnlyRequest().Length(), 18u);
  EXPECT_EQ(ToHex(Bytes(address, address + 6)), "00A0F8AABBCC");

  adapter->ClearRequests();
  adapter->Answer(CVL_OID_FN25, Reply::Data(0, {9, 8, 7}).Length(15));
  BYTE buffer[4] = {0, 0, 0, 0xEE};
  ASSERT_EQ(api(25, 4, buffer), CVL_SUCCESS);
  EXPECT_EQ(OnlyRequest().oid, 0xFF01013Bu);
  EXPECT_EQ(OnlyRequest().Length(), 16u);
  EXPECT_EQ(ToHex(Bytes(buffer, buffer + 4)), "090807EE");
}

TEST_F(ReadFunctionsTest, AclReadCountsTheEntriesFromTheBytesReturned) {
  Bytes entries = cvtest::Hex("020E5A010203 020E5A010204 020E5A010205");
  adapter->Answer(CVL_OID_ACL, Reply::Data(0, entries).BytesReturned(12 + 18));
  BYTE list[120];
  std::memset(list, 0xEE, sizeof list);
  EXPECT_EQ(api(CVL_FN_ACL_GET, 120, list), 3);
  cvtest::Request request = OnlyRequest();
  EXPECT_EQ(request.oid, 0xFF010150u);
  EXPECT_EQ(request.Operation(), CVL_OP_QUERY);
  EXPECT_EQ(request.Length(), 132u);
  EXPECT_EQ(Bytes(list, list + 18), entries);
  EXPECT_EQ(list[18], 0xEE);
}

TEST_F(ReadFunctionsTest, EmptyAclReturns0) {
  adapter->Answer(CVL_OID_ACL, Reply::Ok().BytesReturned(12));
  BYTE list[120];
  EXPECT_EQ(api(CVL_FN_ACL_GET, 120, list), 0);
}

} // namespace
