/* The directory scan: a path turned into a tree of directories whose files and
   subdirectories are kept in name order (a file path gives a one-entry tree),
   walked depth first (the path and file helpers beside it: file_helpers.h). Records and
   strings come from LibraryHeap, lists from ScanPool. */
#ifndef CVSETUP_DIR_SCAN_H
#define CVSETUP_DIR_SCAN_H

#include <windows.h>

#include <stddef.h>

#include "block_list.h"
#include "file_helpers.h"

#define DIR_SCAN_ROOT_PATH 256

/* The page heap hands out blocks on 4-byte boundaries, as the 32-bit system
   lays its records out: these records ask for no more on any host. */
#pragma pack(push, 4)
typedef struct DIR_NODE DIR_NODE;

typedef struct DIR_SCAN {
  CHAR RootPath[DIR_SCAN_ROOT_PATH]; /* the full form of the scanned path */
  DWORD IsFile;                      /* 1: the path names a file */
  DIR_NODE *Root;
} DIR_SCAN;

static_assert(offsetof(DIR_SCAN, RootPath) == 0, "DIR_SCAN layout: a node's RootPath names its scan");
static_assert(offsetof(DIR_SCAN, IsFile) == DIR_SCAN_ROOT_PATH, "DIR_SCAN layout");
static_assert(offsetof(DIR_SCAN, Root) == DIR_SCAN_ROOT_PATH + 4, "DIR_SCAN layout");

#define DIR_WALK_FILES 1
#define DIR_WALK_SUBDIRS 2

struct DIR_NODE {
  LPSTR RelName;         /* ".\", ".\sub\", ".\sub\deeper\": lower case */
  LPSTR RootPath;        /* the RootPath of the owning scan (and so the scan) */
  DIR_NODE *Parent;      /* NULL for the root */
  DWORD Scanned;         /* 1 once the directory's entries have been read */
  BLOCK_LIST FileList;   /* FILE_ENTRY elements, ascending by ComparePathNames */
  BLOCK_LIST SubdirList; /* DIR_NODE elements, ascending by their last name */
  DWORD WalkState;       /* DIR_WALK_FILES or DIR_WALK_SUBDIRS */
  DIR_NODE *WalkCursor;  /* the subdirectory the walk is in, or NULL */
};

typedef struct FILE_ENTRY {
  LPSTR Name;       /* without directory, lower case */
  DWORD Size;       /* low 32 bits of the file's size */
  DIR_NODE *Parent; /* the directory that lists the file */
  LPSTR LocalCopy;  /* a 256-byte buffer naming a local copy, or NULL */
  DWORD DeleteCopy; /* nonzero: releasing the scan deletes the copy */
} FILE_ENTRY;
#pragma pack(pop)

#define FILE_ENTRY_LOCAL_COPY 256

DIR_SCAN *DirScanBuild(LPCSTR Path, BOOL Shallow);
void DirScanFree(DIR_SCAN *Scan);
FILE_ENTRY *DirScanFirstFile(DIR_SCAN *Scan);

LPSTR FileEntryFullPath(FILE_ENTRY *Entry);
void FileEntryFreePath(FILE_ENTRY *Entry, LPSTR Path);
HFILE FileEntryOpen(FILE_ENTRY *Entry);
void FileEntryClose(FILE_ENTRY *Entry, HFILE File);

#endif
