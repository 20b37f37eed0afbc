/* File lines: a scanned file's text as a list of numbered lines, loaded on
   demand through a reader of 512-byte pieces (line_reader.h); and line ranges
   over such a list. */
#ifndef CVSETUP_FILE_LINES_H
#define CVSETUP_FILE_LINES_H

#include <windows.h>

#include "block_list.h"
#include "dir_scan.h"
#include "line_reader.h"

#define LINE_OWN_RECORD 0x1 /* the record is a page-heap record of its own */
#define LINE_MARK 0x2       /* a mark that LineReset clears */

/* The page heap hands out blocks on 4-byte boundaries, as the 32-bit system
   lays its records out: these records ask for no more on any host. */
#pragma pack(push, 4)
typedef struct LINE_RECORD {
  DWORD Flags;
  LPSTR Text;   /* the line's bytes up to its first NUL, line end included */
  DWORD Link;   /* 0 when made and after LineReset */
  DWORD Number; /* counting from 1 in file order */
} LINE_RECORD;

typedef struct FILE_LINES {
  FILE_ENTRY *Entry; /* the file, or NULL */
  BLOCK_LIST Lines;  /* LINE_RECORD elements, or NULL while not loaded */
} FILE_LINES;

typedef struct LINE_RANGE {
  LINE_RECORD *First;
  LINE_RECORD *Last;
} LINE_RANGE;
#pragma pack(pop)

FILE_LINES *FileLinesNew(FILE_ENTRY *Entry, BOOL LoadNow);
BLOCK_LIST FileLinesGet(FILE_LINES *FileLines);
/* Whether Test answers TRUE for the text of some line, in file order. Lines not
   loaded are read and looked at one by one, and not kept. */
BOOL FileLinesAny(FILE_LINES *FileLines, BOOL (*Test)(LPCSTR Text));
void FileLinesDiscard(FILE_LINES *FileLines);
void FileLinesReset(FILE_LINES *FileLines);
void FileLinesDelete(FILE_LINES *FileLines);

LINE_RECORD *LineNew(LPCSTR Text, DWORD Length, DWORD Number, BLOCK_LIST List);
void LineDelete(LINE_RECORD *Line);
void LineReset(LINE_RECORD *Line);
LPSTR LineText(LINE_RECORD *Line);

LINE_RANGE *LineRangeNew(LINE_RECORD *First, LINE_RECORD *Last, BLOCK_LIST List);
LINE_RECORD *LineRangeFirst(LINE_RANGE *Range);
LINE_RECORD *LineRangeLast(LINE_RANGE *Range);

#endif
