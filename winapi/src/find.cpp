// Directory searches: FindFirstFileA / FindNextFileA / FindClose. The listing is
// taken whole when the search starts, in the order NTFS gives (dot entries
// first, then names without regard to case), and matched as Windows matches
// wildcards: "*" and "?", without regard to case, "*.*" matching every name.
#include <windows.h>

#include "handle_table.h"
#include "paths.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

namespace {

class FindSearch : public winapi::KernelObject {
 public:
  std::vector<WIN32_FIND_DATAA> entries;
  size_t next = 0;
};

bool Matches(const char *pattern, const char *name) {
  // Iterative wildcard match with one backtrack point, as the classic glob.
  const char *star = nullptr;
  const char *resume = nullptr;
  while (*name) {
    if (*pattern == '*') {
      star = pattern++;
      resume = name;
    } else if (*pattern == '?' || (*pattern && winapi::AnsiLower(static_cast<unsigned char>(*pattern)) ==
                                                   winapi::AnsiLower(static_cast<unsigned char>(*name)))) {
      ++pattern;
      ++name;
    } else if (star) {
      pattern = star + 1;
      name = ++resume;
    } else {
      return false;
    }
  }
  while (*pattern == '*') ++pattern;
  return *pattern == '\0';
}

FILETIME FileTimeOf(const timespec &t) {
  // 100-nanosecond intervals since 1601-01-01.
  ULONGLONG ticks =
      (static_cast<ULONGLONG>(t.tv_sec) + 11644473600ULL) * 10000000ULL + static_cast<ULONGLONG>(t.tv_nsec) / 100;
  return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

// NTFS keeps a directory's names ordered by their upper case.
std::string UpperKey(const char *name) {
  std::string key;
  for (const char *p = name; *p; ++p) key += static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
  return key;
}

bool DotEntry(const char *name) { return !std::strcmp(name, ".") || !std::strcmp(name, ".."); }

} // namespace

extern "C" {

HANDLE WINAPI FindFirstFileA(LPCSTR lpFileName, LPWIN32_FIND_DATAA lpFindFileData) {
  if (!lpFileName || !lpFindFileData) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  if (!*lpFileName) { // as Windows: an empty pattern names no folder
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  std::string full = winapi::FullWindowsPath(lpFileName);
  size_t slash = full.find_last_of('\\');
  std::string directory = full.substr(0, slash + 1);
  std::string pattern = full.substr(slash + 1);
  if (pattern.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  if (pattern == "*.*") pattern = "*";
  std::string host;
  DWORD error = ERROR_SUCCESS;
  if (!winapi::HostPath(directory.c_str(), &host, &error)) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  DIR *stream = ::opendir(host.c_str());
  if (!stream) {
    SetLastError(errno == ENOENT || errno == ENOTDIR ? ERROR_PATH_NOT_FOUND : winapi::ErrorFromErrno(errno));
    return INVALID_HANDLE_VALUE;
  }
  if (host.back() != '/') host += '/';
  bool driveRoot = host == "/";
  auto search = std::make_shared<FindSearch>();
  while (dirent *entry = ::readdir(stream)) {
    const char *name = entry->d_name;
    if (driveRoot && DotEntry(name)) continue; // a drive's root has no dot entries
    // A POSIX name that Windows cannot spell is not listed.
    if (std::strchr(name, '\\') || std::strlen(name) >= MAX_PATH) continue;
    if (!Matches(pattern.c_str(), name)) continue;
    std::string path = host + name;
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 && ::lstat(path.c_str(), &st) != 0) continue;
    WIN32_FIND_DATAA data{};
    bool directoryEntry = S_ISDIR(st.st_mode);
    data.dwFileAttributes = directoryEntry ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
    if (!directoryEntry && !(st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)))
      data.dwFileAttributes |= FILE_ATTRIBUTE_READONLY;
    if (name[0] == '.' && !DotEntry(name)) data.dwFileAttributes |= FILE_ATTRIBUTE_HIDDEN;
    data.ftCreationTime = FileTimeOf(st.st_ctim);
    data.ftLastAccessTime = FileTimeOf(st.st_atim);
    data.ftLastWriteTime = FileTimeOf(st.st_mtim);
    if (!directoryEntry) {
      auto size = static_cast<ULONGLONG>(st.st_size);
      data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
      data.nFileSizeLow = static_cast<DWORD>(size);
    }
    std::memcpy(data.cFileName, name, std::strlen(name) + 1);
    search->entries.push_back(data);
  }
  ::closedir(stream);
  if (search->entries.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  std::stable_sort(search->entries.begin(), search->entries.end(),
                   [](const WIN32_FIND_DATAA &a, const WIN32_FIND_DATAA &b) {
                     bool dotA = DotEntry(a.cFileName), dotB = DotEntry(b.cFileName);
                     if (dotA != dotB) return dotA;
                     std::string keyA = UpperKey(a.cFileName), keyB = UpperKey(b.cFileName);
                     if (keyA != keyB) return keyA < keyB;
                     return std::strcmp(a.cFileName, b.cFileName) < 0;
                   });
  *lpFindFileData = search->entries[0];
  search->next = 1;
  SetLastError(ERROR_SUCCESS);
  return winapi::InsertHandle(search);
}

BOOL WINAPI FindNextFileA(HANDLE hFindFile, LPWIN32_FIND_DATAA lpFindFileData) {
  auto search = winapi::LookupHandleAs<FindSearch>(hFindFile);
  if (!search || !lpFindFileData) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (search->next >= search->entries.size()) {
    SetLastError(ERROR_NO_MORE_FILES);
    return FALSE;
  }
  *lpFindFileData = search->entries[search->next++];
  return TRUE;
}

BOOL WINAPI FindClose(HANDLE hFindFile) {
  if (!winapi::LookupHandleAs<FindSearch>(hFindFile)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  winapi::RemoveHandle(hFindFile);
  return TRUE;
}
}
