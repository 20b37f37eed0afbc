// Function code 24: the raw head of the counters reply and the word table built
// from its 32-bit counters.
#include "adapter_fixture.h"

#include <cstring>
#include <initializer_list>
#include <map>
#include <utility>

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

WORD C(int n) { return static_cast<WORD>(n + 1); } // the low half of counter n

using CountersTest = AdapterTest;

// A reply of zeros with the given counters set.
Bytes ReplyWithCounters(std::initializer_list<std::pair<int, uint32_t>> counters) {
  Bytes data(704, 0);
  for (const auto &[n, value] : counters) {
    Bytes bytes = cvtest::Dword(value);
    std::copy(bytes.begin(), bytes.end(), data.begin() + 192 + 4 * n);
  }
  return data;
}

// Word w of the record, from its little-endian bytes at record byte 128 + 2w.
WORD RecordWord(const BYTE *record, int w) { return static_cast<WORD>(record[128 + 2 * w] | record[129 + 2 * w] << 8); }

TEST_F(CountersTest, FullRecordHoldsTheRawHeadThenThe46Words) {
  adapter->Answer(CVL_OID_COUNTERS, Reply::Data(0, CountersReply()));
  CVL_COUNTERS counters;
  std::memset(&counters, 0xEE, sizeof counters);
  ASSERT_EQ(api(CVL_FN_GET_COUNTERS, 300, &counters), CVL_SUCCESS);
  EXPECT_EQ(OnlyRequest().oid, 0xFF020191u);
  EXPECT_EQ(OnlyRequest().Operation(), CVL_OP_QUERY);
  EXPECT_EQ(OnlyRequest().Length(), 716u);
  for (int i = 0; i < 128; i++) EXPECT_EQ(counters.Raw[i], i);
  const BYTE *record = reinterpret_cast<const BYTE *>(&counters);
  for (int w = 0; w < CVL_COUNTER_WORDS; w++) EXPECT_EQ(RecordWord(record, w), +counters.Words[w]) << "word " << w;
}

// The worked example: a few counters set by number, the words that carry them
// read by position, and every other word 0.
TEST_F(CountersTest, WordsCarryTheirCountersAndTheirSums) {
  adapter->Answer(CVL_OID_COUNTERS, Reply::Data(0, ReplyWithCounters({{0, 1000},
                                                                      {15, 2},
                                                                      {60, 7},
                                                                      {38, 0x12345},
                                                                      {7, 1},
                                                                      {8, 2},
                                                                      {9, 3},
                                                                      {10, 4},
                                                                      {4, 300},
                                                                      {5, 100},
                                                                      {6, 200},
                                                                      {58, 0xFFFF},
                                                                      {26, 0xBEEF}})));
  BYTE record[220];
  ASSERT_EQ(api(CVL_FN_GET_COUNTERS, 220, record), CVL_SUCCESS);
  const std::map<int, WORD> expected = {{0, 1000},    {1, 2},   {11, 7},   {12, 7},      {14, 0x2345},
                                        {23, 0x2345}, {21, 10}, {28, 600}, {38, 0xFFFF}, {45, 0xBEEF}};
  for (int w = 0; w < CVL_COUNTER_WORDS; w++) {
    auto it = expected.find(w);
    EXPECT_EQ(RecordWord(record, w), it == expected.end() ? 0 : it->second) << "word " << w;
  }
}

// With every counter 1, a word holds the number of counters summed into it:
// four, two and three for the sums, none for the words that are always 0.
TEST_F(CountersTest, EachWordSumsAsManyCountersAsItsSourceNames) {
  Bytes data(704, 0);
  for (int n = 0; n < 128; n++) data[192 + 4 * n] = 1;
  adapter->Answer(CVL_OID_COUNTERS, Reply::Data(0, data));
  BYTE record[220];
  ASSERT_EQ(api(CVL_FN_GET_COUNTERS, 220, record), CVL_SUCCESS);
  for (int w = 0; w < CVL_COUNTER_WORDS; w++) {
    WORD terms = 1;
    if (w == 21) terms = 4;
    if (w == 25) terms = 2;
    if (w == 28) terms = 3;
    if ((w >= 29 && w <= 33) || w == 39) terms = 0;
    EXPECT_EQ(RecordWord(record, w), terms) << "word " << w;
  }
}

// Nothing but counters 0 to 63 reaches the words: neither the bytes between
// the raw head and the counters nor the counters behind c63.
TEST_F(CountersTest, OnlyTheFirst64CountersReachTheWords) {
  Bytes data(704, 0);
  for (size_t i = 128; i < 192; i++) data[i] = 0xFF;
  for (size_t i = 192 + 4 * 64; i < data.size(); i++) data[i] = 0xFF;
  adapter->Answer(CVL_OID_COUNTERS, Reply::Data(0, data));
  BYTE record[220];
  ASSERT_EQ(api(CVL_FN_GET_COUNTERS, 220, record), CVL_SUCCESS);
  for (int w = 0; w < CVL_COUNTER_WORDS; w++) EXPECT_EQ(RecordWord(record, w), 0) << "word " << w;
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

} // namespace
