// Frames of cells onto the terminal, writing only what differs from what it
// shows: an unchanged screen costs nothing, a changed field costs one cursor
// move and its characters.
#include "terminal.h"

#include <algorithm>

namespace winapi::terminal {
namespace {

constexpr WORD kDefaultAttribute = 0x07;  // grey on black: the terminal's own colours
// Unchanged cells between two changed ones that are rewritten rather than jumped
// over: a cursor move costs about as much as four cells.
constexpr int kMaxGap = 4;

// Win32 colour bits (1 blue, 2 green, 4 red) to the ANSI colour number.
int AnsiColour(int win) { return ((win & 1) << 2) | (win & 2) | ((win & 4) >> 2); }

}  // namespace

void Renderer::SetTerminalSize(int columns, int rows) {
  if (columns == columns_ && rows == rows_) return;
  columns_ = columns;
  rows_ = rows;
  valid_ = false;
}

void Renderer::MoveTo(int x, int y, std::string& out) {
  if (x == cursorX_ && y == cursorY_) return;
  out += caps_.MoveTo(x, y);
  cursorX_ = x;
  cursorY_ = y;
}

void Renderer::SetAttribute(WORD attr, std::string& out) {
  if (attr == attr_) return;
  out += caps_.attributesOff;
  if (attr != kDefaultAttribute) {
    int foreground = attr & 0x0F;
    if (caps_.colour) {
      if (attr & FOREGROUND_INTENSITY) out += caps_.bold;
      out += caps_.Foreground(AnsiColour(attr & 7));
      out += caps_.Background(AnsiColour((attr >> 4) & 7));
    } else if (foreground == FOREGROUND_INTENSITY) {  // dark grey: dimmed text
      out += caps_.dim;
    } else if (attr & FOREGROUND_INTENSITY) {
      out += caps_.bold;
    }
    if (attr & COMMON_LVB_REVERSE_VIDEO) out += caps_.reverse;
    if (attr & COMMON_LVB_UNDERSCORE) out += caps_.underline;
  }
  attr_ = attr;
}

void Renderer::Render(const Cell* cells, int width, int height, std::string& out, int firstRow, int lastRow) {
  if (!valid_) {
    out += caps_.attributesOff;
    attr_ = kDefaultAttribute;
    out += caps_.clearScreen;  // also homes the cursor
    cursorX_ = 0;
    cursorY_ = 0;
    shown_.assign(static_cast<size_t>(columns_) * rows_, Cell{});
    valid_ = true;
    firstRow = 0;
    lastRow = rows_ - 1;
  }
  int w = std::min(width, columns_);
  int h = std::min(height, rows_);
  auto shown = [&](int x, int y) -> Cell& { return shown_[static_cast<size_t>(y) * columns_ + x]; };
  auto wanted = [&](int x, int y) -> const Cell& { return cells[static_cast<size_t>(y) * width + x]; };
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
      for (int i = x; i <= last; ++i) {
        const Cell& cell = wanted(i, y);
        SetAttribute(cell.attr, out);
        AppendUtf8(out, Cp437ToUnicode(cell.ch));
        shown(i, y) = cell;
      }
      cursorX_ = last + 1;
      if (cursorX_ >= columns_) cursorX_ = -1;  // the terminal may hold a pending wrap
      x = last + 1;
    }
  }
}

void Renderer::PlaceCursor(COORD cursor, bool cursorVisible, std::string& out) {
  bool inside = cursor.X >= 0 && cursor.Y >= 0 && cursor.X < columns_ && cursor.Y < rows_;
  bool visible = cursorVisible && inside;
  if (visible != cursorShown_) {
    out += visible ? caps_.cursorNormal : caps_.cursorInvisible;
    cursorShown_ = visible;
  }
  if (visible) MoveTo(cursor.X, cursor.Y, out);
}

}  // namespace winapi::terminal
