// Files of drive Z:: opening (CreateFileA on a path, OpenFile), the handle-based
// calls of the old file API, attributes, deletion, full paths.
#include <windows.h>

#include "files_disk.h"
#include "open_kinds.h"
#include "paths.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace winapi {

DiskFile::~DiskFile() { ::close(fd_); }

std::shared_ptr<DiskFile> LookupDiskFile(HANDLE handle) { return LookupHandleAs<DiskFile>(handle); }

HANDLE OpenDiskFile(const char *path, DWORD access, DWORD share, DWORD disposition, DWORD flags) {
  (void)share; // POSIX hosts have no sharing modes to enforce
  bool mustExist = disposition == OPEN_EXISTING || disposition == TRUNCATE_EXISTING;
  std::string host;
  DWORD error = ERROR_SUCCESS;
  if (!HostPath(path, &host, &error, mustExist)) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
  }
  bool reads = access & (GENERIC_READ | GENERIC_ALL);
  bool writes = access & (GENERIC_WRITE | GENERIC_ALL);
  int mode = writes ? (reads ? O_RDWR : O_WRONLY) : O_RDONLY;
  switch (disposition) {
    case CREATE_NEW:
      mode |= O_CREAT | O_EXCL;
      break;
    case CREATE_ALWAYS:
      mode |= O_CREAT | O_TRUNC;
      break;
    case OPEN_EXISTING:
      break;
    case OPEN_ALWAYS:
      mode |= O_CREAT;
      break;
    case TRUNCATE_EXISTING:
      if (!writes) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
      }
      mode |= O_TRUNC;
      break;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return INVALID_HANDLE_VALUE;
  }
  struct stat before;
  bool existed = ::stat(host.c_str(), &before) == 0;
  if (existed && S_ISDIR(before.st_mode)) {
    SetLastError(ERROR_ACCESS_DENIED); // a directory is no file to open
    return INVALID_HANDLE_VALUE;
  }
  mode_t permissions = (flags & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;
  // O_NONBLOCK so that a FIFO without a writer cannot block the open; reads
  // then block again as on any file (and see the end of a writerless FIFO).
  int fd = ::open(host.c_str(), mode | O_CLOEXEC | O_NONBLOCK, permissions);
  if (fd < 0) {
    SetLastError(ErrorFromErrno(errno));
    return INVALID_HANDLE_VALUE;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  HANDLE handle = InsertHandle(std::make_shared<DiskFile>(fd));
  bool reported = existed && (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS);
  SetLastError(reported ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return handle;
}

} // namespace winapi

namespace {

HANDLE HandleOfFile(HFILE file) { return reinterpret_cast<HANDLE>(static_cast<INT_PTR>(file)); }

DWORD AttributesOf(std::string host, const struct stat &st) {
  DWORD attributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
  if (!S_ISDIR(st.st_mode) && !(st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH))) attributes |= FILE_ATTRIBUTE_READONLY;
  while (host.size() > 1 && host.back() == '/') host.pop_back();
  std::string name = host.substr(host.find_last_of('/') + 1);
  if (name.size() > 1 && name[0] == '.' && name != "..") attributes |= FILE_ATTRIBUTE_HIDDEN; // as Wine shows dot files
  return attributes;
}

} // namespace

namespace {

// The host path of a Win32 name and what stat (or, not following a final link,
// lstat) says of it. On failure the Win32 error is set and the answer is false.
bool StatName(LPCSTR name, bool followLinks, std::string *host, struct stat *st) {
  DWORD error = ERROR_SUCCESS;
  if (!winapi::HostPath(name, host, &error)) {
    SetLastError(error);
    return false;
  }
  if ((followLinks ? ::stat(host->c_str(), st) : ::lstat(host->c_str(), st)) != 0) {
    SetLastError(winapi::ErrorFromErrno(errno));
    return false;
  }
  return true;
}

} // namespace

extern "C" {

HFILE WINAPI OpenFile(LPCSTR lpFileName, LPOFSTRUCT lpReOpenBuff, UINT uStyle) {
  if (!lpReOpenBuff) return HFILE_ERROR;
  OFSTRUCT *ofs = lpReOpenBuff;
  ofs->cBytes = sizeof(OFSTRUCT);
  ofs->nErrCode = 0;
  if (uStyle & OF_REOPEN) lpFileName = ofs->szPathName;
  auto fail = [ofs](DWORD error) {
    SetLastError(error);
    ofs->nErrCode = static_cast<WORD>(error);
    return HFILE_ERROR;
  };
  if (!lpFileName || !*lpFileName) return fail(ERROR_FILE_NOT_FOUND);
  std::string full = winapi::FullWindowsPath(lpFileName);
  if (full.size() >= OFS_MAXPATHNAME) return fail(ERROR_INVALID_DATA); // OpenFile's own limit
  std::memcpy(ofs->szPathName, full.c_str(), full.size() + 1);
  ofs->fFixedDisk = 1;
  if (uStyle & OF_PARSE) return 0;
  if (uStyle & OF_DELETE) {
    if (!DeleteFileA(full.c_str())) return fail(GetLastError());
    return TRUE;
  }
  DWORD access = GENERIC_READ;
  if ((uStyle & 3) == OF_WRITE) access = GENERIC_WRITE;
  if ((uStyle & 3) == OF_READWRITE) access = GENERIC_READ | GENERIC_WRITE;
  DWORD disposition = (uStyle & OF_CREATE) ? CREATE_ALWAYS : OPEN_EXISTING;
  HANDLE handle = winapi::OpenDiskFile(full.c_str(), access, 0, disposition, 0);
  if (handle == INVALID_HANDLE_VALUE) {
    // OpenFile looks for the file: a missing folder is a file not found (as Wine).
    DWORD error = GetLastError();
    return fail(error == ERROR_PATH_NOT_FOUND && !(uStyle & OF_CREATE) ? ERROR_FILE_NOT_FOUND : error);
  }
  if (uStyle & OF_EXIST) {
    CloseHandle(handle);
    return TRUE;
  }
  return static_cast<HFILE>(reinterpret_cast<INT_PTR>(handle));
}

UINT WINAPI _lread(HFILE hFile, LPVOID lpBuffer, UINT uBytes) {
  auto file = winapi::LookupDiskFile(HandleOfFile(hFile));
  if (!file) {
    SetLastError(ERROR_INVALID_HANDLE);
    return static_cast<UINT>(HFILE_ERROR);
  }
  UINT done = 0;
  while (done < uBytes) {
    ssize_t n = ::read(file->fd(), static_cast<char *>(lpBuffer) + done, uBytes - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      SetLastError(winapi::ErrorFromErrno(errno));
      return static_cast<UINT>(HFILE_ERROR);
    }
    if (n == 0) break;
    done += static_cast<UINT>(n);
  }
  return done;
}

LONG WINAPI _llseek(HFILE hFile, LONG lOffset, int iOrigin) {
  auto file = winapi::LookupDiskFile(HandleOfFile(hFile));
  if (!file) {
    SetLastError(ERROR_INVALID_HANDLE);
    return HFILE_ERROR;
  }
  int whence = iOrigin == FILE_CURRENT ? SEEK_CUR : iOrigin == FILE_END ? SEEK_END : SEEK_SET;
  if (iOrigin < FILE_BEGIN || iOrigin > FILE_END) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return HFILE_ERROR;
  }
  off_t position = ::lseek(file->fd(), lOffset, whence);
  if (position < 0) {
    SetLastError(errno == EINVAL ? ERROR_NEGATIVE_SEEK : winapi::ErrorFromErrno(errno));
    return HFILE_ERROR;
  }
  return static_cast<LONG>(position);
}

HFILE WINAPI _lclose(HFILE hFile) { return CloseHandle(HandleOfFile(hFile)) ? 0 : HFILE_ERROR; }

DWORD WINAPI GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh) {
  auto file = winapi::LookupDiskFile(hFile);
  struct stat st;
  if (!file || ::fstat(file->fd(), &st) != 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return INVALID_FILE_SIZE;
  }
  auto size = static_cast<ULONGLONG>(st.st_size);
  if (lpFileSizeHigh) *lpFileSizeHigh = static_cast<DWORD>(size >> 32);
  SetLastError(NO_ERROR); // a low part of 0xFFFFFFFF is then no failure
  return static_cast<DWORD>(size);
}

DWORD WINAPI GetFileType(HANDLE hFile) {
  auto file = winapi::LookupDiskFile(hFile);
  struct stat st;
  if (!file || ::fstat(file->fd(), &st) != 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FILE_TYPE_UNKNOWN;
  }
  SetLastError(NO_ERROR);
  if (S_ISREG(st.st_mode) || S_ISBLK(st.st_mode)) return FILE_TYPE_DISK;
  if (S_ISCHR(st.st_mode)) return FILE_TYPE_CHAR;
  if (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode)) return FILE_TYPE_PIPE;
  return FILE_TYPE_UNKNOWN;
}

DWORD WINAPI GetFileAttributesA(LPCSTR lpFileName) {
  std::string host;
  struct stat st;
  if (!StatName(lpFileName, true, &host, &st)) return INVALID_FILE_ATTRIBUTES;
  return AttributesOf(host, st);
}

BOOL WINAPI SetFileAttributesA(LPCSTR lpFileName, DWORD dwFileAttributes) {
  std::string host;
  struct stat st;
  if (!StatName(lpFileName, true, &host, &st)) return FALSE;
  // Only the read-only attribute has a POSIX meaning (the write permissions); it
  // means nothing for a directory, as on Windows.
  if (S_ISDIR(st.st_mode)) return TRUE;
  mode_t mode = st.st_mode & 07777;
  if (dwFileAttributes & FILE_ATTRIBUTE_READONLY)
    mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
  else if (!(mode & (S_IWUSR | S_IWGRP | S_IWOTH)))
    mode |= S_IWUSR;
  if (::chmod(host.c_str(), mode) != 0) {
    SetLastError(winapi::ErrorFromErrno(errno));
    return FALSE;
  }
  return TRUE;
}

BOOL WINAPI DeleteFileA(LPCSTR lpFileName) {
  std::string host;
  struct stat st;
  if (!StatName(lpFileName, false, &host, &st)) return FALSE;
  // Windows refuses to delete a directory or a read-only file.
  if (S_ISDIR(st.st_mode) || (S_ISREG(st.st_mode) && !(st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)))) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (::unlink(host.c_str()) != 0) {
    SetLastError(winapi::ErrorFromErrno(errno));
    return FALSE;
  }
  return TRUE;
}

DWORD WINAPI GetFullPathNameA(LPCSTR lpFileName, DWORD nBufferLength, LPSTR lpBuffer, LPSTR *lpFilePart) {
  if (!lpFileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (!*lpFileName) return 0; // as Wine: nothing to resolve, and no error set
  std::string full = winapi::FullWindowsPath(lpFileName);
  if (full.size() + 1 > nBufferLength || !lpBuffer) return static_cast<DWORD>(full.size() + 1);
  std::memcpy(lpBuffer, full.c_str(), full.size() + 1);
  if (lpFilePart) {
    size_t slash = full.find_last_of('\\');
    *lpFilePart = (slash == std::string::npos || slash + 1 == full.size()) ? nullptr : lpBuffer + slash + 1;
  }
  return static_cast<DWORD>(full.size());
}

DWORD WINAPI CharLowerBuffA(LPSTR lpsz, DWORD cchLength) {
  if (!lpsz) return 0;
  for (DWORD i = 0; i < cchLength; ++i)
    lpsz[i] = static_cast<char>(winapi::AnsiLower(static_cast<unsigned char>(lpsz[i])));
  return cchLength;
}
}
