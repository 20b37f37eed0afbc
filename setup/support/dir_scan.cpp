// Building, walking and releasing a directory scan.
#include "dir_scan.h"

#include <string.h>

#include "page_heap.h"

static DIR_SCAN *ScanOf(const DIR_NODE *node) { return (DIR_SCAN *)node->RootPath; }

// relName of a node named name under parent: the parent's relName, the name,
// and a backslash unless that already ends in one; all lower case.
static LPSTR NewRelName(const DIR_NODE *parent, LPCSTR name) {
  size_t parentLength = parent ? strlen(parent->RelName) : 0;
  size_t nameLength = strlen(name);
  size_t length = parentLength + nameLength;
  char lastChar = nameLength ? name[nameLength - 1] : (parentLength ? parent->RelName[parentLength - 1] : '\0');
  BOOL needsBackslash = lastChar != '\\';
  LONG size = (LONG)(length + (needsBackslash ? 1 : 0) + 1);
  LPSTR relName = (LPSTR)PageHeapAlloc(LibraryHeap, size);
  if (!relName) return NULL;
  if (parent) memcpy(relName, parent->RelName, parentLength);
  memcpy(relName + parentLength, name, nameLength);
  if (needsBackslash) relName[length] = '\\';
  CharLowerBuffA(relName, (DWORD)(size - 1));
  return relName;
}

static void InitNode(DIR_NODE *node, DIR_NODE *parent, LPSTR relName, LPSTR rootPath) {
  node->RelName = relName;
  node->RootPath = rootPath;
  node->Parent = parent;
  node->Scanned = 0;
  node->FileList = BlockListCreate(&ScanPool);
  node->SubdirList = BlockListCreate(&ScanPool);
  node->WalkState = DIR_WALK_FILES;
  node->WalkCursor = NULL;
}

// The last name of a node (its relName's last component without the trailing
// backslash), copied into a 256-character buffer.
static LPCSTR LastNameOf(LPCSTR relName, CHAR buffer[DIR_SCAN_ROOT_PATH]) {
  size_t length = strlen(relName);
  if (length >= DIR_SCAN_ROOT_PATH) length = DIR_SCAN_ROOT_PATH - 1;
  memcpy(buffer, relName, length);
  buffer[length] = '\0';
  if (length && buffer[length - 1] == '\\') buffer[length - 1] = '\0';
  return LastPathComponent(buffer);
}

static void AddFileEntry(DIR_NODE *node, LPSTR name, DWORD size) {
  CharLowerBuffA(name, (DWORD)strlen(name));
  FILE_ENTRY *before = (FILE_ENTRY *)BlockListFirst(node->FileList);
  while (before && ComparePathNames(before->Name, name) <= 0) before = (FILE_ENTRY *)BlockListNext(before);
  FILE_ENTRY *entry = (FILE_ENTRY *)BlockListInsertNewBefore(&ScanPool, node->FileList, before, sizeof(FILE_ENTRY));
  if (!entry) return;
  entry->Name = PageHeapCopyString(LibraryHeap, name);
  if (!entry->Name) {
    BlockListRemove(&ScanPool, entry); // an entry without a name is no entry
    return;
  }
  entry->Size = size;
  entry->Parent = node;
  entry->LocalCopy = NULL;
  entry->DeleteCopy = 0;
}

static void AddSubdirNode(DIR_NODE *parent, LPCSTR name) {
  LPSTR relName = NewRelName(parent, name);
  if (!relName) return;
  CHAR newName[DIR_SCAN_ROOT_PATH];
  CHAR existingName[DIR_SCAN_ROOT_PATH];
  LPCSTR last = LastNameOf(relName, newName);
  DIR_NODE *before = (DIR_NODE *)BlockListFirst(parent->SubdirList);
  while (before && ComparePathNames(LastNameOf(before->RelName, existingName), last) <= 0)
    before = (DIR_NODE *)BlockListNext(before);
  DIR_NODE *node = (DIR_NODE *)BlockListInsertNewBefore(&ScanPool, parent->SubdirList, before, sizeof(DIR_NODE));
  if (!node) {
    PageHeapFreeString(LibraryHeap, relName);
    return;
  }
  InitNode(node, parent, relName, parent->RootPath);
}

// rootPath, then relName without its leading dot (and without the backslash
// after it when rootPath already ends in one), then tail.
static void JoinScanPath(LPSTR out, LPCSTR rootPath, LPCSTR relName, LPCSTR tail) {
  size_t rootLength = strlen(rootPath);
  LPCSTR rest = relName + 1;
  if (rootLength && rootPath[rootLength - 1] == '\\' && *rest == '\\') rest++;
  strcpy(out, rootPath);
  strcat(out, rest);
  strcat(out, tail);
}

static void ReadDirectory(DIR_NODE *node, BOOL recursive) {
  SIZE_T size = strlen(node->RootPath) + strlen(node->RelName) + 4;
  HLOCAL patternHandle = LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, size);
  LPSTR pattern = patternHandle ? (LPSTR)LocalLock(patternHandle) : NULL;
  HANDLE search = INVALID_HANDLE_VALUE;
  WIN32_FIND_DATAA found;
  if (pattern) {
    JoinScanPath(pattern, node->RootPath, node->RelName, "*.*");
    search = FindFirstFileA(pattern, &found);
    LocalUnlock(patternHandle);
  }
  if (patternHandle) LocalFree(patternHandle);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        AddFileEntry(node, found.cFileName, found.nFileSizeLow);
      else if (strcmp(found.cFileName, ".") != 0 && strcmp(found.cFileName, "..") != 0)
        AddSubdirNode(node, found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  node->Scanned = 1;
  node->WalkState = DIR_WALK_FILES;
  if (recursive) {
    for (DIR_NODE *sub = (DIR_NODE *)BlockListFirst(node->SubdirList); sub; sub = (DIR_NODE *)BlockListNext(sub))
      ReadDirectory(sub, TRUE);
  }
}

DIR_SCAN *DirScanBuild(LPCSTR path, BOOL shallow) {
  if (!path) return NULL;
  DWORD isFile;
  if (IsDirectoryPath(path))
    isFile = 0;
  else if (IsFilePath(path))
    isFile = 1;
  else
    return NULL;
  DIR_SCAN *scan = (DIR_SCAN *)PageHeapAlloc(LibraryHeap, sizeof(DIR_SCAN));
  if (!scan) return NULL;
  // A full form that does not fit the field is refused, never cut.
  DWORD length = GetFullPathNameA(path, DIR_SCAN_ROOT_PATH, scan->RootPath, NULL);
  DIR_NODE *root = NULL;
  LPSTR relName = NULL;
  if (length == 0 || length >= DIR_SCAN_ROOT_PATH || !(relName = NewRelName(NULL, ".")) ||
      !(root = (DIR_NODE *)PageHeapAlloc(LibraryHeap, sizeof(DIR_NODE)))) {
    PageHeapFreeString(LibraryHeap, relName);
    PageHeapFree(LibraryHeap, scan, sizeof(DIR_SCAN));
    return NULL;
  }
  scan->IsFile = isFile;
  scan->Root = root;
  InitNode(root, NULL, relName, scan->RootPath);
  if (isFile) {
    root->Scanned = 1;
    // The name comes from the full form, whose separators are all backslashes.
    CHAR name[MAX_PATH];
    LPCSTR last = LastPathComponent(scan->RootPath);
    size_t nameLength = strlen(last);
    if (nameLength >= sizeof(name)) nameLength = sizeof(name) - 1;
    memcpy(name, last, nameLength);
    name[nameLength] = '\0';
    AddFileEntry(root, name, FileSizeOfPath(path));
  } else {
    ReadDirectory(root, !shallow);
  }
  return scan;
}

FILE_ENTRY *DirScanFirstFile(DIR_SCAN *scan) {
  if (!scan || !scan->Root) return NULL;
  DIR_NODE *node = scan->Root;
  node->WalkState = DIR_WALK_FILES;
  node->WalkCursor = NULL;
  for (;;) {
    if (!node->Scanned) ReadDirectory(node, FALSE); // a shallow scan reads a directory when reached
    if (node->WalkState == DIR_WALK_FILES) {
      FILE_ENTRY *first = (FILE_ENTRY *)BlockListFirst(node->FileList);
      if (first) return first;
      node->WalkState = DIR_WALK_SUBDIRS;
    }
    node->WalkCursor =
        node->WalkCursor ? (DIR_NODE *)BlockListNext(node->WalkCursor) : (DIR_NODE *)BlockListFirst(node->SubdirList);
    if (node->WalkCursor) {
      DIR_NODE *sub = node->WalkCursor;
      sub->WalkState = DIR_WALK_FILES;
      sub->WalkCursor = NULL;
      node = sub;
      continue;
    }
    if (!node->Parent) return NULL;
    node->Parent->WalkState = DIR_WALK_SUBDIRS;
    node->Parent->WalkCursor = node;
    node = node->Parent;
  }
}

static void ReleaseNodeContents(DIR_NODE *node) {
  for (FILE_ENTRY *entry = (FILE_ENTRY *)BlockListFirst(node->FileList); entry;
       entry = (FILE_ENTRY *)BlockListNext(entry)) {
    PageHeapFreeString(LibraryHeap, entry->Name);
    if (entry->LocalCopy) {
      if (entry->DeleteCopy) {
        DWORD attributes = GetFileAttributesA(entry->LocalCopy);
        if (attributes != INVALID_FILE_ATTRIBUTES)
          SetFileAttributesA(entry->LocalCopy, attributes & ~(DWORD)FILE_ATTRIBUTE_READONLY);
        DeleteFileA(entry->LocalCopy);
      }
      // The buffer belongs to the entry whether or not the copy is deleted.
      PageHeapFree(LibraryHeap, entry->LocalCopy, FILE_ENTRY_LOCAL_COPY);
      entry->LocalCopy = NULL;
    }
  }
  BlockListDestroy(&ScanPool, &node->FileList);
  for (DIR_NODE *sub = (DIR_NODE *)BlockListFirst(node->SubdirList); sub; sub = (DIR_NODE *)BlockListNext(sub))
    ReleaseNodeContents(sub);
  BlockListDestroy(&ScanPool, &node->SubdirList);
  PageHeapFreeString(LibraryHeap, node->RelName);
  node->RelName = NULL;
}

void DirScanFree(DIR_SCAN *scan) {
  if (!scan) return;
  if (scan->Root) {
    ReleaseNodeContents(scan->Root);
    PageHeapFree(LibraryHeap, scan->Root, sizeof(DIR_NODE));
  }
  PageHeapFree(LibraryHeap, scan, sizeof(DIR_SCAN));
}

// The bytes allocated for an entry's full path: room for the whole relName,
// although its leading dot (and perhaps a backslash) is left out of the path.
static LONG FullPathSize(const FILE_ENTRY *entry) {
  return (LONG)(strlen(ScanOf(entry->Parent)->RootPath) + strlen(entry->Parent->RelName) + strlen(entry->Name) + 1);
}

LPSTR FileEntryFullPath(FILE_ENTRY *entry) {
  if (!entry) return NULL;
  DIR_SCAN *scan = ScanOf(entry->Parent);
  if (scan->IsFile) return scan->RootPath;
  LPSTR path = (LPSTR)PageHeapAlloc(LibraryHeap, FullPathSize(entry));
  if (path) JoinScanPath(path, scan->RootPath, entry->Parent->RelName, entry->Name);
  return path;
}

void FileEntryFreePath(FILE_ENTRY *entry, LPSTR path) {
  if (!entry || !path || ScanOf(entry->Parent)->IsFile) return; // a file scan's path is its rootPath
  PageHeapFree(LibraryHeap, path, FullPathSize(entry));         // by the size allocated, not the string's length
}

HFILE FileEntryOpen(FILE_ENTRY *entry) {
  LPSTR path = FileEntryFullPath(entry);
  if (!path) return HFILE_ERROR;
  HFILE file = OpenFileForReading(path);
  FileEntryFreePath(entry, path);
  return file;
}

void FileEntryClose(FILE_ENTRY *entry, HFILE file) {
  (void)entry;
  _lclose(file);
}
