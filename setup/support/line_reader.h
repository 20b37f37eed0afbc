// The line reader: a file read in 512-byte pieces, cut at line feeds.
#pragma once

#include <windows.h>

#define LINE_READER_BUFFER 512

typedef struct LINE_READER {
  HFILE Handle;
  LPSTR Cursor; // first unconsumed byte of Buffer
  LPSTR End;    // one past the last valid byte of Buffer
  CHAR Buffer[LINE_READER_BUFFER];
} LINE_READER;

LINE_READER *LineReaderOpen(HFILE file);
LPSTR LineReaderNext(LINE_READER *reader, DWORD *length);
void LineReaderClose(LINE_READER *reader);
