/* Path and file helpers of the directory scan. */
#include "file_helpers.h"

#include <string.h>

BOOL IsFilePath(LPCSTR Path) {
  DWORD Attributes = GetFileAttributesA(Path);
  return Attributes != INVALID_FILE_ATTRIBUTES && !(Attributes & FILE_ATTRIBUTE_DIRECTORY);
}

BOOL IsDirectoryPath(LPCSTR Path) {
  DWORD Attributes = GetFileAttributesA(Path);
  return Attributes != INVALID_FILE_ATTRIBUTES && (Attributes & FILE_ATTRIBUTE_DIRECTORY);
}

LPCSTR LastPathComponent(LPCSTR Path) {
  if (!Path) return NULL;
  size_t Length = strlen(Path);
  if (Length && Path[Length - 1] == '\\') {
    /* A directory name: the last name with its backslash. */
    for (size_t i = Length - 1; i-- > 1;)
      if (Path[i] == '\\') return Path + i + 1;
    return Path;
  }
  LPCSTR Last = strrchr(Path, '\\');
  if (Last) return Last + 1;
  Last = strrchr(Path, ':');
  return Last ? Last + 1 : Path;
}

HFILE OpenFileForReading(LPCSTR Path) {
  OFSTRUCT OpenBuffer;
  HFILE File = OpenFile(Path, &OpenBuffer, OF_READ | OF_SHARE_DENY_NONE);
  /* OpenFile refuses a full path of OFS_MAXPATHNAME characters or more; such a
     file is still a file that can be read. */
  if (File == HFILE_ERROR && GetFullPathNameA(Path, 0, NULL, NULL) > OFS_MAXPATHNAME) {
    HANDLE Handle = CreateFileA(Path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, NULL);
    if (Handle != INVALID_HANDLE_VALUE) File = (HFILE)(INT_PTR)Handle;
  }
  /* Only a file on disk is read: a device or a pipe may never come to an end. */
  if (File != HFILE_ERROR && GetFileType((HANDLE)(INT_PTR)File) != FILE_TYPE_DISK) {
    _lclose(File);
    return HFILE_ERROR;
  }
  return File;
}

DWORD FileSizeOfPath(LPCSTR Path) {
  HFILE File = OpenFileForReading(Path);
  if (File == HFILE_ERROR) return 0;
  DWORD Size = GetFileSize((HANDLE)(INT_PTR)File, NULL);
  _lclose(File);
  return Size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR ? 0 : Size;
}

int ComparePathNames(LPCSTR a, LPCSTR b) {
  if (!a) return -1;
  if (!b) return 1;
  size_t i = 0;
  while (a[i] && a[i] == b[i]) i++;
  if (a[i] == b[i]) return 0;
  if (!a[i]) return -1;
  if (!b[i]) return 1;
  int Provisional;
  if (a[i] == '\\')
    Provisional = -1;
  else if (b[i] == '\\')
    Provisional = 1;
  else
    Provisional = (signed char)a[i] - (signed char)b[i];
  /* A name deeper in a subdirectory sorts after the names of its own directory. */
  BOOL DeeperA = strchr(a + i, '\\') != NULL;
  BOOL DeeperB = strchr(b + i, '\\') != NULL;
  if (DeeperA == DeeperB) return Provisional;
  return DeeperA ? 1 : -1;
}
