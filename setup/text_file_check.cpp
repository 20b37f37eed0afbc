#include "text_file_check.h"

#include <string.h>

#include "block_list.h"
#include "dir_scan.h"
#include "compare_set.h"
#include "file_lines.h"
#include "page_heap.h"
#include "setup_text.h"

static CHAR ScanPath[SCAN_PATH_LENGTH + 1];

// The first five characters are "CVLAN", A to Z matching a to z.
static BOOL BeginsWithDriverName(LPCSTR text) { return text && BeginsWithNoCase(text, "CVLAN"); }

BOOL CheckDriverLine(LPCSTR path) {
  // A path that does not fit is refused: cutting it would check another file.
  if (!path || strlen(path) > SCAN_PATH_LENGTH) return 0;
  strcpy(ScanPath, path);
  BlockListPoolInit(&ScanPool);
  COMPARE_SET* set = CompareSetNew();
  if (set) set->FirstScan = DirScanBuild(ScanPath, TRUE);
  FILE_ENTRY* entry = DirScanFirstFile(set ? set->FirstScan : NULL);
  FILE_LINES* fileLines = FileLinesNew(entry, FALSE);
  BLOCK_LIST lines = FileLinesGet(fileLines);
  BLOCK_LIST rangeList = BlockListCreate(&ScanPool);
  LINE_RANGE* range =
      LineRangeNew((LINE_RECORD*)BlockListFirst(lines), (LINE_RECORD*)BlockListLast(lines), rangeList);
  BOOL found = FALSE;
  for (LINE_RECORD* line = LineRangeFirst(range); line; line = (LINE_RECORD*)BlockListNext(line)) {
    if (BeginsWithDriverName(LineText(line))) {
      found = TRUE;
      break;
    }
    if (line == LineRangeLast(range)) break;
  }
  CompareSetDelete(set);
  FileLinesDelete(fileLines);
  // The range goes with its list (or, without one, as its own record).
  if (rangeList)
    BlockListDestroy(&ScanPool, &rangeList);
  else if (range)
    PageHeapFree(LibraryHeap, range, sizeof(LINE_RANGE));
  return found ? 1 : 0;
}
