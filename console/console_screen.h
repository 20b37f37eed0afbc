/* Full-screen control of the console: clear, place the cursor at 1-based
   columns and rows, blank to the end of the line, write formatted text at the
   cursor, and a clock in 55 ms ticks. */
#ifndef CVLAN_CONSOLE_SCREEN_H
#define CVLAN_CONSOLE_SCREEN_H

#include <windows.h>

/* Blanks every cell of the screen buffer with its current attribute and puts
   the cursor at column 1, row 1. The first call of the set: it fetches the
   console output handle that the others use. */
void ClearScreen(void);
/* Cursor to a 1-based column and row; a cell outside the buffer is refused
   and the cursor stays. */
void GotoXY(int Column, int Row);
/* Blanks from the cursor to the end of its line; the cursor stays. */
void ClearToEndOfLine(void);
/* Milliseconds since program start, divided by 55. */
int GetTicks(void);

/* Formatted text and single characters at the cursor, written to the console
   itself ("CONOUT$"), whatever standard output is. */
int ConsolePrintf(const char *Format, ...) __attribute__((format(printf, 1, 2)));
int ConsolePutChar(int Char);

#endif
