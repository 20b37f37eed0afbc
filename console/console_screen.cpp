/* The screen primitives over the Win32 console calls. */
#include "console_testing.h"

#include <stdarg.h>
#include <stdio.h>

/* A line of blanks, the source of what ClearToEndOfLine writes; wider lines
   take it more than once. */
static const char Blanks[81] = "                                                                                ";
#define BLANK_COUNT 80

static HANDLE Screen = NULL;     /* the console output handle of the primitives */
static HANDLE ConsoleOut = NULL; /* "CONOUT$", for the formatted output */

static HANDLE ConsoleOutput(void) {
  if (ConsoleOut == NULL)
    ConsoleOut = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                             OPEN_EXISTING, 0, NULL);
  return ConsoleOut;
}

void ClearScreen(void) {
  CONSOLE_SCREEN_BUFFER_INFO Info;
  DWORD Done;
  COORD Origin = {0, 0};
  if (Screen == NULL) {
    Screen = GetStdHandle(STD_OUTPUT_HANDLE);
    /* Standard output redirected: its handle is no console, and positions must
       reach the buffer that the formatted output writes to. */
    if (!GetConsoleScreenBufferInfo(Screen, &Info)) Screen = ConsoleOutput();
  }
  if (!GetConsoleScreenBufferInfo(Screen, &Info)) return;
  DWORD Cells = (DWORD)Info.dwSize.X * (DWORD)Info.dwSize.Y;
  FillConsoleOutputCharacterA(Screen, ' ', Cells, Origin, &Done);
  GetConsoleScreenBufferInfo(Screen, &Info);
  FillConsoleOutputAttribute(Screen, Info.wAttributes, Cells, Origin, &Done);
  SetConsoleCursorPosition(Screen, Origin);
}

void GotoXY(int Column, int Row) {
  COORD Cell;
  Cell.X = (SHORT)(Column - 1);
  Cell.Y = (SHORT)(Row - 1);
  SetConsoleCursorPosition(Screen, Cell);
}

void ClearToEndOfLine(void) {
  CONSOLE_SCREEN_BUFFER_INFO Info;
  DWORD Done;
  if (!GetConsoleScreenBufferInfo(Screen, &Info)) return;
  COORD At = Info.dwCursorPosition;
  DWORD Remaining = (DWORD)(Info.dwSize.X - At.X);
  while (Remaining > 0) {
    DWORD Count = Remaining < BLANK_COUNT ? Remaining : BLANK_COUNT;
    WriteConsoleOutputCharacterA(Screen, Blanks, Count, At, &Done);
    At.X = (SHORT)(At.X + Count);
    Remaining -= Count;
  }
}

int ConsolePrintf(const char *Format, ...) {
  static char Text[512];
  DWORD Written = 0;
  va_list Args;
  va_start(Args, Format);
  int Length = vsnprintf(Text, sizeof Text, Format, Args);
  va_end(Args);
  if (Length < 0) return Length;
  if ((size_t)Length >= sizeof Text) Length = (int)sizeof Text - 1;
  WriteConsoleA(ConsoleOutput(), Text, (DWORD)Length, &Written, NULL);
  return Length;
}

int ConsolePutChar(int Char) {
  char Byte = (char)Char;
  DWORD Written = 0;
  WriteConsoleA(ConsoleOutput(), &Byte, 1, &Written, NULL);
  return Char & 0xFF;
}

void ConsoleForgetHandles(void) {
  if (ConsoleOut != NULL && ConsoleOut != INVALID_HANDLE_VALUE) CloseHandle(ConsoleOut);
  ConsoleOut = NULL;
  Screen = NULL;
}
