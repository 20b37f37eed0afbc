#include "text_file_check.h"

#include <string.h>

#include "block_list.h"
#include "dir_scan.h"
#include "compare_set.h"
#include "file_lines.h"
#include "page_heap.h"
#include "setup_text.h"

static CHAR ScanPath[SCAN_PATH_LENGTH + 1];

/* The first five characters are "CVLAN", A to Z matching a to z. */
static BOOL BeginsWithDriverName(LPCSTR Text) { return Text && BeginsWithNoCase(Text, "CVLAN"); }

BOOL CheckDriverLine(LPCSTR Path) {
  /* A path that does not fit is refused: cutting it would check another file. */
  if (!Path || strlen(Path) > SCAN_PATH_LENGTH) return 0;
  strcpy(ScanPath, Path);
  BlockListPoolInit(&ScanPool);
  COMPARE_SET *Set = CompareSetNew();
  if (Set) Set->FirstScan = DirScanBuild(ScanPath, TRUE);
  FILE_ENTRY *Entry = DirScanFirstFile(Set ? Set->FirstScan : NULL);
  FILE_LINES *FileLines = FileLinesNew(Entry, FALSE);
  BLOCK_LIST Lines = FileLinesGet(FileLines);
  BLOCK_LIST RangeList = BlockListCreate(&ScanPool);
  LINE_RANGE *Range =
      LineRangeNew((LINE_RECORD *)BlockListFirst(Lines), (LINE_RECORD *)BlockListLast(Lines), RangeList);
  BOOL Found = FALSE;
  for (LINE_RECORD *Line = LineRangeFirst(Range); Line; Line = (LINE_RECORD *)BlockListNext(Line)) {
    if (BeginsWithDriverName(LineText(Line))) {
      Found = TRUE;
      break;
    }
    if (Line == LineRangeLast(Range)) break;
  }
  CompareSetDelete(Set);
  FileLinesDelete(FileLines);
  /* The range goes with its list (or, without one, as its own record). */
  if (RangeList)
    BlockListDestroy(&ScanPool, &RangeList);
  else if (Range)
    PageHeapFree(LibraryHeap, Range, sizeof(LINE_RANGE));
  return Found ? 1 : 0;
}
