// The console of the process: one screen buffer of cells and one input buffer of
// events, mirrored onto the controlling terminal (or, for tests, kept in memory
// with no terminal at all).
#pragma once

#include <windows.h>

#include <deque>
#include <memory>
#include <vector>

#include "handle_table.h"
#include "terminal.h"

namespace winapi {

class ScreenBuffer : public KernelObject {
 public:
  ScreenBuffer(int width, int height);
  int Width() const { return width_; }
  int Height() const { return height_; }
  COORD Cursor() const { return cursor_; }
  void SetCursor(COORD cursor) { cursor_ = cursor; }
  bool Contains(COORD c) const { return c.X >= 0 && c.Y >= 0 && c.X < width_ && c.Y < height_; }
  WORD Attribute() const { return attr_; }
  DWORD Mode() const { return mode_; }
  void SetMode(DWORD mode) { mode_ = mode; }
  const terminal::Cell &At(int x, int y) const { return cells_[static_cast<size_t>(y) * width_ + x]; }
  const terminal::Cell *Cells() const { return cells_.data(); }

  // From a cell on, along the rows, up to the end of the buffer; the count done.
  DWORD FillCharacter(COORD from, unsigned char ch, DWORD count);
  DWORD FillAttribute(COORD from, WORD attr, DWORD count);
  DWORD WriteCharacters(COORD from, const char *text, DWORD count);
  // Text at the cursor, as WriteConsoleA writes it: control characters act when
  // the output is processed, lines wrap, the buffer scrolls at its foot.
  void WriteText(const char *text, DWORD count);

  // Rows changed since the last TakeDirty; false when none.
  bool TakeDirty(int *first, int *last);

 private:
  void Touch(int row);
  void NewLine();
  int width_, height_;
  std::vector<terminal::Cell> cells_;
  COORD cursor_{0, 0};
  WORD attr_ = 0x07;
  DWORD mode_ = ENABLE_PROCESSED_OUTPUT | ENABLE_WRAP_AT_EOL_OUTPUT;
  int dirtyFirst_ = 0x7FFF, dirtyLast_ = -1;
};

class InputBuffer : public KernelObject {
 public:
  std::deque<INPUT_RECORD> events;
  DWORD mode = ENABLE_PROCESSED_INPUT | ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT | ENABLE_MOUSE_INPUT;
};

// A standard handle that is not the console (redirected to a file or a pipe):
// console calls on it fail, as on Windows.
class StandardStream : public KernelObject {
 public:
  explicit StandardStream(int fd) : fd(fd) {}
  int fd;
};

struct Console {
  std::shared_ptr<ScreenBuffer> screen;
  std::shared_ptr<InputBuffer> input;
  terminal::Terminal *terminal = nullptr; // null: a test console, in memory only
  std::unique_ptr<terminal::Renderer> renderer;
  bool stdoutIsConsole = false;                       // printf() writes into the screen buffer
  HANDLE stdHandles[3] = {nullptr, nullptr, nullptr}; // input, output, error
};

// The console, made on first use; null when the process has none.
Console *GetConsole();
// Brings the terminal up to the buffer; with the cursor too when placeCursor
// (before the program waits, so that the cursor is seen where it stands).
void PresentConsole(bool placeCursor);
// Says once on standard error why the process has no console to draw on.
void ReportNoConsole();
// Reads what keys the terminal has (waiting up to timeoutMs) into the input buffer.
void PumpConsoleInput(int timeoutMs);
// Sleep's wait: on a terminal it watches for input, so that a look without
// waiting right after it does not ask the terminal again.
void SleepWatchingConsole(DWORD milliseconds);

// Test hooks (console_test.h).
void BeginTestConsole(int width, int height, bool stdoutIsConsole);
void EndTestConsole();

} // namespace winapi
