// Console output: the screen buffer's cells and cursor, and the calls that
// write them. The calls change the buffer only: the terminal is brought up to
// it when the program waits (console.cpp), so it is sent finished screens.
#include <algorithm>

#include "console.h"

namespace winapi {

ScreenBuffer::ScreenBuffer(int width, int height)
    : width_(width), height_(height), cells_(static_cast<size_t>(width) * height) {
  dirtyFirst_ = 0;
  dirtyLast_ = height - 1;
}

void ScreenBuffer::Touch(int row) {
  dirtyFirst_ = std::min(dirtyFirst_, row);
  dirtyLast_ = std::max(dirtyLast_, row);
}

bool ScreenBuffer::TakeDirty(int *first, int *last) {
  if (dirtyLast_ < dirtyFirst_) return false;
  *first = dirtyFirst_;
  *last = dirtyLast_;
  dirtyFirst_ = 0x7FFF;
  dirtyLast_ = -1;
  return true;
}

DWORD ScreenBuffer::FillCharacter(COORD from, unsigned char ch, DWORD count) {
  size_t start = static_cast<size_t>(from.Y) * width_ + from.X;
  size_t n = std::min<size_t>(count, cells_.size() - start);
  for (size_t i = 0; i < n; ++i) cells_[start + i].ch = ch;
  if (n) {
    Touch(from.Y);
    Touch(static_cast<int>((start + n - 1) / width_));
  }
  return static_cast<DWORD>(n);
}

DWORD ScreenBuffer::FillAttribute(COORD from, WORD attr, DWORD count) {
  size_t start = static_cast<size_t>(from.Y) * width_ + from.X;
  size_t n = std::min<size_t>(count, cells_.size() - start);
  for (size_t i = 0; i < n; ++i) cells_[start + i].attr = attr;
  if (n) {
    Touch(from.Y);
    Touch(static_cast<int>((start + n - 1) / width_));
  }
  return static_cast<DWORD>(n);
}

DWORD ScreenBuffer::WriteCharacters(COORD from, const char *text, DWORD count) {
  size_t start = static_cast<size_t>(from.Y) * width_ + from.X;
  size_t n = std::min<size_t>(count, cells_.size() - start);
  for (size_t i = 0; i < n; ++i) cells_[start + i].ch = static_cast<unsigned char>(text[i]);
  if (n) {
    Touch(from.Y);
    Touch(static_cast<int>((start + n - 1) / width_));
  }
  return static_cast<DWORD>(n);
}

void ScreenBuffer::NewLine() {
  cursor_.X = 0;
  if (cursor_.Y + 1 < height_) {
    ++cursor_.Y;
    return;
  }
  // At the foot of the buffer its content moves up one row.
  std::move(cells_.begin() + width_, cells_.end(), cells_.begin());
  std::fill(cells_.end() - width_, cells_.end(), terminal::Cell{' ', attr_});
  Touch(0);
  Touch(height_ - 1);
}

void ScreenBuffer::WriteText(const char *text, DWORD count) {
  bool processed = (mode_ & ENABLE_PROCESSED_OUTPUT) != 0;
  bool wrap = (mode_ & ENABLE_WRAP_AT_EOL_OUTPUT) != 0;
  for (DWORD i = 0; i < count; ++i) {
    unsigned char ch = static_cast<unsigned char>(text[i]);
    if (processed) {
      switch (ch) {
        case '\n':
          NewLine();
          continue;
        case '\r':
          cursor_.X = 0;
          continue;
        case '\b':
          if (cursor_.X > 0) --cursor_.X;
          continue;
        case '\a':
          continue;
        case '\t': {
          int stop = std::min((cursor_.X / 8 + 1) * 8, width_);
          while (cursor_.X < stop) {
            cells_[static_cast<size_t>(cursor_.Y) * width_ + cursor_.X] = terminal::Cell{' ', attr_};
            ++cursor_.X;
          }
          Touch(cursor_.Y);
          if (cursor_.X >= width_) {
            if (wrap)
              NewLine();
            else
              cursor_.X = static_cast<SHORT>(width_ - 1);
          }
          continue;
        }
        default:
          break;
      }
    }
    cells_[static_cast<size_t>(cursor_.Y) * width_ + cursor_.X] = terminal::Cell{ch, attr_};
    Touch(cursor_.Y);
    if (cursor_.X + 1 < width_)
      ++cursor_.X;
    else if (wrap)
      NewLine();
  }
}

namespace {

std::shared_ptr<ScreenBuffer> Screen(HANDLE handle) {
  auto screen = LookupHandleAs<ScreenBuffer>(handle);
  if (!screen) SetLastError(ERROR_INVALID_HANDLE);
  return screen;
}

BOOL Counted(LPDWORD out, DWORD count) {
  if (out) *out = count;
  return TRUE;
}

// A start outside the buffer writes nothing; a negative one is refused.
bool StartOk(const ScreenBuffer &screen, COORD from, LPDWORD written, bool *nothing) {
  *nothing = false;
  if (from.X < 0 || from.Y < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  if (!screen.Contains(from)) {
    *nothing = true;
    if (written) *written = 0;
  }
  return true;
}

} // namespace

} // namespace winapi

using winapi::Screen;

extern "C" BOOL WINAPI GetConsoleScreenBufferInfo(HANDLE hConsoleOutput,
                                                  PCONSOLE_SCREEN_BUFFER_INFO lpConsoleScreenBufferInfo) {
  auto screen = Screen(hConsoleOutput);
  if (!screen) return FALSE;
  if (!lpConsoleScreenBufferInfo) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  int shownWidth = screen->Width(), shownHeight = screen->Height();
  winapi::Console *console = winapi::GetConsole();
  if (console && console->terminal) {
    shownWidth = std::min(shownWidth, console->terminal->Columns());
    shownHeight = std::min(shownHeight, console->terminal->Rows());
  }
  CONSOLE_SCREEN_BUFFER_INFO &info = *lpConsoleScreenBufferInfo;
  info.dwSize = {static_cast<SHORT>(screen->Width()), static_cast<SHORT>(screen->Height())};
  info.dwCursorPosition = screen->Cursor();
  info.wAttributes = screen->Attribute();
  info.srWindow = {0, 0, static_cast<SHORT>(shownWidth - 1), static_cast<SHORT>(shownHeight - 1)};
  info.dwMaximumWindowSize = {static_cast<SHORT>(screen->Width()), static_cast<SHORT>(screen->Height())};
  return TRUE;
}

extern "C" BOOL WINAPI FillConsoleOutputCharacterA(HANDLE hConsoleOutput, CHAR cCharacter, DWORD nLength,
                                                   COORD dwWriteCoord, LPDWORD lpNumberOfCharsWritten) {
  auto screen = Screen(hConsoleOutput);
  bool nothing;
  if (!screen || !winapi::StartOk(*screen, dwWriteCoord, lpNumberOfCharsWritten, &nothing)) return FALSE;
  if (nothing) return TRUE;
  DWORD n = screen->FillCharacter(dwWriteCoord, static_cast<unsigned char>(cCharacter), nLength);
  return winapi::Counted(lpNumberOfCharsWritten, n);
}

extern "C" BOOL WINAPI FillConsoleOutputAttribute(HANDLE hConsoleOutput, WORD wAttribute, DWORD nLength,
                                                  COORD dwWriteCoord, LPDWORD lpNumberOfAttrsWritten) {
  auto screen = Screen(hConsoleOutput);
  bool nothing;
  if (!screen || !winapi::StartOk(*screen, dwWriteCoord, lpNumberOfAttrsWritten, &nothing)) return FALSE;
  if (nothing) return TRUE;
  DWORD n = screen->FillAttribute(dwWriteCoord, wAttribute, nLength);
  return winapi::Counted(lpNumberOfAttrsWritten, n);
}

extern "C" BOOL WINAPI WriteConsoleOutputCharacterA(HANDLE hConsoleOutput, LPCSTR lpCharacter, DWORD nLength,
                                                    COORD dwWriteCoord, LPDWORD lpNumberOfCharsWritten) {
  auto screen = Screen(hConsoleOutput);
  bool nothing;
  if (!screen || !winapi::StartOk(*screen, dwWriteCoord, lpNumberOfCharsWritten, &nothing)) return FALSE;
  if (nothing) return TRUE;
  if (!lpCharacter && nLength) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  DWORD n = screen->WriteCharacters(dwWriteCoord, lpCharacter, nLength);
  return winapi::Counted(lpNumberOfCharsWritten, n);
}

extern "C" BOOL WINAPI SetConsoleCursorPosition(HANDLE hConsoleOutput, COORD dwCursorPosition) {
  auto screen = Screen(hConsoleOutput);
  if (!screen) return FALSE;
  if (!screen->Contains(dwCursorPosition)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  screen->SetCursor(dwCursorPosition);
  return TRUE;
}

extern "C" BOOL WINAPI WriteConsoleA(HANDLE hConsoleOutput, const VOID *lpBuffer, DWORD nNumberOfCharsToWrite,
                                     LPDWORD lpNumberOfCharsWritten, LPVOID lpReserved) {
  (void)lpReserved;
  auto screen = Screen(hConsoleOutput);
  if (!screen) return FALSE;
  if (!lpBuffer && nNumberOfCharsToWrite) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  screen->WriteText(static_cast<const char *>(lpBuffer), nNumberOfCharsToWrite);
  return winapi::Counted(lpNumberOfCharsWritten, nNumberOfCharsToWrite);
}
