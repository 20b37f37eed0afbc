// Frames of cells onto the terminal, writing only what differs from what it
// shows: an unchanged screen costs nothing, a changed field costs one cursor
// move and its characters.
#include "terminal.h"

#include <algorithm>

namespace winapi::terminal {
namespace {

constexpr WORD kDefaultAttribute = 0x07; // grey on black: the terminal's own colours
// Unchanged cells between two changed ones that are rewritten rather than jumped
// over: a cursor move costs about as much as four cells.
constexpr int kMaxGap = 4;

// Win32 colour bits (1 blue, 2 green, 4 red) to the ANSI colour number.
int AnsiColour(int win) { return ((win & 1) << 2) | (win & 2) | ((win & 4) >> 2); }

// A character that a terminal without it can show in its alternate character
// set (by its VT100 name) or, failing that, as a 7-bit ASCII look-alike.
struct Substitute {
  char32_t c;
  char acs; // 0: none
  char ascii;
};

constexpr Substitute kSubstitutes[] = {
    {U'\u2500', 'q', '-'}, {U'\u2550', 'q', '='}, {U'\u2502', 'x', '|'}, {U'\u2551', 'x', '|'}, {U'\u250C', 'l', '+'},
    {U'\u2554', 'l', '+'}, {U'\u2552', 'l', '+'}, {U'\u2553', 'l', '+'}, {U'\u2510', 'k', '+'}, {U'\u2557', 'k', '+'},
    {U'\u2555', 'k', '+'}, {U'\u2556', 'k', '+'}, {U'\u2514', 'm', '+'}, {U'\u255A', 'm', '+'}, {U'\u2558', 'm', '+'},
    {U'\u2559', 'm', '+'}, {U'\u2518', 'j', '+'}, {U'\u255D', 'j', '+'}, {U'\u255B', 'j', '+'}, {U'\u255C', 'j', '+'},
    {U'\u251C', 't', '+'}, {U'\u2560', 't', '+'}, {U'\u255E', 't', '+'}, {U'\u255F', 't', '+'}, {U'\u2524', 'u', '+'},
    {U'\u2563', 'u', '+'}, {U'\u2561', 'u', '+'}, {U'\u2562', 'u', '+'}, {U'\u252C', 'w', '+'}, {U'\u2566', 'w', '+'},
    {U'\u2564', 'w', '+'}, {U'\u2565', 'w', '+'}, {U'\u2534', 'v', '+'}, {U'\u2569', 'v', '+'}, {U'\u2567', 'v', '+'},
    {U'\u2568', 'v', '+'}, {U'\u253C', 'n', '+'}, {U'\u256C', 'n', '+'}, {U'\u256A', 'n', '+'}, {U'\u256B', 'n', '+'},
    {U'\u2588', '0', '#'}, {U'\u2584', '0', '#'}, {U'\u2580', '0', '#'}, {U'\u258C', '0', '#'}, {U'\u2590', '0', '#'},
    {U'\u2593', '0', '#'}, {U'\u2592', 'a', ':'}, {U'\u2591', 'h', '.'}, {U'\u25A0', '0', '#'}, {U'\u2191', '-', '^'},
    {U'\u25B2', '-', '^'}, {U'\u2193', '.', 'v'}, {U'\u25BC', '.', 'v'}, {U'\u2190', ',', '<'}, {U'\u25C4', ',', '<'},
    {U'\u2192', '+', '>'}, {U'\u25BA', '+', '>'}, {U'\u00B7', '~', '.'}, {U'\u2219', '~', '.'}, {U'\u2022', '~', '*'},
    {U'\u00B0', 'f', 'o'}, {U'\u00B1', 'g', '+'}, {U'\u2264', 'y', '<'}, {U'\u2265', 'z', '>'}, {U'\u03C0', '{', 'p'},
    {U'\u00A3', '}', 'L'}, {U'\u2666', '`', '*'}, {U'\u00A0', 0, ' '},
};

// A character that the locale's 8-bit set holds at its own code.
bool InEightBitSet(Charset charset, char32_t c) {
  if (c < 0xA0 || c > 0xFF) return false;
  if (charset == Charset::kLatin1) return true;
  if (charset != Charset::kLatin9) return false;
  // ISO 8859-15 put other characters (the euro sign, the OE ligatures, ...) at these codes.
  for (char32_t replaced : {0xA4, 0xA6, 0xA8, 0xB4, 0xB8, 0xBC, 0xBD, 0xBE})
    if (c == replaced) return false;
  return true;
}

const Substitute *FindSubstitute(char32_t c) {
  for (const Substitute &s : kSubstitutes)
    if (s.c == c) return &s;
  return nullptr;
}

} // namespace

void Renderer::LeaveAcs(std::string &out) {
  if (!acsShown_) return;
  out += caps_.acsOff;
  acsShown_ = false;
}

void Renderer::AppendGlyph(unsigned char ch, std::string &out) {
  char32_t c = Cp437ToUnicode(ch);
  if (caps_.charset == Charset::kUtf8) {
    AppendUtf8(out, c);
    return;
  }
  const Substitute *substitute = c < 0x80 ? nullptr : FindSubstitute(c);
  if (substitute && substitute->acs && caps_.acs[static_cast<unsigned char>(substitute->acs)]) {
    if (!acsShown_) out += caps_.acsOn;
    acsShown_ = true;
    out += static_cast<char>(caps_.acs[static_cast<unsigned char>(substitute->acs)]);
    return;
  }
  LeaveAcs(out);
  if (c < 0x80 || InEightBitSet(caps_.charset, c))
    out += static_cast<char>(c);
  else
    out += substitute ? substitute->ascii : '?';
}

// A run of blank cells in the terminal's own colours, from `from` to at most
// `last`, is erased rather than written where that is shorter (a bar graph
// falling to nothing): the cursor stays where the run begins, and is moved past
// it only when more cells follow. False when the cells are written instead.
bool Renderer::EraseBlanks(const Cell *row, int from, int last, std::string &out) {
  const Cell blank{};
  int end = from;
  while (end <= last && row[end] == blank) ++end;
  int count = end - from;
  if (count < 2) return false;
  std::string erase = caps_.EraseChars(count);
  std::string past = end <= last ? caps_.MoveBy(count, 0) : std::string();
  if (erase.empty() || (end <= last && past.empty()) || erase.size() + past.size() >= static_cast<size_t>(count))
    return false;
  LeaveAcs(out);
  SetAttribute(blank.attr, out); // erased cells take the current attributes
  out += erase;
  out += past;
  cursorX_ = end <= last ? end : from;
  return true;
}

void Renderer::SetTerminalSize(int columns, int rows) {
  if (columns == columns_ && rows == rows_) return;
  columns_ = columns;
  rows_ = rows;
  valid_ = false;
  // Sized now, while the program sets up its screen: the first frame, sent when
  // the program first waits, then finds the memory it needs.
  shown_.assign(static_cast<size_t>(columns_) * rows_, Cell{});
}

void Renderer::MoveTo(int x, int y, std::string &out) {
  if (x == cursorX_ && y == cursorY_) return;
  std::string absolute = caps_.MoveTo(x, y);
  // From a known place, a relative motion is often shorter: a field one row
  // below the last one written costs a few bytes instead of a full address.
  std::string relative = cursorX_ >= 0 && cursorY_ >= 0 ? caps_.MoveBy(x - cursorX_, y - cursorY_) : std::string();
  out += !relative.empty() && relative.size() < absolute.size() ? relative : absolute;
  cursorX_ = x;
  cursorY_ = y;
}

void Renderer::SetAttribute(WORD attr, std::string &out) {
  if (attr == attr_) return;
  out += caps_.attributesOff;
  if (attr != kDefaultAttribute) {
    int foreground = attr & 0x0F;
    if (caps_.colour) {
      if (attr & FOREGROUND_INTENSITY) out += caps_.bold;
      out += caps_.Foreground(AnsiColour(attr & 7));
      out += caps_.Background(AnsiColour((attr >> 4) & 7));
    } else if (foreground == FOREGROUND_INTENSITY) { // dark grey: dimmed text
      out += caps_.dim;
    } else if (attr & FOREGROUND_INTENSITY) {
      out += caps_.bold;
    }
    if (attr & COMMON_LVB_REVERSE_VIDEO) out += caps_.reverse;
    if (attr & COMMON_LVB_UNDERSCORE) out += caps_.underline;
  }
  attr_ = attr;
}

void Renderer::Render(const Cell *cells, int width, int height, std::string &out, int firstRow, int lastRow) {
  if (!valid_) {
    LeaveAcs(out);
    if (caps_.charset != Charset::kUtf8) out += caps_.acsEnable;
    out += caps_.attributesOff;
    attr_ = kDefaultAttribute;
    out += caps_.clearScreen; // also homes the cursor
    cursorX_ = 0;
    cursorY_ = 0;
    shown_.assign(static_cast<size_t>(columns_) * rows_, Cell{});
    valid_ = true;
    firstRow = 0;
    lastRow = rows_ - 1;
  }
  int w = std::min(width, columns_);
  int h = std::min(height, rows_);
  auto shown = [&](int x, int y) -> Cell & { return shown_[static_cast<size_t>(y) * columns_ + x]; };
  auto wanted = [&](int x, int y) -> const Cell & { return cells[static_cast<size_t>(y) * width + x]; };
  // Where writing the last cell would scroll the screen, that one cell is left.
  bool lastCellScrolls = caps_.autoMargin && !caps_.eatNewline && w == columns_ && h == rows_;
  for (int y = std::max(firstRow, 0); y < h && y <= lastRow; ++y) {
    int rowEnd = (lastCellScrolls && y == h - 1) ? w - 1 : w;
    int x = 0;
    while (x < rowEnd) {
      while (x < rowEnd && shown(x, y) == wanted(x, y)) ++x;
      if (x == rowEnd) break;
      int last = x;
      for (int probe = x + 1; probe < rowEnd && probe - last <= kMaxGap + 1; ++probe)
        if (!(shown(probe, y) == wanted(probe, y))) last = probe;
      MoveTo(x, y, out);
      const Cell *row = &wanted(0, y);
      for (int i = x; i <= last; ++i) {
        const Cell &cell = wanted(i, y);
        if (cell.ch == ' ' && EraseBlanks(row, i, last, out)) {
          for (; i <= last && wanted(i, y) == cell; ++i) shown(i, y) = cell;
          --i;
          continue;
        }
        if (cell.attr != attr_) LeaveAcs(out); // the attributes may end it
        SetAttribute(cell.attr, out);
        AppendGlyph(cell.ch, out);
        shown(i, y) = cell;
        cursorX_ = i + 1;
      }
      if (cursorX_ >= columns_) cursorX_ = -1; // the terminal may hold a pending wrap
      x = last + 1;
    }
  }
  LeaveAcs(out); // whatever is written next is in the normal set
}

void Renderer::PlaceCursor(COORD cursor, bool cursorVisible, std::string &out) {
  bool inside = cursor.X >= 0 && cursor.Y >= 0 && cursor.X < columns_ && cursor.Y < rows_;
  bool visible = cursorVisible && inside;
  if (visible != cursorShown_) {
    out += visible ? caps_.cursorNormal : caps_.cursorInvisible;
    cursorShown_ = visible;
  }
  if (visible) MoveTo(cursor.X, cursor.Y, out);
}

} // namespace winapi::terminal
