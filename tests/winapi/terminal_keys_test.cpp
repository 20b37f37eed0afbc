// The key decoder: what terminals send for keys, as Win32 key events.
#include <gtest/gtest.h>

#include <vector>

#include "../../winapi/src/terminal.h"

namespace {

using winapi::terminal::KeyDecoder;

std::vector<KEY_EVENT_RECORD> Decode(const std::string &bytes) {
  KeyDecoder decoder;
  std::vector<KEY_EVENT_RECORD> keys;
  decoder.Feed(bytes.data(), bytes.size(), keys);
  decoder.Flush(keys);
  return keys;
}

struct Expected {
  const char *bytes;
  WORD virtualKey;
  WORD scan;
  DWORD state;
  unsigned char ch;
};

TEST(KeyDecoder, GivesTheVirtualKeyScanCodeAndStateOfEveryKindOfKey) {
  const Expected cases[] = {
      {"\x1b[5~", VK_PRIOR, 0x49, ENHANCED_KEY, 0},
      {"\x1b[6~", VK_NEXT, 0x51, ENHANCED_KEY, 0},
      {"\x1b[A", VK_UP, 0x48, ENHANCED_KEY, 0},
      {"\x1bOB", VK_DOWN, 0x50, ENHANCED_KEY, 0},
      {"\x1b[C", VK_RIGHT, 0x4D, ENHANCED_KEY, 0},
      {"\x1bOD", VK_LEFT, 0x4B, ENHANCED_KEY, 0},
      {"\x1b[H", VK_HOME, 0x47, ENHANCED_KEY, 0},
      {"\x1b[1~", VK_HOME, 0x47, ENHANCED_KEY, 0},
      {"\x1bOF", VK_END, 0x4F, ENHANCED_KEY, 0},
      {"\x1b[4~", VK_END, 0x4F, ENHANCED_KEY, 0},
      {"\x1b[2~", VK_INSERT, 0x52, ENHANCED_KEY, 0},
      {"\x1b[3~", VK_DELETE, 0x53, ENHANCED_KEY, 0},
      {"\x1bOP", VK_F1, 0x3B, 0, 0},
      {"\x1b[11~", VK_F1, 0x3B, 0, 0},
      {"\x1b[[A", VK_F1, 0x3B, 0, 0},
      {"\x1bOS", VK_F4, 0x3E, 0, 0},
      {"\x1b[15~", VK_F5, 0x3F, 0, 0},
      {"\x1b[21~", VK_F10, 0x44, 0, 0},
      {"\x1b[23~", VK_F11, 0x57, 0, 0},
      {"\x1b[24~", VK_F12, 0x58, 0, 0},
      {"\x1b[1;5C", VK_RIGHT, 0x4D, ENHANCED_KEY | LEFT_CTRL_PRESSED, 0},
      {"\x1b[6;2~", VK_NEXT, 0x51, ENHANCED_KEY | SHIFT_PRESSED, 0},
      {"\x1b[Z", VK_TAB, 0x0F, SHIFT_PRESSED, '\t'},
      {"q", 'Q', 0x10, 0, 'q'},
      {"Q", 'Q', 0x10, SHIFT_PRESSED, 'Q'},
      {"7", '7', 0x08, 0, '7'},
      {"?", VK_OEM_2, 0x35, SHIFT_PRESSED, '?'},
      {" ", VK_SPACE, 0x39, 0, ' '},
      {"\r", VK_RETURN, 0x1C, 0, '\r'},
      {"\t", VK_TAB, 0x0F, 0, '\t'},
      {"\x7f", VK_BACK, 0x0E, 0, 8},
      {"\x03", 'C', 0x2E, LEFT_CTRL_PRESSED, 3},
      {"\x1bx", 'X', 0x2D, LEFT_ALT_PRESSED, 'x'},
      {"\x1b", VK_ESCAPE, 0x01, 0, 27},
      {"\xc3\xa9", 0, 0, 0, 0x82},     // é in code page 437
      {"\xe2\x96\x84", 0, 0, 0, 0xDC}, // the lower half block
  };
  for (const Expected &e : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(e.bytes)));
    auto keys = Decode(e.bytes);
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_TRUE(keys[0].bKeyDown);
    EXPECT_EQ(keys[0].wRepeatCount, 1);
    EXPECT_EQ(keys[0].wVirtualKeyCode, e.virtualKey);
    EXPECT_EQ(keys[0].wVirtualScanCode, e.scan);
    EXPECT_EQ(keys[0].dwControlKeyState, e.state);
    EXPECT_EQ(static_cast<unsigned char>(keys[0].uChar.AsciiChar), e.ch);
  }
}

TEST(KeyDecoder, HoldsALoneEscapeUntilTheTerminalIsQuiet) {
  KeyDecoder decoder;
  std::vector<KEY_EVENT_RECORD> keys;
  decoder.Feed("\x1b", 1, keys);
  EXPECT_TRUE(keys.empty());
  EXPECT_TRUE(decoder.Pending());
  decoder.Feed("[6", 2, keys); // the rest of Page Down, arriving late
  EXPECT_TRUE(keys.empty());
  decoder.Feed("~", 1, keys);
  ASSERT_EQ(keys.size(), 1u);
  EXPECT_EQ(keys[0].wVirtualKeyCode, VK_NEXT);
  EXPECT_FALSE(decoder.Pending());
}

TEST(KeyDecoder, SeparatesKeysThatArriveTogether) {
  auto keys = Decode("\x1b\x1b[Aa\x1b[99~b\x1b[");
  ASSERT_EQ(keys.size(), 7u);
  EXPECT_EQ(keys[0].wVirtualKeyCode, VK_ESCAPE);
  EXPECT_EQ(keys[1].wVirtualKeyCode, VK_UP);
  EXPECT_EQ(keys[2].uChar.AsciiChar, 'a');
  // A sequence of no known key is one key without a name; its bytes are not typed.
  EXPECT_EQ(keys[3].wVirtualKeyCode, 0xFF);
  EXPECT_EQ(keys[3].uChar.AsciiChar, 0);
  EXPECT_EQ(keys[4].uChar.AsciiChar, 'b');
  // A sequence cut short by the quiet: Escape, then what followed as typed.
  EXPECT_EQ(keys[5].wVirtualKeyCode, VK_ESCAPE);
  EXPECT_EQ(keys[6].uChar.AsciiChar, '[');
  EXPECT_EQ(keys[6].dwControlKeyState, 0u);
}

TEST(KeyDecoder, PrefersTheTerminfoEntryOfTheTerminal) {
  KeyDecoder decoder;
  decoder.AddSequence("\x1b[G", VK_CLEAR); // keypad 5 on some terminals
  std::vector<KEY_EVENT_RECORD> keys;
  decoder.Feed("\x1b[G", 3, keys);
  ASSERT_EQ(keys.size(), 1u);
  EXPECT_EQ(keys[0].wVirtualKeyCode, VK_CLEAR);
  EXPECT_EQ(keys[0].wVirtualScanCode, 0x4C);
}

TEST(CodePage437, MapsEveryByteToOneCharacterAndBack) {
  using winapi::terminal::Cp437ToUnicode;
  using winapi::terminal::UnicodeToCp437;
  EXPECT_EQ(Cp437ToUnicode(0xDC), U'\u2584');
  EXPECT_EQ(Cp437ToUnicode(0xB3), U'\u2502');
  EXPECT_EQ(Cp437ToUnicode(0x01), U'\u263A');
  EXPECT_EQ(Cp437ToUnicode(0), U' ');
  EXPECT_EQ(Cp437ToUnicode('A'), U'A');
  for (int b = 0x80; b <= 0xFF; ++b) EXPECT_EQ(UnicodeToCp437(Cp437ToUnicode(static_cast<unsigned char>(b))), b);
  EXPECT_EQ(UnicodeToCp437(U'\u4e2d'), '?');
  std::string utf8;
  winapi::terminal::AppendUtf8(utf8, Cp437ToUnicode(0xDC));
  EXPECT_EQ(utf8, "\xe2\x96\x84");
}

} // namespace
