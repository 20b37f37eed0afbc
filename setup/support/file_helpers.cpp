// Path and file helpers of the directory scan.
#include "file_helpers.h"

#include <string.h>

BOOL IsFilePath(LPCSTR path) {
  DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

BOOL IsDirectoryPath(LPCSTR path) {
  DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

LPCSTR LastPathComponent(LPCSTR path) {
  if (!path) return NULL;
  size_t length = strlen(path);
  if (length && path[length - 1] == '\\') {
    // A directory name: the last name with its backslash.
    for (size_t i = length - 1; i-- > 1;)
      if (path[i] == '\\') return path + i + 1;
    return path;
  }
  LPCSTR last = strrchr(path, '\\');
  if (last) return last + 1;
  last = strrchr(path, ':');
  return last ? last + 1 : path;
}

HFILE OpenFileForReading(LPCSTR path) {
  OFSTRUCT openBuffer;
  HFILE file = OpenFile(path, &openBuffer, OF_READ | OF_SHARE_DENY_NONE);
  // OpenFile refuses a full path of OFS_MAXPATHNAME characters or more; such a
  // file is still a file that can be read.
  if (file == HFILE_ERROR && GetFullPathNameA(path, 0, NULL, NULL) > OFS_MAXPATHNAME) {
    HANDLE handle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, NULL);
    if (handle != INVALID_HANDLE_VALUE) file = (HFILE)(INT_PTR)handle;
  }
  // Only a file on disk is read: a device or a pipe may never come to an end.
  if (file != HFILE_ERROR && GetFileType((HANDLE)(INT_PTR)file) != FILE_TYPE_DISK) {
    _lclose(file);
    return HFILE_ERROR;
  }
  return file;
}

DWORD FileSizeOfPath(LPCSTR path) {
  HFILE file = OpenFileForReading(path);
  if (file == HFILE_ERROR) return 0;
  DWORD size = GetFileSize((HANDLE)(INT_PTR)file, NULL);
  _lclose(file);
  return size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR ? 0 : size;
}

int ComparePathNames(LPCSTR a, LPCSTR b) {
  if (!a) return -1;
  if (!b) return 1;
  size_t i = 0;
  while (a[i] && a[i] == b[i]) i++;
  if (a[i] == b[i]) return 0;
  if (!a[i]) return -1;
  if (!b[i]) return 1;
  int provisional;
  if (a[i] == '\\')
    provisional = -1;
  else if (b[i] == '\\')
    provisional = 1;
  else
    provisional = (signed char)a[i] - (signed char)b[i];
  // A name deeper in a subdirectory sorts after the names of its own directory.
  BOOL deeperA = strchr(a + i, '\\') != NULL;
  BOOL deeperB = strchr(b + i, '\\') != NULL;
  if (deeperA == deeperB) return provisional;
  return deeperA ? 1 : -1;
}
