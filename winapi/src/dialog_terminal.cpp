// The terminal front end of windows and dialogs: the screen drawn on the
// controlling terminal (so that it works while standard output is captured) and
// the keyboard read from it.
#include <algorithm>

#include "console.h"
#include "dialog_render.h"
#include "terminal.h"
#include "window_manager.h"

namespace winapi {
namespace {

constexpr int kRepaintPollMs = 250;

unsigned ModifiersOf(DWORD controlState) {
  unsigned modifiers = 0;
  if (controlState & SHIFT_PRESSED) modifiers |= kShift;
  if (controlState & (LEFT_CTRL_PRESSED | RIGHT_CTRL_PRESSED)) modifiers |= kControl;
  if (controlState & (LEFT_ALT_PRESSED | RIGHT_ALT_PRESSED)) modifiers |= kAlt;
  return modifiers;
}

// The cell's byte: code page 437 has glyphs for the arrows among its control bytes.
unsigned char Cp437Byte(char32_t c) {
  switch (c) {
    case U'\u25BA':
      return 0x10; // ►
    case U'\u25C4':
      return 0x11; // ◄
    case U'\u2191':
      return 0x18; // ↑
    case U'\u2193':
      return 0x19; // ↓
    case U'\u25B2':
      return 0x1E; // ▲
    case U'\u25BC':
      return 0x1F; // ▼
    default:
      return terminal::UnicodeToCp437(c);
  }
}

bool AnyVisibleWindow() {
  for (HWND h : TopLevelWindows()) {
    if (Window *w = FindWindowRecord(h); w && (w->style & WS_VISIBLE)) return true;
  }
  return false;
}

std::string HelpCommandName(UINT command) {
  switch (command) {
    case HELP_CONTENTS:
      return "its contents";
    case HELP_CONTEXT:
      return "a topic";
    case HELP_KEY:
    case HELP_PARTIALKEY:
      return "a keyword";
    case HELP_HELPONHELP:
      return "help on help";
    default:
      return "command " + std::to_string(command);
  }
}

class TerminalScreen : public FrontEnd {
 public:
  bool Available() override {
    terminal::Terminal *tty = terminal::Terminal::Get();
    if (tty == nullptr) ReportNoConsole(); // says on standard error what the terminal lacks
    return tty != nullptr && !tty->HungUp();
  }

  CellSize ScreenSize() override {
    terminal::Terminal *tty = terminal::Terminal::Get();
    if (tty == nullptr) return CellSize{};
    return CellSize{tty->Columns(), tty->Rows()};
  }

  bool WaitForInput() override {
    terminal::Terminal *tty = terminal::Terminal::Get();
    if (tty == nullptr || tty->HungUp() || !AnyVisibleWindow()) return false; // no input can come
    std::vector<KEY_EVENT_RECORD> keys;
    bool shown = false;
    while (keys.empty()) {
      shown = Draw(*tty);
      tty->ReadKeys(keys, kRepaintPollMs);
      if (tty->HungUp()) return false;
    }
    for (const KEY_EVENT_RECORD &key : keys) {
      if (!key.bKeyDown) continue;
      // Keys typed at a dialog that cannot be seen would change fields unseen:
      // only Escape, which leaves it, counts until the terminal is large enough.
      if (!shown && key.wVirtualKeyCode != VK_ESCAPE) continue;
      notice_.clear(); // a help notice stays until the next key
      PostKeyInput(key.wVirtualKeyCode, key.uChar.AsciiChar, ModifiersOf(key.dwControlKeyState));
    }
    return true;
  }

  void Beep() override {
    if (terminal::Terminal *tty = terminal::Terminal::Get()) {
      const std::string &bell = tty->Caps().beep;
      tty->Write(bell.empty() ? std::string("\a") : bell);
    }
  }

  void HelpRequested(const std::string &file, UINT command) override {
    if (command == HELP_QUIT) return;
    notice_ = "Help: " + file + ", " + HelpCommandName(command) + " (no help viewer here)";
  }

  void WindowsChanged() override {
    terminal::Terminal *tty = terminal::Terminal::Get();
    if (tty == nullptr || AnyVisibleWindow() || renderer_ == nullptr) return;
    // The last window went: give the terminal back blank, cursor shown.
    std::string out = tty->Caps().attributesOff + tty->Caps().clearScreen + tty->Caps().cursorNormal;
    tty->Write(out);
    terminal::Terminal::SetClearAtRestore(false);
    renderer_->Invalidate();
  }

 private:
  // Draws the windows; false when the terminal is too small to show them.
  bool Draw(terminal::Terminal &tty) {
    if (renderer_ == nullptr) renderer_ = std::make_unique<terminal::Renderer>(tty.Caps());
    if (tty.TakeRepaint()) renderer_->Invalidate();
    CellSize size{tty.Columns(), tty.Rows()};
    if (size.columns != drawnSize_.columns || size.rows != drawnSize_.rows) {
      if (drawnSize_.columns > 0) CentreWindows(size);
      drawnSize_ = size;
    }
    renderer_->SetTerminalSize(size.columns, size.rows);
    terminal::Terminal::SetClearAtRestore(true);
    ScreenImage image = RenderScreen(size, notice_, tty.Caps().colour);
    std::vector<terminal::Cell> cells(image.cells.size());
    for (size_t i = 0; i < cells.size(); ++i) {
      cells[i].ch = Cp437Byte(image.cells[i].ch);
      cells[i].attr = image.cells[i].attr;
    }
    std::string out;
    renderer_->Render(cells.data(), image.columns, image.rows, out);
    COORD cursor{static_cast<SHORT>(image.cursorColumn), static_cast<SHORT>(image.cursorRow)};
    renderer_->PlaceCursor(cursor, image.cursorColumn >= 0, out);
    tty.Write(out);
    return !image.tooSmall;
  }

  // The terminal was resized: each window is centred again, as it was centred
  // when it was shown.
  static void CentreWindows(CellSize size) {
    for (HWND h : TopLevelWindows()) {
      Window *w = FindWindowRecord(h);
      if (w == nullptr || !(w->style & WS_VISIBLE)) continue;
      int x = std::max(0, (size.columns - static_cast<int>(w->rect.right - w->rect.left)) / 2);
      int y = std::max(0, (size.rows - static_cast<int>(w->rect.bottom - w->rect.top)) / 2);
      SetWindowPos(h, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
  }

  std::unique_ptr<terminal::Renderer> renderer_;
  CellSize drawnSize_{0, 0};
  std::string notice_;
};

} // namespace

FrontEnd &TerminalFrontEnd() {
  static TerminalScreen *frontEnd = new TerminalScreen; // used until the process ends
  return *frontEnd;
}

} // namespace winapi
