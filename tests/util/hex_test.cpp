// Hexadecimal parameters, read as "%x" reads them.
#include "cv_util.h"

#include <gtest/gtest.h>

#include <string>

namespace {

DWORD Parse(const char *text) {
  DWORD value = 0xDEADBEEF;
  EXPECT_TRUE(ParseHex(text, &value)) << text;
  return value;
}

TEST(ParseHexTest, ReadsLikePercentX) {
  EXPECT_EQ(Parse("1A"), 0x1Au);
  EXPECT_EQ(Parse("  \t1a"), 0x1Au);
  EXPECT_EQ(Parse("0x1A"), 0x1Au);
  EXPECT_EQ(Parse("0X1a"), 0x1Au);
  EXPECT_EQ(Parse("1FFg"), 0x1FFu); // stops at the first other character
  EXPECT_EQ(Parse("+7"), 7u);
  EXPECT_EQ(Parse("-1"), 0xFFFFFFFFu);
  EXPECT_EQ(Parse("0xg"), 0u); // the 0 is the number; "x" ends it
  EXPECT_EQ(Parse("0"), 0u);
}

TEST(ParseHexTest, LongNumbersKeepTheirLow32Bits) {
  EXPECT_EQ(Parse("123456789"), 0x23456789u);
  EXPECT_EQ(Parse(("1" + std::string(5000, '0') + "ABCD").c_str()), 0x0000ABCDu);
  EXPECT_EQ(Parse(std::string(5000, 'F').c_str()), 0xFFFFFFFFu);
}

TEST(ParseHexTest, TextThatDoesNotBeginWithANumberIsRefusedAndLeavesTheValue) {
  for (const char *text : {"", " ", "zz", "G1", "x1", "-", "+", "-x", "\n"}) {
    DWORD value = 0x1234;
    EXPECT_FALSE(ParseHex(text, &value)) << '"' << text << '"';
    EXPECT_EQ(value, 0x1234u) << '"' << text << '"';
  }
}

} // namespace
