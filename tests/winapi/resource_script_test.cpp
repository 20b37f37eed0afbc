// The resource-script reader gives the styles that windres gives for the same
// script, and refuses what it cannot read with the line and the reason.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "../../winapi/src/resource_script.h"

namespace {

std::string ReadFile(const char *path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(ResourceScript, SetupDialogHasTheStylesThatWindresCompilesFromTheSameScript) {
  winapi::ResourceScript script;
  std::string error;
  ASSERT_TRUE(winapi::ParseResourceScript(ReadFile(CV_SETUP_RC), script, error)) << error;
  ASSERT_EQ(script.dialogs.count(500), 1u);
  const winapi::DialogTemplate &dialog = script.dialogs.at(500);
  // windres -O rc of setup/cvsetup.rc gives these numbers.
  EXPECT_EQ(dialog.style, 0x90C800C0u);
  EXPECT_EQ(dialog.caption, "Veltrane Systems Corvane NT Installation");
  EXPECT_EQ(dialog.fontName, "Helv");
  EXPECT_EQ(dialog.pointSize, 8);
  EXPECT_EQ(dialog.cx, 317);
  EXPECT_EQ(dialog.cy, 176);
  const std::map<int, DWORD> windres = {
      {300, 0x50020000}, {305, 0x50210102}, {310, 0x50020000}, {315, 0x50210002}, {320, 0x50020000}, {325, 0x50210102},
      {330, 0x50020000}, {335, 0x50210102}, {340, 0x50020000}, {345, 0x50210102}, {350, 0x50010023}, {360, 0x50010023},
      {355, 0x58000007}, {365, 0x58020000}, {370, 0x58210002}, {375, 0x58020000}, {380, 0x58210002}, {390, 0x58020000},
      {395, 0x58210002}, {1, 0x50010001},   {2, 0x50010000},   {420, 0x50010000}, {450, 0x40810800}};
  ASSERT_EQ(dialog.items.size(), windres.size());
  for (const winapi::DialogItemTemplate &item : dialog.items) {
    ASSERT_EQ(windres.count(item.id), 1u) << item.id;
    EXPECT_EQ(item.style, windres.at(item.id)) << item.id;
  }
  EXPECT_EQ(dialog.items[0].text, "Card Type:");
  EXPECT_EQ(dialog.items[1].className, "COMBOBOX");
  EXPECT_EQ(dialog.items.back().y, 159);
  ASSERT_EQ(script.strings.size(), 26u);
  EXPECT_EQ(script.strings.at(1), "5");
  EXPECT_EQ(script.strings.at(25), "WPOS/ISA");
  EXPECT_EQ(script.strings.at(26), "PCMCIA");
}

TEST(ResourceScript, MalformedScriptsAreRefusedWithTheirLine) {
  struct Case {
    const char *text;
    const char *error;
  };
  const Case cases[] = {
      {"1 DIALOG 0, 0, 10, 10\nSTYLE WS_BOGUS\nBEGIN\nEND\n", "line 2: unknown name 'WS_BOGUS'"},
      {"STRINGTABLE\nBEGIN\n  1, \"open\nEND\n", "line 3: unterminated string"},
      {"1 DIALOG 0, 0, 10, 10\nBEGIN\n  LTEXT \"a\", 1, 0, 0, 1, 1\nEND\n",
       "line 3: unsupported control statement 'LTEXT' (use CONTROL)"},
      {"STRINGTABLE\nBEGIN\n 1 \"a\"\n 1 \"b\"\nEND\n", "line 4: string 1 defined twice"},
      {"1 MENU\n", "line 1: unsupported resource type 'MENU'"},
  };
  for (const Case &c : cases) {
    winapi::ResourceScript script;
    std::string error;
    EXPECT_FALSE(winapi::ParseResourceScript(c.text, script, error)) << c.text;
    EXPECT_EQ(error, c.error) << c.text;
  }
}

} // namespace
