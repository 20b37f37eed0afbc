// Draws the windows into a grid of character cells: what the terminal front end
// shows and what automation reads back.
#pragma once

#include <string>
#include <vector>

#include "window_manager.h"

namespace winapi {

// Console character attributes (foreground in the low nibble, background above).
namespace colour {
constexpr WORD kDesktop = 0x1F;      // white on blue
constexpr WORD kDialog = 0x70;       // black on grey
constexpr WORD kDisabled = 0x78;     // dark grey on grey
constexpr WORD kCaption = 0x1F;      // white on blue
constexpr WORD kField = 0x07;        // grey on black
constexpr WORD kFieldFocus = 0x0F;   // white on black
constexpr WORD kSelectedText = 0x1F; // the selection in a focused field: white on blue
constexpr WORD kFocus = 0x1F;        // the focused button or check box
constexpr WORD kDefault = 0x7F;      // the default button: white on grey
constexpr WORD kList = 0x70;
constexpr WORD kListHighlight = 0x1F;
constexpr WORD kStatus = 0x4F; // white on red: the status line
} // namespace colour

// The attributes of each part of a dialog. Without colour (NO_COLOR, or a
// terminal that has none) the parts differ by reverse video, underline,
// intensity and dimness alone: the terminal renderer turns dark grey text into
// dim text and white into bold.
struct Palette {
  WORD desktop, dialog, disabled, caption, field, disabledField, fieldFocus, selectedText, focus, defaultButton, list,
      listHighlight, status;
};
const Palette &PaletteFor(bool colour);

struct ScreenCell {
  char32_t ch = U' ';
  WORD attr = colour::kDesktop;
};

struct ScreenImage {
  int columns = 0;
  int rows = 0;
  std::vector<ScreenCell> cells;
  int cursorColumn = -1; // -1: no cursor shown
  int cursorRow = -1;
  bool tooSmall = false;              // the windows did not fit: a line says so instead
  std::string RowText(int row) const; // UTF-8
  WORD AttributeAt(int column, int row) const { return cells[static_cast<size_t>(row * columns + column)].attr; }
};

// Cells that the visible top-level windows need: the largest width and height.
CellSize NeededScreenSize();

// The screen with every visible top-level window; notice (when not empty) is
// shown in the newest window's bottom frame in place of the key help. A screen
// smaller than the windows need shows one plain line saying both sizes.
ScreenImage RenderScreen(CellSize size, const std::string &notice, bool colour = true);

} // namespace winapi
