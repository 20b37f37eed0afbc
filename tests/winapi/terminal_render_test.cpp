// The renderer against a small model of an xterm: what it writes must bring the
// terminal to the frame, and write nothing for what the terminal already shows.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <vector>

#include "../../winapi/src/terminal.h"

namespace {

using winapi::terminal::Capabilities;
using winapi::terminal::Cell;
using winapi::terminal::Renderer;

// Enough of an xterm for what the renderer sends: cursor address, clear, colours.
class XtermModel {
 public:
  XtermModel(int columns, int rows) : columns_(columns), rows_(rows), cells_(columns * rows, U' ') {}
  void Apply(const std::string &bytes) {
    for (size_t i = 0; i < bytes.size();) {
      unsigned char b = static_cast<unsigned char>(bytes[i]);
      if (b == 0x1b) {
        i = Escape(bytes, i);
        continue;
      }
      if (b == '\b') {
        if (x_ > 0) --x_;
        ++i;
        continue;
      }
      if (b == '\n') { // a line feed without output processing: down only
        ++y_;
        EXPECT_LT(y_, rows_) << "a line feed at the last row scrolls";
        ++i;
        continue;
      }
      char32_t c = b;
      size_t length = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
      if (length > 1) c = b & (0x3F >> (length - 1));
      for (size_t k = 1; k < length; ++k) c = (c << 6) | (bytes[i + k] & 0x3F);
      i += length;
      ASSERT_LT(x_, columns_) << "written past the last column";
      ASSERT_LT(y_, rows_);
      cells_[y_ * columns_ + x_] = c;
      ++x_;
    }
  }
  char32_t At(int x, int y) const { return cells_[y * columns_ + x]; }
  int x_ = 0, y_ = 0;
  bool cursorHidden = false;
  int erases = 0;

 private:
  size_t Escape(const std::string &s, size_t i) {
    if (s[i + 1] == '(') return i + 3;
    if (s[i + 1] != '[') return i + 2;
    size_t j = i + 2;
    std::string params;
    while (j < s.size() && (s[j] < 0x40 || s[j] > 0x7E)) params += s[j++];
    char final = s[j];
    if (final == 'H') {
      int row = 1, column = 1;
      if (!params.empty()) sscanf(params.c_str(), "%d;%d", &row, &column);
      y_ = row - 1;
      x_ = column - 1;
    } else if (final >= 'A' && final <= 'D') {
      int n = params.empty() ? 1 : std::stoi(params);
      if (final == 'A') y_ -= n;
      if (final == 'B') y_ += n;
      if (final == 'C') x_ += n;
      if (final == 'D') x_ -= n;
      EXPECT_TRUE(x_ >= 0 && y_ >= 0 && x_ < columns_ && y_ < rows_) << "moved off the screen";
    } else if (final == 'X') { // erases cells from the cursor on, leaving it where it is
      int n = params.empty() ? 1 : std::stoi(params);
      EXPECT_LE(x_ + n, columns_) << "erased past the last column";
      std::fill_n(cells_.begin() + y_ * columns_ + x_, std::min(n, columns_ - x_), U' ');
      ++erases;
    } else if (final == 'J') {
      std::fill(cells_.begin(), cells_.end(), U' ');
    } else if (final == 'l' && params == "?25") {
      cursorHidden = true;
    } else if (final == 'h' && params.find("?25") != std::string::npos) {
      cursorHidden = false;
    }
    return j + 1;
  }
  int columns_, rows_;
  std::vector<char32_t> cells_;
};

Capabilities Xterm() {
  Capabilities caps;
  int fd = open("/dev/null", O_RDWR);
  EXPECT_TRUE(winapi::terminal::LoadCapabilities("xterm", fd, caps));
  close(fd);
  caps.charset = winapi::terminal::Charset::kUtf8; // whatever the test's own locale
  return caps;
}

std::vector<Cell> Frame(int width, int height, const std::vector<std::string> &rows) {
  std::vector<Cell> cells(width * height);
  for (size_t y = 0; y < rows.size(); ++y)
    for (size_t x = 0; x < rows[y].size(); ++x) cells[y * width + x].ch = static_cast<unsigned char>(rows[y][x]);
  return cells;
}

TEST(Renderer, BringsTheTerminalToTheFrameAndWritesOnlyWhatChanged) {
  Capabilities caps = Xterm();
  Renderer renderer(caps);
  renderer.SetTerminalSize(20, 4);
  XtermModel term(20, 4);
  auto frame = Frame(20, 4, {"Tx_Host      12", "", "bar \xdc\xdc\xdc", "last"});
  std::string out;
  renderer.Render(frame.data(), 20, 4, out);
  term.Apply(out);
  EXPECT_EQ(term.At(13, 0), U'1');
  EXPECT_EQ(term.At(4, 2), U'\u2584');
  EXPECT_EQ(term.At(3, 3), U't');

  out.clear();
  renderer.Render(frame.data(), 20, 4, out);
  EXPECT_EQ(out, "") << "an unchanged frame costs nothing";

  frame[0 * 20 + 14].ch = '3';
  out.clear();
  renderer.Render(frame.data(), 20, 4, out);
  EXPECT_EQ(out, "\x1b[1;15H3");
  term.Apply(out);
  EXPECT_EQ(term.At(14, 0), U'3');
}

TEST(Renderer, ReachesChangedFieldsByTheShortestCursorMotion) {
  Capabilities caps = Xterm();
  Capabilities addressOnly = caps;
  addressOnly.up1 = addressOnly.down1 = addressOnly.left1 = addressOnly.right1 = "";
  addressOnly.upN = addressOnly.downN = addressOnly.leftN = addressOnly.rightN = "";
  std::vector<std::string> rows;
  for (int y = 0; y < 12; ++y) rows.push_back("Counter" + std::to_string(y) + "      " + std::to_string(1000 + y * 7));
  auto update = [&](const Capabilities &c) {
    Renderer renderer(c);
    renderer.SetTerminalSize(40, 12);
    XtermModel term(40, 12);
    auto frame = Frame(40, 12, rows);
    std::string out;
    renderer.Render(frame.data(), 40, 12, out);
    term.Apply(out);
    // A pass of counters one below the other, each changed in a digit or two.
    for (int y = 0; y < 12; ++y) {
      frame[y * 40 + 18 - (y % 3)].ch = static_cast<unsigned char>('a' + y);
      if (y % 4 == 0) frame[y * 40 + 2].ch = '#';
    }
    out.clear();
    renderer.Render(frame.data(), 40, 12, out);
    term.Apply(out);
    for (int y = 0; y < 12; ++y)
      for (int x = 0; x < 40; ++x)
        EXPECT_EQ(term.At(x, y), static_cast<char32_t>(frame[y * 40 + x].ch)) << x << "," << y;
    return out;
  };
  std::string relative = update(caps);
  std::string absolute = update(addressOnly);
  EXPECT_LT(relative.size() + 12, absolute.size()) << testing::PrintToString(relative);
  // Where the terminal's line feed moves down only, it is the step to the next row.
  EXPECT_EQ(relative.find('\n'), std::string::npos) << "a line feed may also return the carriage";
  Capabilities lineFeed = caps;
  ASSERT_TRUE(lineFeed.lineFeedDown1);
  lineFeed.down1 = "\n";
  std::string fed = update(lineFeed);
  EXPECT_NE(fed.find('\n'), std::string::npos);
  EXPECT_LT(fed.size() + 12, relative.size()) << testing::PrintToString(fed);
}

// A bar graph falling to nothing: long runs of blanks are erased, not written,
// wherever they lie in a changed stretch, and the cells after them still land.
TEST(Renderer, ErasesRunsOfBlanksWhereThatIsShorter) {
  Capabilities caps = Xterm();
  Capabilities noErase = caps;
  noErase.eraseChars.clear();
  auto update = [&](const Capabilities &c, XtermModel &term) {
    Renderer renderer(c);
    renderer.SetTerminalSize(40, 4);
    auto frame = Frame(40, 4,
                       {"Rx ######################## 1234", "Tx ############## 99", "Er ###",
                        "  ##################################### "});
    std::string out;
    renderer.Render(frame.data(), 40, 4, out);
    term.Apply(out);
    auto next = Frame(40, 4,
                      {"Rx                          1235", "Tx ##             98", "Er  x",
                       "                                      #"});
    out.clear();
    renderer.Render(next.data(), 40, 4, out);
    term.Apply(out);
    std::string cursor;
    renderer.PlaceCursor({30, 1}, true, cursor);
    term.Apply(cursor);
    out += cursor;
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 40; ++x)
        EXPECT_EQ(term.At(x, y), static_cast<char32_t>(next[y * 40 + x].ch)) << x << "," << y;
    EXPECT_EQ(term.x_, 30); // the cursor's place is known after an erase
    EXPECT_EQ(term.y_, 1);
    return out;
  };
  XtermModel erasing(40, 4), writing(40, 4);
  std::string erased = update(caps, erasing);
  std::string written = update(noErase, writing);
  EXPECT_EQ(erasing.erases, 3) << testing::PrintToString(erased); // not the two blanks of row 3
  EXPECT_EQ(writing.erases, 0);
  EXPECT_LT(erased.size() + 40, written.size());
}

// Fields of one colour changed all over the screen: the colour is sent once,
// and again only after cells of another colour.
TEST(Renderer, SendsAnAttributeOnlyWhenItChanges) {
  Capabilities caps = Xterm();
  caps.foreground = "<fg%p1%d>";
  caps.background = "<bg%p1%d>";
  Renderer renderer(caps);
  renderer.SetTerminalSize(20, 3);
  std::vector<Cell> frame = Frame(20, 3, {"a 100      b 200", "c 300      d 400", "e 500"});
  for (Cell &cell : frame) cell.attr = 0x1E; // yellow on blue
  std::string out;
  renderer.Render(frame.data(), 20, 3, out);
  for (int i : {4, 15, 24, 35}) frame[i].ch = '9';
  out.clear();
  renderer.Render(frame.data(), 20, 3, out);
  EXPECT_EQ(out.find("<fg"), std::string::npos) << "the terminal is in that colour already: " << out;
  frame[44].ch = '7';
  frame[44].attr = 0x07;
  frame[45].ch = '7';
  frame[2].ch = '7';
  out.clear();
  renderer.Render(frame.data(), 20, 3, out);
  size_t first = out.find("<fg");
  ASSERT_NE(first, std::string::npos) << out;
  EXPECT_EQ(out.find("<fg", first + 1), std::string::npos) << "grey text needs no colour, blue once: " << out;
}

TEST(Renderer, ClipsAFrameLargerThanTheTerminal) {
  Capabilities caps = Xterm();
  Renderer renderer(caps);
  renderer.SetTerminalSize(10, 3);
  XtermModel term(10, 3);
  std::string wide(80, 'x');
  auto frame = Frame(80, 25, std::vector<std::string>(25, wide));
  std::string out;
  renderer.Render(frame.data(), 80, 25, out);
  term.Apply(out); // fails on any write beyond the terminal
  EXPECT_EQ(term.At(9, 2), U'x');
  out.clear();
  renderer.PlaceCursor({40, 20}, true, out);
  term.Apply(out);
  EXPECT_TRUE(term.cursorHidden) << "a cursor outside the terminal is hidden";
  out.clear();
  renderer.PlaceCursor({3, 1}, true, out);
  term.Apply(out);
  EXPECT_FALSE(term.cursorHidden);
  EXPECT_EQ(term.x_, 3);
  EXPECT_EQ(term.y_, 1);
}

TEST(Renderer, RepaintsEverythingAfterInvalidate) {
  Capabilities caps = Xterm();
  Renderer renderer(caps);
  renderer.SetTerminalSize(10, 2);
  auto frame = Frame(10, 2, {"abc", "def"});
  std::string out;
  renderer.Render(frame.data(), 10, 2, out);
  XtermModel term(10, 2);
  term.Apply("\x1b[1;1Hgarbage!!\x1b[2;1Hgarbage!!"); // the terminal was scribbled on
  renderer.Invalidate();
  out.clear();
  renderer.Render(frame.data(), 10, 2, out, 1, 1); // the row range is ignored when repainting
  term.Apply(out);
  EXPECT_EQ(term.At(0, 0), U'a');
  EXPECT_EQ(term.At(5, 0), U' ');
  EXPECT_EQ(term.At(2, 1), U'f');
}

Capabilities Load(const char *type, winapi::terminal::Charset charset) {
  Capabilities caps;
  int fd = open("/dev/null", O_RDWR);
  EXPECT_TRUE(winapi::terminal::LoadCapabilities(type, fd, caps));
  close(fd);
  caps.charset = charset;
  return caps;
}

bool AnyHighByte(const std::string &bytes) {
  for (char c : bytes)
    if (static_cast<unsigned char>(c) >= 0x80) return true;
  return false;
}

// A frame of everything the programs draw beyond ASCII: frames, bars, arrows,
// shades and a letter of code page 437.
std::vector<Cell> Glyphs() { return Frame(12, 2, {"\xda\xc4\xbf\xdc\xdc\x10\x1f\xb0\x82", "\xc0\xc4\xd9 ok"}); }

TEST(Renderer, SendsNoPaddingOfTheTerminalDescriptionAsText) {
  using winapi::terminal::Charset;
  Capabilities caps = Load("vt100", Charset::kUtf8); // clear, cup, sgr0 and bold carry $<N>
  Renderer renderer(caps);
  renderer.SetTerminalSize(20, 4);
  auto frame = Frame(20, 4, {"Tx_Host      12", "", "rate"});
  frame[5].attr = 0x0F;
  frame[6].attr = 0x1E;
  std::string out;
  renderer.Render(frame.data(), 20, 4, out);
  frame[0].ch = 'X';
  renderer.Render(frame.data(), 20, 4, out);
  renderer.PlaceCursor({2, 3}, true, out);
  EXPECT_EQ(out.find("$<"), std::string::npos) << testing::PrintToString(out);
  EXPECT_NE(out.find("\x1b[1;1HX"), std::string::npos) << "the cursor moves without its padding";

  // Padding becomes pad characters only where the terminal needs it.
  caps.baudRate = 9600;
  EXPECT_EQ(caps.Padded("\x1b[H$<5/>x"), std::string("\x1b[H", 3) + std::string(5, '\0') + "x") << "mandatory";
  EXPECT_EQ(caps.Padded("a$<50>b"), "ab") << "XON/XOFF flow control needs none";
  caps.xonXoff = false;
  caps.padBaudRate = 1200;
  EXPECT_EQ(caps.Padded("a$<2.5*>b"), "a" + std::string(2, '\0') + "b");
  caps.baudRate = 300;
  EXPECT_EQ(caps.Padded("a$<50>b"), "ab") << "below the padding baud rate";
  EXPECT_EQ(caps.Padded("cost $5 <3"), "cost $5 <3") << "a '$' that starts no padding stays";
}

TEST(Renderer, DrawsByTheCharsetOfTheLocale) {
  using winapi::terminal::Charset;
  auto frame = Glyphs();
  auto draw = [&](const Capabilities &caps) {
    Renderer renderer(caps);
    renderer.SetTerminalSize(12, 2);
    std::string out;
    renderer.Render(frame.data(), 12, 2, out);
    return out;
  };

  std::string utf8 = draw(Load("xterm", Charset::kUtf8));
  EXPECT_NE(utf8.find("\u250C\u2500\u2510\u2584\u2584\u25BA\u25BC\u2591\u00E9"), std::string::npos);

  // Latin-1 shows its own letters; lines and blocks come from the alternate set.
  Capabilities xterm = Load("xterm", Charset::kLatin1);
  std::string latin1 = draw(xterm);
  for (char c : latin1) EXPECT_TRUE(static_cast<unsigned char>(c) < 0x80 || c == '\xe9');
  // Blocks, arrows and shades that the terminal's set lacks are ASCII look-alikes.
  EXPECT_NE(latin1.find(xterm.acsOn + "lqk" + xterm.acsOff + "##>v.\xe9"), std::string::npos)
      << testing::PrintToString(latin1);
  EXPECT_NE(latin1.find(xterm.acsOn + "mqj" + xterm.acsOff + " ok"), std::string::npos);

  // ISO 8859-15 has the one-half sign's code for another letter.
  auto half = Frame(12, 2, {"\xab\x82"});
  Capabilities latin9 = Load("xterm", Charset::kLatin9);
  Renderer renderer(latin9);
  renderer.SetTerminalSize(12, 2);
  std::string shown;
  renderer.Render(half.data(), 12, 2, shown);
  EXPECT_NE(shown.find("?\xe9"), std::string::npos) << testing::PrintToString(shown);

  Capabilities vt100 = Load("vt100", Charset::kAscii);
  std::string ascii = draw(vt100);
  EXPECT_FALSE(AnyHighByte(ascii));
  EXPECT_NE(ascii.find(vt100.acsEnable), std::string::npos) << "the alternate set is enabled first";
  EXPECT_NE(ascii.find("\x0elqk\x0f##>v.?"), std::string::npos) << testing::PrintToString(ascii);
  EXPECT_EQ(ascii.substr(ascii.size() - 4), "\x0f ok") << "no alternate set is left in force";

  Capabilities plain = Load("vt100", Charset::kAscii);
  plain.acsOn.clear();
  std::fill(std::begin(plain.acs), std::end(plain.acs), 0);
  std::string bare = draw(plain);
  EXPECT_FALSE(AnyHighByte(bare));
  EXPECT_NE(bare.find("+-+##>v.?"), std::string::npos) << testing::PrintToString(bare);
  EXPECT_NE(bare.find("+-+ ok"), std::string::npos);
}

} // namespace

// Without colour (NO_COLOR, or a terminal that has none) no colour is sent: the
// reverse and underline bits, white and dark grey are what tell cells apart.
TEST(Renderer, SendsAttributesButNoColourWhenColourIsOff) {
  Capabilities caps = Xterm();
  caps.foreground = "<fg%p1%d>";
  caps.background = "<bg%p1%d>";
  caps.bold = "<bold>";
  caps.dim = "<dim>";
  caps.reverse = "<rev>";
  caps.underline = "<smul>";
  std::vector<Cell> frame = Frame(4, 1, {"abcd"});
  frame[0].attr = 0x1F; // white on blue
  frame[1].attr = 0x78; // dark grey on grey
  frame[2].attr = 0x07 | COMMON_LVB_REVERSE_VIDEO;
  frame[3].attr = 0x0F | COMMON_LVB_UNDERSCORE;
  for (bool colour : {true, false}) {
    caps.colour = colour;
    Renderer renderer(caps);
    renderer.SetTerminalSize(4, 1);
    std::string out;
    renderer.Render(frame.data(), 4, 1, out);
    EXPECT_EQ(out.find("<fg") != std::string::npos, colour) << out;
    EXPECT_EQ(out.find("<bg") != std::string::npos, colour) << out;
    EXPECT_NE(out.find("<rev>c"), std::string::npos) << out;
    EXPECT_NE(out.find("<smul>d"), std::string::npos) << out;
    EXPECT_NE(out.find("<bold>"), std::string::npos) << out;
    EXPECT_EQ(out.find("<dim>b") != std::string::npos, !colour) << "dark grey text is dim without colour: " << out;
  }
}
