// Function code 24: the raw head of the counters reply and the word table built
// from its 32-bit counters.
#include "adapter_fixture.h"

#include <cstring>

namespace {

using cvtest::Bytes;
using cvtest::Reply;

// A reply whose 128-byte head counts up and whose counter n (at data 192 + 4n)
// holds 0x10000 * n + n + 1, so that every word tells which counters made it.
Bytes CountersReply() {
  Bytes data(704, 0);
  for (size_t i = 0; i < 192; i++) data[i] = static_cast<uint8_t>(i);
  for (uint32_t n = 0; n < 128; n++) {
    Bytes value = cvtest::Dword(0x10000 * n + n + 1);
    std::copy(value.begin(), value.end(), data.begin() + 192 + 4 * n);
  }
  return data;
}

WORD C(int n) { return static_cast<WORD>(n + 1); }  // the low half of counter n

using CountersTest = AdapterTest;

TEST_F(CountersTest, FullRecordHoldsTheRawHeadThenThe46Words) {
  adapter->Answer(CVL_OID_COUNTERS, Reply::Data(0, CountersReply()));
  CVL_COUNTERS counters;
  std::memset(&counters, 0xEE, sizeof counters);
  ASSERT_EQ(api(CVL_FN_GET_COUNTERS, 300, &counters), CVL_SUCCESS);
  EXPECT_EQ(OnlyRequest().oid, 0xFF020191u);
  EXPECT_EQ(OnlyRequest().Operation(), CVL_OP_QUERY);
  EXPECT_EQ(OnlyRequest().Length(), 716u);
  for (int i = 0; i < 128; i++) EXPECT_EQ(counters.Raw[i], i);
  const WORD expected[CVL_COUNTER_WORDS] = {
      C(0),  C(15), C(27), C(29), C(41), C(3),  C(22), C(59), C(34), C(1),  C(2),  C(60),
      C(60), C(63), C(38), C(50), C(51), C(52), C(53), C(48), C(46),
      static_cast<WORD>(C(9) + C(10) + C(7) + C(8)),
      C(45), C(38), C(35), static_cast<WORD>(C(36) + C(37)), C(39), C(40),
      static_cast<WORD>(C(5) + C(6) + C(4)),
      0,     0,     0,     0,     0,     C(54), C(55), C(56), C(57), C(58), 0,
      C(12), C(13), C(14), C(24), C(25), C(26)};
  for (int w = 0; w < CVL_COUNTER_WORDS; w++) EXPECT_EQ(+counters.Words[w], expected[w]) << "word " << w;
}

TEST_F(CountersTest, SumsAreCutTo16Bits) {
  Bytes data = CountersReply();
  for (int n : {36, 37}) {
    Bytes value = cvtest::Dword(0x8001);
    std::copy(value.begin(), value.end(), data.begin() + 192 + 4 * n);
  }
  adapter->Answer(CVL_OID_COUNTERS, Reply::Data(0, data));
  CVL_COUNTERS counters;
  ASSERT_EQ(api(CVL_FN_GET_COUNTERS, 220, &counters), CVL_SUCCESS);
  EXPECT_EQ(+counters.Words[25], 0x0002);
}

TEST_F(CountersTest, ShortLengthCopiesOnlyThatMuchOfTheRawHead) {
  adapter->Answer(CVL_OID_COUNTERS, Reply::Data(0, CountersReply()));
  BYTE record[220];
  std::memset(record, 0xEE, sizeof record);
  ASSERT_EQ(api(CVL_FN_GET_COUNTERS, 100, record), CVL_SUCCESS);
  EXPECT_EQ(record[99], 99);
  EXPECT_EQ(record[100], 0xEE);
}

TEST_F(CountersTest, LengthInsideTheWordTableCopiesPartOfIt) {
  adapter->Answer(CVL_OID_COUNTERS, Reply::Data(0, CountersReply()));
  BYTE record[220];
  std::memset(record, 0xEE, sizeof record);
  ASSERT_EQ(api(CVL_FN_GET_COUNTERS, 131, record), CVL_SUCCESS);
  EXPECT_EQ(record[127], 127);
  EXPECT_EQ(record[128], C(0) & 0xFF);
  EXPECT_EQ(record[129], C(0) >> 8);
  EXPECT_EQ(record[130], C(15) & 0xFF);
  EXPECT_EQ(record[131], 0xEE);
}

TEST_F(CountersTest, LengthAbove220IsCutTo220) {
  adapter->Answer(CVL_OID_COUNTERS, Reply::Data(0, CountersReply()));
  BYTE record[240];
  std::memset(record, 0xEE, sizeof record);
  ASSERT_EQ(api(CVL_FN_GET_COUNTERS, 0xFFFF, record), CVL_SUCCESS);
  EXPECT_EQ(record[218], C(26) & 0xFF);
  EXPECT_EQ(record[220], 0xEE);
}

}  // namespace
