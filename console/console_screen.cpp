// The screen primitives over the Win32 console calls.
#include "console_screen.h"

#include <stdarg.h>
#include <stdio.h>

// A line of blanks, the source of what ClearToEndOfLine writes; wider lines
// take it more than once.
static const char kBlanks[81] = "                                                                                ";
static const DWORD kBlankCount = 80;

static HANDLE g_screen = NULL;  // the console output handle of the primitives
static HANDLE g_conout = NULL;  // "CONOUT$", for the formatted output

static HANDLE ConsoleOutput(void) {
  if (g_conout == NULL)
    g_conout = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                           OPEN_EXISTING, 0, NULL);
  return g_conout;
}

void ClearScreen(void) {
  CONSOLE_SCREEN_BUFFER_INFO info;
  DWORD done;
  COORD origin = {0, 0};
  if (g_screen == NULL) {
    g_screen = GetStdHandle(STD_OUTPUT_HANDLE);
    // Standard output redirected: its handle is no console, and positions must
    // reach the buffer that the formatted output writes to.
    if (!GetConsoleScreenBufferInfo(g_screen, &info)) g_screen = ConsoleOutput();
  }
  if (!GetConsoleScreenBufferInfo(g_screen, &info)) return;
  DWORD cells = (DWORD)info.dwSize.X * (DWORD)info.dwSize.Y;
  FillConsoleOutputCharacterA(g_screen, ' ', cells, origin, &done);
  GetConsoleScreenBufferInfo(g_screen, &info);
  FillConsoleOutputAttribute(g_screen, info.wAttributes, cells, origin, &done);
  SetConsoleCursorPosition(g_screen, origin);
}

void GotoXY(int column, int row) {
  COORD cell;
  cell.X = (SHORT)(column - 1);
  cell.Y = (SHORT)(row - 1);
  SetConsoleCursorPosition(g_screen, cell);
}

void ClearToEndOfLine(void) {
  CONSOLE_SCREEN_BUFFER_INFO info;
  DWORD done;
  if (!GetConsoleScreenBufferInfo(g_screen, &info)) return;
  COORD at = info.dwCursorPosition;
  DWORD remaining = (DWORD)(info.dwSize.X - at.X);
  while (remaining > 0) {
    DWORD count = remaining < kBlankCount ? remaining : kBlankCount;
    WriteConsoleOutputCharacterA(g_screen, kBlanks, count, at, &done);
    at.X = (SHORT)(at.X + count);
    remaining -= count;
  }
}

int ConsolePrintf(const char *format, ...) {
  static char text[512];
  DWORD written = 0;
  va_list args;
  va_start(args, format);
  int length = vsnprintf(text, sizeof text, format, args);
  va_end(args);
  if (length < 0) return length;
  if ((size_t)length >= sizeof text) length = (int)sizeof text - 1;
  WriteConsoleA(ConsoleOutput(), text, (DWORD)length, &written, NULL);
  return length;
}

int ConsolePutChar(int ch) {
  char c = (char)ch;
  DWORD written = 0;
  WriteConsoleA(ConsoleOutput(), &c, 1, &written, NULL);
  return ch & 0xFF;
}

void ConsoleForgetHandles(void) {
  if (g_conout != NULL && g_conout != INVALID_HANDLE_VALUE) CloseHandle(g_conout);
  g_conout = NULL;
  g_screen = NULL;
}
