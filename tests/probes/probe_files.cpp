// Paths and directory searches as the setup library's directory scan uses them:
// GetFullPathNameA, FindFirstFileA on the inputs a last-path-component walk makes,
// GetFileAttributesA, OpenFile and CharLowerBuffA. Runs in a folder that
// files.tree beside this file describes.
#include "probe.h"

#include <stdlib.h>
#include <string.h>

static void FullPath(const char *path) {
  char buffer[MAX_PATH];
  memset(buffer, '#', sizeof buffer);
  char *filePart = buffer + 1; // a value no call leaves there
  SetLastError(12345);         // shows a failure that sets no error
  DWORD length = GetFullPathNameA(path, sizeof buffer, buffer, &filePart);
  printf("full path of \"%s\": ", path);
  if (length == 0) {
    printf("error %lu\n", (unsigned long)GetLastError());
    return;
  }
  printf("length %lu, %s, file part %s\n", (unsigned long)length, buffer, filePart ? filePart : "NULL");
}

static void FullPathShort(const char *path, DWORD size) {
  char buffer[MAX_PATH];
  memset(buffer, '#', sizeof buffer);
  buffer[sizeof buffer - 1] = 0;
  DWORD length = GetFullPathNameA(path, size, buffer, NULL);
  printf("full path of \"%s\" into %lu: length %lu, buffer starts %.4s\n", path, (unsigned long)size,
         (unsigned long)length, buffer);
}

static int CompareNames(const void *a, const void *b) { return strcmp((const char *)a, (const char *)b); }

// Every entry a search gives, sorted (the order of a search is the file system's).
static void Find(const char *pattern) {
  WIN32_FIND_DATAA data;
  SetLastError(12345);
  HANDLE search = FindFirstFileA(pattern, &data);
  printf("find \"%s\": ", pattern);
  if (search == INVALID_HANDLE_VALUE) {
    printf("error %lu\n", (unsigned long)GetLastError());
    return;
  }
  static char entries[64][MAX_PATH + 16];
  int count = 0;
  do {
    if (count < 64) {
      snprintf(entries[count++], sizeof entries[0], "%s%s", data.cFileName,
               (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? "\\" : "");
    }
  } while (FindNextFileA(search, &data));
  DWORD end = GetLastError();
  FindClose(search);
  qsort(entries, count, sizeof entries[0], CompareNames);
  for (int i = 0; i < count; ++i) printf("%s%s", i ? ", " : "", entries[i]);
  printf("; then error %lu\n", (unsigned long)end);
}

static void Attributes(const char *path) {
  SetLastError(12345);
  DWORD attributes = GetFileAttributesA(path);
  printf("attributes of \"%s\": ", path);
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    printf("error %lu\n", (unsigned long)GetLastError());
  } else {
    printf("%s\n", (attributes & FILE_ATTRIBUTE_DIRECTORY) ? "directory" : "file");
  }
}

static void Open(const char *path) {
  OFSTRUCT of;
  memset(&of, 0, sizeof of);
  SetLastError(12345);
  HFILE file = OpenFile(path, &of, OF_READ | OF_SHARE_DENY_NONE);
  printf("open \"%s\": ", path);
  if (file == HFILE_ERROR) {
    printf("error %lu, nErrCode %u\n", (unsigned long)GetLastError(), of.nErrCode);
    return;
  }
  char text[16] = {0};
  UINT got = _lread(file, text, sizeof text - 1);
  DWORD size = GetFileSize((HANDLE)(INT_PTR)file, NULL);
  printf("read %u bytes \"%.*s\", size %lu, seek to end %ld\n", got, (int)strcspn(text, "\r\n"), text,
         (unsigned long)size, (long)_llseek(file, 0, FILE_END));
  _lclose(file);
}

int main() {
  FullPath("file.txt");
  FullPath("sub\\A.TXT");
  FullPath("sub\\");
  FullPath("sub");
  FullPath(".\\sub\\..\\file.txt");
  FullPath("sub\\\\deeper\\");
  FullPath("C:\\winnt35\\i386\\cvsetup.dll");
  FullPath("/tmp/x");
  FullPath("");
  FullPathShort("C:\\winnt35\\i386", 5);
  FullPathShort("C:\\winnt35\\i386", 16);
  FullPathShort("C:\\winnt35\\i386", 17);

  Find("*.*");
  Find(".\\*.*");
  Find("sub\\*.*");
  Find("SUB\\*.*");
  Find("sub");
  Find("sub\\");
  Find("empty\\*.*");
  Find("sub\\a.txt");
  Find("missing\\*.*");
  Find("missing.txt");
  Find("");

  Attributes("sub");
  Attributes("SUB\\");
  Attributes("READ.ME");
  Attributes("missing");
  Attributes("missing\\x");

  Open("file.txt");
  Open("SUB\\a.txt");
  Open("missing.txt");
  Open("missing\\x.txt");

  char text[] = "ABC.Txt\\Sub";
  DWORD lowered = CharLowerBuffA(text, 7);
  printf("CharLowerBuffA of 7: %lu, %s\n", (unsigned long)lowered, text);
  return 0;
}
