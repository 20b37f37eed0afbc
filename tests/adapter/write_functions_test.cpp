// The set and command codes: object identifier, operation, Length and the data
// bytes that each sends.
#include "adapter_fixture.h"

#include <functional>
#include <string>

namespace {

using cvtest::ToHex;

struct SendCase {
  int code;
  std::function<LONG(CVLAPI_PROC)> call;
  DWORD oid;
  WORD operation;
  DWORD length;
  std::string data; // the data bytes sent, Length - 12 of them
};

const BYTE kStation[6] = {0x02, 0x0E, 0x5A, 0x01, 0x02, 0x03};
const BYTE kMemory[3] = {0xAA, 0xBB, 0xCC};

const SendCase kCases[] = {
    {3, [](CVLAPI_PROC f) { return f(3, 0x1234, 3, kMemory); }, 0xFF010171, 2, 19, "34120300AABBCC"},
    {4, [](CVLAPI_PROC f) { return f(4, 0x1A2B); }, 0xFF01010A, 2, 14, "2B1A"},
    {5, [](CVLAPI_PROC f) { return f(5, 0x10005); }, 0xFF01013C, 2, 14, "0500"},
    {12, [](CVLAPI_PROC f) { return f(12, 0xBEEF); }, 0xFF01013D, 2, 14, "EFBE"},
    {13, [](CVLAPI_PROC f) { return f(13, 1); }, 0xFF010107, 2, 14, "0100"},
    {14, [](CVLAPI_PROC f) { return f(14, 1, 2, 3); }, 0xFF010135, 2, 16, "01000200"},
    {16, [](CVLAPI_PROC f) { return f(16); }, 0xFF020192, 2, 12, ""},
    {18, [](CVLAPI_PROC f) { return f(18); }, 0xFF020190, 5, 12, ""},
    {19, [](CVLAPI_PROC f) { return f(19, 1); }, 0xFF010109, 2, 14, "0100"},
    {19, [](CVLAPI_PROC f) { return f(19, 0x10000); }, 0xFF010109, 2, 14, "0000"},
    {23, [](CVLAPI_PROC f) { return f(23, 0x1A, 5, 4, 1); }, 0xFF010136, 2, 20, "1A00050004000100"},
    {27, [](CVLAPI_PROC f) { return f(27, 0x27); }, 0xFF010173, 2, 14, "2700"},
    {30, [](CVLAPI_PROC f) { return f(30, kStation); }, 0xFF010150, 3, 18, "020E5A010203"},
    {31, [](CVLAPI_PROC f) { return f(31, kStation); }, 0xFF010150, 4, 18, "020E5A010203"},
    {32, [](CVLAPI_PROC f) { return f(32); }, 0xFF010150, 2, 12, ""},
    {34, [](CVLAPI_PROC f) { return f(34, 0x3434); }, 0xFF010134, 2, 14, "3434"},
    {37, [](CVLAPI_PROC f) { return f(37); }, 0xFF010151, 2, 14, "0100"},
    {38, [](CVLAPI_PROC f) { return f(38); }, 0xFF010151, 2, 14, "0000"},
    {39, [](CVLAPI_PROC f) { return f(39); }, 0xFF010153, 5, 12, ""},
    {40, [](CVLAPI_PROC f) { return f(40, 0x4040); }, 0xFF010137, 2, 14, "4040"},
    {41, [](CVLAPI_PROC f) { return f(41, kStation); }, 0xFF010138, 2, 18, "020E5A010203"},
};

using WriteFunctionsTest = AdapterTest;

TEST_F(WriteFunctionsTest, EachCodeSendsItsObjectOperationLengthAndData) {
  for (const SendCase &c : kCases) {
    adapter->ClearRequests();
    EXPECT_EQ(c.call(api), CVL_SUCCESS) << "code " << c.code;
    cvtest::Request request = OnlyRequest();
    EXPECT_EQ(request.controlCode, 0x00170002u) << "code " << c.code;
    EXPECT_EQ(request.inSize, 4u) << "code " << c.code;
    EXPECT_EQ(request.oid, c.oid) << "code " << c.code;
    EXPECT_EQ(request.Operation(), c.operation) << "code " << c.code;
    EXPECT_EQ(request.Reserved(), 0) << "code " << c.code;
    EXPECT_EQ(request.Length(), c.length) << "code " << c.code;
    EXPECT_EQ(request.outSize, c.length) << "code " << c.code;
    EXPECT_EQ(ToHex(request.SentData()), c.data) << "code " << c.code;
  }
}

TEST_F(WriteFunctionsTest, Code14WritesItsThirdValueBehindTheLengthSent) {
  // Code 8 sends its 14-byte data area as the block holds it, so it shows what
  // code 14 left there.
  BYTE buffer[14];
  ASSERT_EQ(api(14, 1, 2, 0x3333), CVL_SUCCESS);
  ASSERT_EQ(api(8, 14, buffer), CVL_SUCCESS);
  EXPECT_EQ(ToHex(adapter->requests().back().DataAt(0, 6)), "010002003333");
}

TEST_F(WriteFunctionsTest, Code36SendsItsTwoValuesThenTen) {
  ASSERT_EQ(api(36, 0x1111, 0x2222), CVL_SUCCESS);
  cvtest::Request request = OnlyRequest();
  EXPECT_EQ(request.oid, 0xFF01013Au);
  EXPECT_EQ(request.Operation(), CVL_OP_SET);
  EXPECT_EQ(request.Length(), 20u);
  EXPECT_EQ(ToHex(request.DataAt(0, 6)), "111122220A00");
}

TEST_F(WriteFunctionsTest, OutOfRangeArgumentsGiveBadLengthWithoutARequest) {
  EXPECT_EQ(api(19, 2), CVL_BAD_LENGTH);
  EXPECT_EQ(api(19, 0xFFFF), CVL_BAD_LENGTH);
  EXPECT_EQ(api(CVL_FN_WRITE_MEMORY, 0x500, 0, kMemory), CVL_BAD_LENGTH);
  EXPECT_EQ(api(CVL_FN_WRITE_MEMORY, 0x500, 32769, kMemory), CVL_BAD_LENGTH);
  EXPECT_EQ(adapter->requestCount(), 0u);
}

TEST_F(WriteFunctionsTest, MemoryWriteOfTheLargestCountFillsTheWholeBlock) {
  static BYTE source[CVL_MEMORY_MAX];
  for (size_t i = 0; i < sizeof source; i++) source[i] = static_cast<BYTE>(i * 7);
  ASSERT_EQ(api(CVL_FN_WRITE_MEMORY, 0xFFFF, 32768, source), CVL_SUCCESS);
  cvtest::Request request = OnlyRequest();
  EXPECT_EQ(request.Length(), 32784u);
  EXPECT_EQ(request.outSize, 32784u);
  EXPECT_EQ(ToHex(request.DataAt(0, 4)), "FFFF0080");
  EXPECT_EQ(request.DataAt(4, 32768), cvtest::Bytes(source, source + sizeof source));
}

} // namespace
