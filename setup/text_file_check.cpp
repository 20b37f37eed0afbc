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
  /* The lines are only compared: each is looked at as it is read and none is
     kept, so the file's size does not bound what the heap must hold. */
  BOOL Found = FileLinesAny(FileLines, BeginsWithDriverName);
  CompareSetDelete(Set);
  FileLinesDelete(FileLines);
  return Found ? 1 : 0;
}
