// A driver that reports more (or less) than it was asked for never makes the
// library write outside the caller's buffer or read outside the request block.
// The buffers here are exactly as large as the call says, so that the sanitizer
// build catches any copy beyond them.
#include "adapter_fixture.h"

#include <cstring>
#include <vector>

namespace {

using cvtest::Bytes;
using cvtest::Dword;
using cvtest::Join;
using cvtest::Reply;
using cvtest::Word;

using HostileDriverTest = AdapterTest;

std::vector<BYTE> Filled(size_t size) { return std::vector<BYTE>(size, 0xEE); }

TEST_F(HostileDriverTest, ReplyLengthBelowTheHeaderCopiesNothing) {
  for (DWORD oid : {CVL_OID_STATUS, CVL_OID_FN25, CVL_OID_AP_ADDRESS}) {
    for (DWORD length : {0u, 5u, 11u}) {
      adapter->Answer(oid, Reply::Data(0, Bytes(6, 0x11)).Length(length));
      std::vector<BYTE> buffer = Filled(6);
      int code = oid == CVL_OID_STATUS ? CVL_FN_GET_STATUS : oid == CVL_OID_FN25 ? 25 : CVL_FN_GET_AP_ADDRESS;
      EXPECT_EQ(api(code, 6, buffer.data()), CVL_SUCCESS);
      EXPECT_EQ(buffer, Filled(6)) << "code " << code << ", Length " << length;
    }
  }
}

TEST_F(HostileDriverTest, ReplyLengthAboveTheLengthSentIsCutToIt) {
  for (DWORD length : {12u + 51u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
    adapter->Answer(CVL_OID_STATUS, Reply::Data(0, Bytes(60, 0x11)).Length(length));
    std::vector<BYTE> status = Filled(50);
    EXPECT_EQ(api(CVL_FN_GET_STATUS, 50, status.data()), CVL_SUCCESS);
    EXPECT_EQ(status, std::vector<BYTE>(50, 0x11));
  }
}

TEST_F(HostileDriverTest, MemoryReadCopiesAtMostTheCountAsked) {
  adapter->Answer(CVL_OID_MEMORY, Reply::Data(0, Join({Word(0x500), Word(0xFFFF), Bytes(16, 0x22)})));
  std::vector<BYTE> buffer = Filled(4);
  EXPECT_EQ(api(CVL_FN_READ_MEMORY, 0x500, 4, buffer.data()), CVL_SUCCESS);
  EXPECT_EQ(buffer, std::vector<BYTE>(4, 0x22));
}

TEST_F(HostileDriverTest, MemoryReadCopiesTheSmallerCountTheReplyLeaves) {
  adapter->Answer(CVL_OID_MEMORY, Reply::Data(0, Join({Word(0x500), Word(2), Bytes(4, 0x22)})));
  std::vector<BYTE> buffer = Filled(4);
  EXPECT_EQ(api(CVL_FN_READ_MEMORY, 0x500, 4, buffer.data()), CVL_SUCCESS);
  EXPECT_EQ(buffer, (std::vector<BYTE>{0x22, 0x22, 0xEE, 0xEE}));
}

TEST_F(HostileDriverTest, AclReadCopiesAtMostTheDataLengthButCountsEveryEntryReported) {
  adapter->Answer(CVL_OID_ACL, Reply::Data(0, Bytes(6 * 21, 0x33)).BytesReturned(12 + 6 * 21));
  std::vector<BYTE> list = Filled(120);
  EXPECT_EQ(api(CVL_FN_ACL_GET, 120, list.data()), 21);
  EXPECT_EQ(list, std::vector<BYTE>(120, 0x33));
}

TEST_F(HostileDriverTest, AclReadCountStaysAPositive16BitValue) {
  adapter->Answer(CVL_OID_ACL, Reply::Ok().BytesReturned(0xFFFFFFFF));
  std::vector<BYTE> list = Filled(12);
  EXPECT_EQ(api(CVL_FN_ACL_GET, 12, list.data()), 0x7FFF);
}

TEST_F(HostileDriverTest, AclReadWithFewerBytesReturnedThanTheHeaderCopiesNothing) {
  for (DWORD count : {0u, 11u}) {
    adapter->Answer(CVL_OID_ACL, Reply::Data(0, Bytes(12, 0x33)).BytesReturned(count));
    std::vector<BYTE> list = Filled(12);
    EXPECT_EQ(api(CVL_FN_ACL_GET, 12, list.data()), 0) << count;
    EXPECT_EQ(list, Filled(12)) << count;
  }
}

TEST_F(HostileDriverTest, FixedReadsCopyAtMostTheirDataArea) {
  adapter->Answer(CVL_OID_FN8, Reply::Data(0, Bytes(14, 0x44)));
  std::vector<BYTE> buffer = Filled(14);
  EXPECT_EQ(api(8, 0xFFFF, buffer.data()), CVL_SUCCESS);
  EXPECT_EQ(buffer, std::vector<BYTE>(14, 0x44));
  adapter->Answer(CVL_OID_FN17, Reply::Data(0, Bytes(6, 0x55)));
  std::vector<BYTE> small = Filled(6);
  EXPECT_EQ(api(17, 100, small.data()), CVL_SUCCESS);
  EXPECT_EQ(small, std::vector<BYTE>(6, 0x55));
}

TEST_F(HostileDriverTest, DataLengthBeyondTheBlockIsRefusedWithoutARequest) {
  std::vector<BYTE> buffer = Filled(32773);
  for (int code : {CVL_FN_GET_STATUS, 25, CVL_FN_GET_AP_ADDRESS, CVL_FN_ACL_GET}) {
    EXPECT_EQ(api(code, 32773, buffer.data()), CVL_BAD_LENGTH) << code;
    EXPECT_EQ(api(code, 0xFFFF, buffer.data()), CVL_BAD_LENGTH) << code;
  }
  EXPECT_EQ(adapter->requestCount(), 0u);
}

TEST_F(HostileDriverTest, LargestDataLengthFillsTheWholeBlock) {
  adapter->Answer(CVL_OID_STATUS, Reply::Ok().Length(CVL_REQUEST_SIZE));
  std::vector<BYTE> buffer = Filled(CVL_DATA_MAX);
  EXPECT_EQ(api(CVL_FN_GET_STATUS, CVL_DATA_MAX, buffer.data()), CVL_SUCCESS);
  EXPECT_EQ(OnlyRequest().Length(), 32784u);
  EXPECT_EQ(OnlyRequest().outSize, 32784u);
}

TEST_F(HostileDriverTest, FirmwareTextsOutsideTheDataAreaFailAndCopyNothing) {
  // Positions from data+16; each puts the version or the date beyond the 96 bytes.
  for (DWORD position : {75u, 74u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFEFu}) {
    adapter->Answer(CVL_OID_FIRMWARE, Reply::Data(20, Dword(position)));
    std::vector<BYTE> version = Filled(6), date = Filled(6);
    EXPECT_EQ(api(CVL_FN_GET_FIRMWARE, 6, version.data(), 6, date.data()), CVL_FAILED) << position;
    EXPECT_EQ(version, Filled(6)) << position;
    EXPECT_EQ(date, Filled(6)) << position;
  }
}

TEST_F(HostileDriverTest, FirmwareTextsAtTheEdgesOfTheDataAreaAreCopied) {
  // 68: the date ends at the last byte; -16: the version starts at data+0.
  for (DWORD position : {68u, 0xFFFFFFF0u}) {
    adapter->Answer(CVL_OID_FIRMWARE, Reply::Data(20, Dword(position)));
    std::vector<BYTE> version = Filled(6), date = Filled(6);
    EXPECT_EQ(api(CVL_FN_GET_FIRMWARE, 6, version.data(), 6, date.data()), CVL_SUCCESS) << position;
  }
}

TEST_F(HostileDriverTest, FirmwareLengthsLargerThanTheDataAreaFail) {
  adapter->Answer(CVL_OID_FIRMWARE, Reply::Data(20, Dword(16)));
  std::vector<BYTE> version = Filled(200), date = Filled(6);
  EXPECT_EQ(api(CVL_FN_GET_FIRMWARE, 200, version.data(), 6, date.data()), CVL_FAILED);
  EXPECT_EQ(version, Filled(200));
}

TEST_F(HostileDriverTest, FailureWithoutAStatusIsNotTakenForTheLastRequestsStatus) {
  adapter->Answer(CVL_OID_NET_ID, Reply::Fail(0));
  ASSERT_EQ(api(CVL_FN_SET_NET_ID, 1), CVL_SUCCESS); // leaves Status 0 in the block
  adapter->Answer(CVL_OID_STATUS, Reply::FailWithoutStatus().AndData(0, Bytes(4, 0x11)).Length(16));
  std::vector<BYTE> status = Filled(4);
  EXPECT_EQ(api(CVL_FN_GET_STATUS, 4, status.data()), CVL_FAILED);
  EXPECT_EQ(status, Filled(4));
}

TEST_F(HostileDriverTest, CallsWithoutAnOpenConnectionFailWithoutARequest) {
  CvlapiClose();
  BYTE buffer[6];
  EXPECT_EQ(api(CVL_FN_SET_NET_ID, 1), CVL_FAILED);
  EXPECT_EQ(api(CVL_FN_GET_ADDRESS, 6, buffer), CVL_FAILED);
  EXPECT_EQ(api(0), CVL_BAD_FUNCTION);
  EXPECT_EQ(adapter->requestCount(), 0u);
}

TEST_F(HostileDriverTest, FailedStationAddressRequestGivesFailed) {
  adapter->Answer(OID_802_3_CURRENT_ADDRESS, Reply::FailWithoutStatus());
  BYTE address[6] = {};
  EXPECT_EQ(api(CVL_FN_GET_ADDRESS, 6, address), CVL_FAILED);
}

} // namespace
