/* Building, walking and releasing a directory scan. */
#include "dir_scan.h"

#include <string.h>

#include "page_heap.h"

static DIR_SCAN *ScanOf(const DIR_NODE *Node) { return (DIR_SCAN *)Node->RootPath; }

/* RelName of a node named Name under Parent: the parent's RelName, the name,
   and a backslash unless that already ends in one; all lower case. */
static LPSTR NewRelName(const DIR_NODE *Parent, LPCSTR Name) {
  size_t ParentLength = Parent ? strlen(Parent->RelName) : 0;
  size_t NameLength = strlen(Name);
  size_t Length = ParentLength + NameLength;
  char LastChar = NameLength ? Name[NameLength - 1] : (ParentLength ? Parent->RelName[ParentLength - 1] : '\0');
  BOOL NeedsBackslash = LastChar != '\\';
  LONG Size = (LONG)(Length + (NeedsBackslash ? 1 : 0) + 1);
  LPSTR RelName = (LPSTR)PageHeapAlloc(LibraryHeap, Size);
  if (!RelName) return NULL;
  if (Parent) memcpy(RelName, Parent->RelName, ParentLength);
  memcpy(RelName + ParentLength, Name, NameLength);
  if (NeedsBackslash) RelName[Length] = '\\';
  CharLowerBuffA(RelName, (DWORD)(Size - 1));
  return RelName;
}

static void InitNode(DIR_NODE *Node, DIR_NODE *Parent, LPSTR RelName, LPSTR RootPath) {
  Node->RelName = RelName;
  Node->RootPath = RootPath;
  Node->Parent = Parent;
  Node->Scanned = 0;
  Node->FileList = BlockListCreate(&ScanPool);
  Node->SubdirList = BlockListCreate(&ScanPool);
  Node->WalkState = DIR_WALK_FILES;
  Node->WalkCursor = NULL;
}

/* The last name of a node (its RelName's last component without the trailing
   backslash), copied into a 256-character buffer. */
static LPCSTR LastNameOf(LPCSTR RelName, CHAR Buffer[DIR_SCAN_ROOT_PATH]) {
  size_t Length = strlen(RelName);
  if (Length >= DIR_SCAN_ROOT_PATH) Length = DIR_SCAN_ROOT_PATH - 1;
  memcpy(Buffer, RelName, Length);
  Buffer[Length] = '\0';
  if (Length && Buffer[Length - 1] == '\\') Buffer[Length - 1] = '\0';
  return LastPathComponent(Buffer);
}

static void AddFileEntry(DIR_NODE *Node, LPSTR Name, DWORD Size) {
  CharLowerBuffA(Name, (DWORD)strlen(Name));
  FILE_ENTRY *Before = (FILE_ENTRY *)BlockListFirst(Node->FileList);
  while (Before && ComparePathNames(Before->Name, Name) <= 0) Before = (FILE_ENTRY *)BlockListNext(Before);
  FILE_ENTRY *Entry = (FILE_ENTRY *)BlockListInsertNewBefore(&ScanPool, Node->FileList, Before, sizeof(FILE_ENTRY));
  if (!Entry) return;
  Entry->Name = PageHeapCopyString(LibraryHeap, Name);
  if (!Entry->Name) {
    BlockListRemove(&ScanPool, Entry); /* an entry without a name is no entry */
    return;
  }
  Entry->Size = Size;
  Entry->Parent = Node;
  Entry->LocalCopy = NULL;
  Entry->DeleteCopy = 0;
}

static void AddSubdirNode(DIR_NODE *Parent, LPCSTR Name) {
  LPSTR RelName = NewRelName(Parent, Name);
  if (!RelName) return;
  CHAR NewName[DIR_SCAN_ROOT_PATH];
  CHAR ExistingName[DIR_SCAN_ROOT_PATH];
  LPCSTR Last = LastNameOf(RelName, NewName);
  DIR_NODE *Before = (DIR_NODE *)BlockListFirst(Parent->SubdirList);
  while (Before && ComparePathNames(LastNameOf(Before->RelName, ExistingName), Last) <= 0)
    Before = (DIR_NODE *)BlockListNext(Before);
  DIR_NODE *Node = (DIR_NODE *)BlockListInsertNewBefore(&ScanPool, Parent->SubdirList, Before, sizeof(DIR_NODE));
  if (!Node) {
    PageHeapFreeString(LibraryHeap, RelName);
    return;
  }
  InitNode(Node, Parent, RelName, Parent->RootPath);
}

/* RootPath, then RelName without its leading dot (and without the backslash
   after it when RootPath already ends in one), then Tail. */
static void JoinScanPath(LPSTR Out, LPCSTR RootPath, LPCSTR RelName, LPCSTR Tail) {
  size_t RootLength = strlen(RootPath);
  LPCSTR Rest = RelName + 1;
  if (RootLength && RootPath[RootLength - 1] == '\\' && *Rest == '\\') Rest++;
  strcpy(Out, RootPath);
  strcat(Out, Rest);
  strcat(Out, Tail);
}

static void ReadDirectory(DIR_NODE *Node, BOOL Recursive) {
  SIZE_T Size = strlen(Node->RootPath) + strlen(Node->RelName) + 4;
  HLOCAL PatternHandle = LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, Size);
  LPSTR Pattern = PatternHandle ? (LPSTR)LocalLock(PatternHandle) : NULL;
  HANDLE Search = INVALID_HANDLE_VALUE;
  WIN32_FIND_DATAA Found;
  if (Pattern) {
    JoinScanPath(Pattern, Node->RootPath, Node->RelName, "*.*");
    Search = FindFirstFileA(Pattern, &Found);
    LocalUnlock(PatternHandle);
  }
  if (PatternHandle) LocalFree(PatternHandle);
  if (Search != INVALID_HANDLE_VALUE) {
    do {
      if (!(Found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        AddFileEntry(Node, Found.cFileName, Found.nFileSizeLow);
      else if (strcmp(Found.cFileName, ".") != 0 && strcmp(Found.cFileName, "..") != 0)
        AddSubdirNode(Node, Found.cFileName);
    } while (FindNextFileA(Search, &Found));
    FindClose(Search);
  }
  Node->Scanned = 1;
  Node->WalkState = DIR_WALK_FILES;
  if (Recursive) {
    for (DIR_NODE *Sub = (DIR_NODE *)BlockListFirst(Node->SubdirList); Sub; Sub = (DIR_NODE *)BlockListNext(Sub))
      ReadDirectory(Sub, TRUE);
  }
}

DIR_SCAN *DirScanBuild(LPCSTR Path, BOOL Shallow) {
  if (!Path) return NULL;
  DWORD IsFile;
  if (IsDirectoryPath(Path))
    IsFile = 0;
  else if (IsFilePath(Path))
    IsFile = 1;
  else
    return NULL;
  DIR_SCAN *Scan = (DIR_SCAN *)PageHeapAlloc(LibraryHeap, sizeof(DIR_SCAN));
  if (!Scan) return NULL;
  /* A full form that does not fit the field is refused, never cut. */
  DWORD Length = GetFullPathNameA(Path, DIR_SCAN_ROOT_PATH, Scan->RootPath, NULL);
  DIR_NODE *Root = NULL;
  LPSTR RelName = NULL;
  if (Length == 0 || Length >= DIR_SCAN_ROOT_PATH || !(RelName = NewRelName(NULL, ".")) ||
      !(Root = (DIR_NODE *)PageHeapAlloc(LibraryHeap, sizeof(DIR_NODE)))) {
    PageHeapFreeString(LibraryHeap, RelName);
    PageHeapFree(LibraryHeap, Scan, sizeof(DIR_SCAN));
    return NULL;
  }
  Scan->IsFile = IsFile;
  Scan->Root = Root;
  InitNode(Root, NULL, RelName, Scan->RootPath);
  if (IsFile) {
    Root->Scanned = 1;
    /* The name comes from the full form, whose separators are all backslashes. */
    CHAR Name[MAX_PATH];
    LPCSTR Last = LastPathComponent(Scan->RootPath);
    size_t NameLength = strlen(Last);
    if (NameLength >= sizeof(Name)) NameLength = sizeof(Name) - 1;
    memcpy(Name, Last, NameLength);
    Name[NameLength] = '\0';
    AddFileEntry(Root, Name, FileSizeOfPath(Path));
  } else {
    ReadDirectory(Root, !Shallow);
  }
  return Scan;
}

FILE_ENTRY *DirScanFirstFile(DIR_SCAN *Scan) {
  if (!Scan || !Scan->Root) return NULL;
  DIR_NODE *Node = Scan->Root;
  Node->WalkState = DIR_WALK_FILES;
  Node->WalkCursor = NULL;
  for (;;) {
    if (!Node->Scanned) ReadDirectory(Node, FALSE); /* a shallow scan reads a directory when reached */
    if (Node->WalkState == DIR_WALK_FILES) {
      FILE_ENTRY *First = (FILE_ENTRY *)BlockListFirst(Node->FileList);
      if (First) return First;
      Node->WalkState = DIR_WALK_SUBDIRS;
    }
    Node->WalkCursor =
        Node->WalkCursor ? (DIR_NODE *)BlockListNext(Node->WalkCursor) : (DIR_NODE *)BlockListFirst(Node->SubdirList);
    if (Node->WalkCursor) {
      DIR_NODE *Sub = Node->WalkCursor;
      Sub->WalkState = DIR_WALK_FILES;
      Sub->WalkCursor = NULL;
      Node = Sub;
      continue;
    }
    if (!Node->Parent) return NULL;
    Node->Parent->WalkState = DIR_WALK_SUBDIRS;
    Node->Parent->WalkCursor = Node;
    Node = Node->Parent;
  }
}

static void ReleaseNodeContents(DIR_NODE *Node) {
  for (FILE_ENTRY *Entry = (FILE_ENTRY *)BlockListFirst(Node->FileList); Entry;
       Entry = (FILE_ENTRY *)BlockListNext(Entry)) {
    PageHeapFreeString(LibraryHeap, Entry->Name);
    if (Entry->LocalCopy) {
      if (Entry->DeleteCopy) {
        DWORD Attributes = GetFileAttributesA(Entry->LocalCopy);
        if (Attributes != INVALID_FILE_ATTRIBUTES)
          SetFileAttributesA(Entry->LocalCopy, Attributes & ~(DWORD)FILE_ATTRIBUTE_READONLY);
        DeleteFileA(Entry->LocalCopy);
      }
      /* The buffer belongs to the entry whether or not the copy is deleted. */
      PageHeapFree(LibraryHeap, Entry->LocalCopy, FILE_ENTRY_LOCAL_COPY);
      Entry->LocalCopy = NULL;
    }
  }
  BlockListDestroy(&ScanPool, &Node->FileList);
  for (DIR_NODE *Sub = (DIR_NODE *)BlockListFirst(Node->SubdirList); Sub; Sub = (DIR_NODE *)BlockListNext(Sub))
    ReleaseNodeContents(Sub);
  BlockListDestroy(&ScanPool, &Node->SubdirList);
  PageHeapFreeString(LibraryHeap, Node->RelName);
  Node->RelName = NULL;
}

void DirScanFree(DIR_SCAN *Scan) {
  if (!Scan) return;
  if (Scan->Root) {
    ReleaseNodeContents(Scan->Root);
    PageHeapFree(LibraryHeap, Scan->Root, sizeof(DIR_NODE));
  }
  PageHeapFree(LibraryHeap, Scan, sizeof(DIR_SCAN));
}

/* The bytes allocated for an entry's full path: room for the whole RelName,
   although its leading dot (and perhaps a backslash) is left out of the path. */
static LONG FullPathSize(const FILE_ENTRY *Entry) {
  return (LONG)(strlen(ScanOf(Entry->Parent)->RootPath) + strlen(Entry->Parent->RelName) + strlen(Entry->Name) + 1);
}

LPSTR FileEntryFullPath(FILE_ENTRY *Entry) {
  if (!Entry) return NULL;
  DIR_SCAN *Scan = ScanOf(Entry->Parent);
  if (Scan->IsFile) return Scan->RootPath;
  LPSTR Path = (LPSTR)PageHeapAlloc(LibraryHeap, FullPathSize(Entry));
  if (Path) JoinScanPath(Path, Scan->RootPath, Entry->Parent->RelName, Entry->Name);
  return Path;
}

void FileEntryFreePath(FILE_ENTRY *Entry, LPSTR Path) {
  if (!Entry || !Path || ScanOf(Entry->Parent)->IsFile) return; /* a file scan's path is its RootPath */
  PageHeapFree(LibraryHeap, Path, FullPathSize(Entry));         /* by the size allocated, not the string's length */
}

HFILE FileEntryOpen(FILE_ENTRY *Entry) {
  LPSTR Path = FileEntryFullPath(Entry);
  if (!Path) return HFILE_ERROR;
  HFILE File = OpenFileForReading(Path);
  FileEntryFreePath(Entry, Path);
  return File;
}

void FileEntryClose(FILE_ENTRY *Entry, HFILE File) {
  (void)Entry;
  _lclose(File);
}
