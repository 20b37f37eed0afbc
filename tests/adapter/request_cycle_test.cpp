// The request cycle: function codes without a function, the low 16 bits of the
// code, the driver status and what a failed call leaves alone.
#include "adapter_fixture.h"

namespace {

using cvtest::Bytes;
using cvtest::Reply;
using cvtest::Word;

using RequestCycleTest = AdapterTest;

TEST_F(RequestCycleTest, CodesWithoutAFunctionReturnBadFunctionWithoutARequest) {
  for (LONG code : {0, 10, 11, 21, 22, 28, 29, 35, 42, 43, 44, 0xFFFF}) {
    EXPECT_EQ(api(code), CVL_BAD_FUNCTION) << code;
  }
  EXPECT_EQ(adapter->requestCount(), 0u);
}

TEST_F(RequestCycleTest, OnlyTheLow16BitsOfTheCodeCount) {
  EXPECT_EQ(api(0x10000 + 16), CVL_SUCCESS);
  EXPECT_EQ(OnlyRequest().oid, CVL_OID_STATUS);
  adapter->ClearRequests();
  EXPECT_EQ(api(0x10000), CVL_BAD_FUNCTION); // code 0
  EXPECT_EQ(adapter->requestCount(), 0u);
}

TEST_F(RequestCycleTest, DriverStatusMapsToResultCodes) {
  struct Case {
    DWORD status;
    LONG result;
  } cases[] = {{1, CVL_FAILED},     {2, CVL_FAILED},     {3, CVL_FAILED},       {4, CVL_BAD_FUNCTION},
               {5, CVL_BAD_LENGTH}, {6, CVL_BAD_LENGTH}, {7, CVL_BAD_FUNCTION}, {8, CVL_REFUSED},
               {9, CVL_REFUSED},    {10, CVL_FAILED},    {12, CVL_FAILED},      {0xFFFFFFFF, CVL_FAILED}};
  for (const Case &c : cases) {
    adapter->Answer(CVL_OID_NET_ID, Reply::Fail(c.status));
    EXPECT_EQ(api(CVL_FN_SET_NET_ID, 7), c.result) << "status " << c.status;
  }
}

TEST_F(RequestCycleTest, FailedCallLeavesTheCallersVariablesAlone) {
  adapter->Answer(CVL_OID_CONFIG, Reply::Fail(6).AndData(0, Bytes(6, 9)));
  WORD v[7] = {1, 2, 3, 4, 5, 6, 7};
  CVL_RX_INFO *rx = nullptr;
  EXPECT_EQ(api(CVL_FN_GET_CONFIG, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &rx), CVL_BAD_LENGTH);
  EXPECT_EQ(v[0], 1);
  EXPECT_EQ(v[2], 3);
  EXPECT_EQ(rx, nullptr);

  BYTE buffer[8] = {0xEE, 0xEE};
  adapter->Answer(CVL_OID_STATUS, Reply::Fail(12).AndData(0, Bytes(8, 0x11)).Length(20));
  EXPECT_EQ(api(CVL_FN_GET_STATUS, 8, buffer), CVL_FAILED);
  EXPECT_EQ(buffer[0], 0xEE);
}

TEST_F(RequestCycleTest, FailureWithStatus0CountsAsSuccessAndCopiesResults) {
  adapter->Answer(CVL_OID_FN9, Reply::Fail(0).AndData(0, {1, 2, 3, 4}));
  BYTE buffer[4] = {};
  EXPECT_EQ(api(9, buffer), CVL_SUCCESS);
  EXPECT_EQ(Bytes(buffer, buffer + 4), (Bytes{1, 2, 3, 4}));
}

TEST_F(RequestCycleTest, SuccessIgnoresTheStatusField) {
  adapter->Answer(CVL_OID_NET_ID, Reply::Ok().AndRaw(8, cvtest::Dword(5)));
  EXPECT_EQ(api(CVL_FN_SET_NET_ID, 1), CVL_SUCCESS);
}

TEST_F(RequestCycleTest, EachCallResetsTheHeaderButNotTheDataArea) {
  BYTE buffer[8];
  ASSERT_EQ(api(CVL_FN_SET_PREFERRED_AP, 0x1111, 0x2222, 0x3333, 0x4444), CVL_SUCCESS);
  ASSERT_EQ(api(36, 0xA, 0xB), CVL_SUCCESS);
  ASSERT_EQ(api(8, 8, buffer), CVL_SUCCESS);
  auto requests = adapter->requests();
  ASSERT_EQ(requests.size(), 3u);
  // Code 36 writes three words of its eight data bytes; the fourth is what the
  // block held from code 23.
  EXPECT_EQ(cvtest::ToHex(requests[1].SentData()), "0A000B000A004444");
  EXPECT_EQ(requests[2].Length(), 26u);
  EXPECT_EQ(requests[2].Operation(), CVL_OP_QUERY);
  EXPECT_EQ(requests[2].Reserved(), 0);
}

} // namespace
