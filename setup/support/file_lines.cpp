// Lines of a scanned file and ranges over them.
#include "file_lines.h"

#include <string.h>

#include "page_heap.h"

LINE_RECORD *LineNew(LPCSTR text, DWORD length, DWORD number, BLOCK_LIST list) {
  LINE_RECORD *line = list ? (LINE_RECORD *)BlockListAppendNew(&ScanPool, list, sizeof(LINE_RECORD))
                           : (LINE_RECORD *)PageHeapAlloc(LibraryHeap, sizeof(LINE_RECORD));
  if (!line) return NULL;
  // The text ends at the line's first NUL byte; it is allocated at that length,
  // so that freeing it by its length gives back exactly what was taken.
  const char *nul = (const char *)memchr(text, '\0', length);
  DWORD stored = nul ? (DWORD)(nul - text) : length;
  LPSTR copy = (LPSTR)PageHeapAlloc(LibraryHeap, (LONG)stored + 1);
  if (!copy) {
    if (list)
      BlockListRemove(&ScanPool, line);
    else
      PageHeapFree(LibraryHeap, line, sizeof(LINE_RECORD));
    return NULL;
  }
  memcpy(copy, text, stored);
  line->Flags = list ? 0 : LINE_OWN_RECORD;
  line->Text = copy;
  line->Link = 0;
  line->Number = number;
  return line;
}

void LineDelete(LINE_RECORD *line) {
  if (!line) return;
  PageHeapFreeString(LibraryHeap, line->Text);
  line->Text = NULL;
  if (line->Flags & LINE_OWN_RECORD) PageHeapFree(LibraryHeap, line, sizeof(LINE_RECORD));
}

void LineReset(LINE_RECORD *line) {
  if (!line) return;
  line->Link = 0;
  line->Flags &= ~(DWORD)LINE_MARK;
}

LPSTR LineText(LINE_RECORD *line) { return line ? line->Text : NULL; }

// Reads the object's file line by line. Without a test every line is kept in a
// new list of the object; with one, each line's text is only handed to the
// test, until it answers TRUE. The answer is whether it did.
static BOOL ReadLines(FILE_LINES *fileLines, BOOL (*test)(LPCSTR text)) {
  BOOL found = FALSE;
  HCURSOR previous = SetCursor(LoadCursorA(NULL, IDC_WAIT));
  HFILE file = FileEntryOpen(fileLines->Entry);
  if (file != HFILE_ERROR) {
    LINE_READER *reader = LineReaderOpen(file);
    if (!reader) {
      _lclose(file);
    } else if (test) {
      CHAR text[LINE_READER_BUFFER + 1]; // the text as a record would hold it
      DWORD length;
      for (LPSTR line; !found && (line = LineReaderNext(reader, &length)) != NULL;) {
        memcpy(text, line, length);
        text[length] = '\0';
        found = test(text);
      }
      LineReaderClose(reader); // closes the file
    } else {
      fileLines->Lines = BlockListCreate(&ScanPool);
      if (fileLines->Lines) {
        DWORD length;
        DWORD number = 1;
        // A line whose record cannot be made is missing; its number is skipped.
        for (LPSTR text; (text = LineReaderNext(reader, &length)) != NULL; number++)
          LineNew(text, length, number, fileLines->Lines);
      }
      LineReaderClose(reader); // closes the file
    }
  }
  SetCursor(previous);
  return found;
}

static void LoadLines(FILE_LINES *fileLines) { ReadLines(fileLines, NULL); }

BOOL FileLinesAny(FILE_LINES *fileLines, BOOL (*test)(LPCSTR text)) {
  if (!fileLines || !test) return FALSE;
  if (!fileLines->Lines) return ReadLines(fileLines, test);
  for (LINE_RECORD *line = (LINE_RECORD *)BlockListFirst(fileLines->Lines); line;
       line = (LINE_RECORD *)BlockListNext(line))
    if (test(line->Text)) return TRUE;
  return FALSE;
}

FILE_LINES *FileLinesNew(FILE_ENTRY *entry, BOOL loadNow) {
  FILE_LINES *fileLines = (FILE_LINES *)PageHeapAlloc(LibraryHeap, sizeof(FILE_LINES));
  if (!fileLines) return NULL;
  fileLines->Entry = entry;
  fileLines->Lines = NULL;
  if (loadNow) LoadLines(fileLines);
  return fileLines;
}

BLOCK_LIST FileLinesGet(FILE_LINES *fileLines) {
  if (!fileLines) return NULL;
  if (!fileLines->Lines) LoadLines(fileLines);
  return fileLines->Lines;
}

void FileLinesDiscard(FILE_LINES *fileLines) {
  if (!fileLines || !fileLines->Lines) return;
  for (LINE_RECORD *line = (LINE_RECORD *)BlockListFirst(fileLines->Lines); line;
       line = (LINE_RECORD *)BlockListNext(line))
    LineDelete(line);
  BlockListDestroy(&ScanPool, &fileLines->Lines);
}

void FileLinesReset(FILE_LINES *fileLines) {
  if (!fileLines) return;
  for (LINE_RECORD *line = (LINE_RECORD *)BlockListFirst(fileLines->Lines); line;
       line = (LINE_RECORD *)BlockListNext(line))
    LineReset(line);
}

void FileLinesDelete(FILE_LINES *fileLines) {
  if (!fileLines) return;
  FileLinesDiscard(fileLines);
  PageHeapFree(LibraryHeap, fileLines, sizeof(FILE_LINES));
}

LINE_RANGE *LineRangeNew(LINE_RECORD *first, LINE_RECORD *last, BLOCK_LIST list) {
  LINE_RANGE *range = list ? (LINE_RANGE *)BlockListAppendNew(&ScanPool, list, sizeof(LINE_RANGE))
                           : (LINE_RANGE *)PageHeapAlloc(LibraryHeap, sizeof(LINE_RANGE));
  if (!range) return NULL;
  range->First = first;
  range->Last = last;
  return range;
}

LINE_RECORD *LineRangeFirst(LINE_RANGE *range) { return range ? range->First : NULL; }
LINE_RECORD *LineRangeLast(LINE_RANGE *range) { return range ? range->Last : NULL; }
