/* The line reader: a file cut at line feeds into lines of at most 512 bytes. */
#ifndef CVSETUP_LINE_READER_H
#define CVSETUP_LINE_READER_H

#include <windows.h>

/* The longest line the reader gives: a longer line comes out in pieces of this
   many bytes, counted from the line's start. */
#define LINE_READER_BUFFER 512
/* Bytes read from the file at a time; the pieces do not depend on it. */
#define LINE_READER_READ 65536

typedef struct LINE_READER {
  HFILE Handle;
  LPSTR Cursor; /* first unconsumed byte of Buffer */
  LPSTR End;    /* one past the last valid byte of Buffer */
  CHAR Buffer[LINE_READER_READ];
} LINE_READER;

LINE_READER *LineReaderOpen(HFILE File);
LPSTR LineReaderNext(LINE_READER *Reader, DWORD *Length);
void LineReaderClose(LINE_READER *Reader);

#endif
