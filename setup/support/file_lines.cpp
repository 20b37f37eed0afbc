/* Lines of a scanned file and ranges over them. */
#include "file_lines.h"

#include <string.h>

#include "page_heap.h"

LINE_RECORD *LineNew(LPCSTR Text, DWORD Length, DWORD Number, BLOCK_LIST List) {
  LINE_RECORD *Line = List ? (LINE_RECORD *)BlockListAppendNew(&ScanPool, List, sizeof(LINE_RECORD))
                           : (LINE_RECORD *)PageHeapAlloc(LibraryHeap, sizeof(LINE_RECORD));
  if (!Line) return NULL;
  /* The text ends at the line's first NUL byte; it is allocated at that length,
     so that freeing it by its length gives back exactly what was taken. */
  const char *Nul = (const char *)memchr(Text, '\0', Length);
  DWORD Stored = Nul ? (DWORD)(Nul - Text) : Length;
  LPSTR Copy = (LPSTR)PageHeapAlloc(LibraryHeap, (LONG)Stored + 1);
  if (!Copy) {
    if (List)
      BlockListRemove(&ScanPool, Line);
    else
      PageHeapFree(LibraryHeap, Line, sizeof(LINE_RECORD));
    return NULL;
  }
  memcpy(Copy, Text, Stored);
  Line->Flags = List ? 0 : LINE_OWN_RECORD;
  Line->Text = Copy;
  Line->Link = 0;
  Line->Number = Number;
  return Line;
}

void LineDelete(LINE_RECORD *Line) {
  if (!Line) return;
  PageHeapFreeString(LibraryHeap, Line->Text);
  Line->Text = NULL;
  if (Line->Flags & LINE_OWN_RECORD) PageHeapFree(LibraryHeap, Line, sizeof(LINE_RECORD));
}

void LineReset(LINE_RECORD *Line) {
  if (!Line) return;
  Line->Link = 0;
  Line->Flags &= ~(DWORD)LINE_MARK;
}

LPSTR LineText(LINE_RECORD *Line) { return Line ? Line->Text : NULL; }

/* Reads the object's file line by line. Without a test every line is kept in a
   new list of the object; with one, each line's text is only handed to the
   test, until it answers TRUE. The answer is whether it did. */
static BOOL ReadLines(FILE_LINES *FileLines, BOOL (*Test)(LPCSTR Text)) {
  BOOL Found = FALSE;
  HCURSOR Previous = SetCursor(LoadCursorA(NULL, IDC_WAIT));
  HFILE File = FileEntryOpen(FileLines->Entry);
  if (File != HFILE_ERROR) {
    LINE_READER *Reader = LineReaderOpen(File);
    if (!Reader) {
      _lclose(File);
    } else if (Test) {
      CHAR Text[LINE_READER_BUFFER + 1]; /* the text as a record would hold it */
      DWORD Length;
      for (LPSTR Line; !Found && (Line = LineReaderNext(Reader, &Length)) != NULL;) {
        memcpy(Text, Line, Length);
        Text[Length] = '\0';
        Found = Test(Text);
      }
      LineReaderClose(Reader); /* closes the file */
    } else {
      FileLines->Lines = BlockListCreate(&ScanPool);
      if (FileLines->Lines) {
        DWORD Length;
        DWORD Number = 1;
        /* A line whose record cannot be made is missing; its number is skipped. */
        for (LPSTR Text; (Text = LineReaderNext(Reader, &Length)) != NULL; Number++)
          LineNew(Text, Length, Number, FileLines->Lines);
      }
      LineReaderClose(Reader); /* closes the file */
    }
  }
  SetCursor(Previous);
  return Found;
}

static void LoadLines(FILE_LINES *FileLines) { ReadLines(FileLines, NULL); }

BOOL FileLinesAny(FILE_LINES *FileLines, BOOL (*Test)(LPCSTR Text)) {
  if (!FileLines || !Test) return FALSE;
  if (!FileLines->Lines) return ReadLines(FileLines, Test);
  for (LINE_RECORD *Line = (LINE_RECORD *)BlockListFirst(FileLines->Lines); Line;
       Line = (LINE_RECORD *)BlockListNext(Line))
    if (Test(Line->Text)) return TRUE;
  return FALSE;
}

FILE_LINES *FileLinesNew(FILE_ENTRY *Entry, BOOL LoadNow) {
  FILE_LINES *FileLines = (FILE_LINES *)PageHeapAlloc(LibraryHeap, sizeof(FILE_LINES));
  if (!FileLines) return NULL;
  FileLines->Entry = Entry;
  FileLines->Lines = NULL;
  if (LoadNow) LoadLines(FileLines);
  return FileLines;
}

BLOCK_LIST FileLinesGet(FILE_LINES *FileLines) {
  if (!FileLines) return NULL;
  if (!FileLines->Lines) LoadLines(FileLines);
  return FileLines->Lines;
}

void FileLinesDiscard(FILE_LINES *FileLines) {
  if (!FileLines || !FileLines->Lines) return;
  for (LINE_RECORD *Line = (LINE_RECORD *)BlockListFirst(FileLines->Lines); Line;
       Line = (LINE_RECORD *)BlockListNext(Line))
    LineDelete(Line);
  BlockListDestroy(&ScanPool, &FileLines->Lines);
}

void FileLinesReset(FILE_LINES *FileLines) {
  if (!FileLines) return;
  for (LINE_RECORD *Line = (LINE_RECORD *)BlockListFirst(FileLines->Lines); Line;
       Line = (LINE_RECORD *)BlockListNext(Line))
    LineReset(Line);
}

void FileLinesDelete(FILE_LINES *FileLines) {
  if (!FileLines) return;
  FileLinesDiscard(FileLines);
  PageHeapFree(LibraryHeap, FileLines, sizeof(FILE_LINES));
}

LINE_RANGE *LineRangeNew(LINE_RECORD *First, LINE_RECORD *Last, BLOCK_LIST List) {
  LINE_RANGE *Range = List ? (LINE_RANGE *)BlockListAppendNew(&ScanPool, List, sizeof(LINE_RANGE))
                           : (LINE_RANGE *)PageHeapAlloc(LibraryHeap, sizeof(LINE_RANGE));
  if (!Range) return NULL;
  Range->First = First;
  Range->Last = Last;
  return Range;
}

LINE_RECORD *LineRangeFirst(LINE_RANGE *Range) { return Range ? Range->First : NULL; }
LINE_RECORD *LineRangeLast(LINE_RANGE *Range) { return Range ? Range->Last : NULL; }
