/* Comparison sets, which own up to two scans and a list of comparison items. */
#ifndef CVSETUP_COMPARE_SET_H
#define CVSETUP_COMPARE_SET_H

#include <windows.h>

#include "block_list.h"
#include "dir_scan.h"
#include "file_lines.h"

/* The page heap hands out blocks on 4-byte boundaries, as the 32-bit system
   lays its records out: these records ask for no more on any host. */
#pragma pack(push, 4)
typedef struct COMPARE_SET {
  DIR_SCAN *FirstScan;
  DIR_SCAN *SecondScan;
  BLOCK_LIST Items; /* COMPARE_ITEM elements */
} COMPARE_SET;

#define COMPARE_ITEM_LISTS 3
#define COMPARE_ITEM_TEXTS 2

typedef struct COMPARE_ITEM {
  FILE_LINES *FirstLines;
  FILE_LINES *SecondLines;
  BLOCK_LIST Lists[COMPARE_ITEM_LISTS];
  LPSTR Texts[COMPARE_ITEM_TEXTS];
  DWORD OwnRecord; /* nonzero: a page-heap record of its own */
} COMPARE_ITEM;
#pragma pack(pop)

COMPARE_SET *CompareSetNew(void);
void CompareSetDelete(COMPARE_SET *Set);
void CompareItemReset(COMPARE_ITEM *Item);
void CompareItemDelete(COMPARE_ITEM *Item);

#endif
