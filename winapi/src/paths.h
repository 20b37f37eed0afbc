// Names of the file system. The POSIX file system is drive Z:; Windows names
// ("Z:\a\b", "\a\b", "a\b", "z:/a/b") and POSIX names ("/a/b") both reach it.
#pragma once

#include <windows.h>

#include <string>

namespace winapi {

// The ANSI code page's lower case of one byte (1252: A-Z, and the accented
// capitals from 0xC0 up, Š, Œ, Ž, Ÿ), as CharLowerBuffA gives it.
unsigned char AnsiLower(unsigned char c);
bool AnsiEqualNoCase(const std::string &a, const std::string &b);

// The full form of a name, as GetFullPathNameA gives it: lexical only ("." and
// ".." folded, separators collapsed, trailing dots and blanks of the last name
// dropped, a trailing backslash kept), with the case given.
std::string FullWindowsPath(const char *name);

// The POSIX path of a name on drive Z:, each name found without regard to case.
// When the last name does not exist it is kept as given (so that it can be
// created); with mustExist that is an error too. Returns false with a Win32
// error code in *error for another drive, a missing directory on the way
// (ERROR_PATH_NOT_FOUND) or a missing last name (ERROR_FILE_NOT_FOUND).
bool HostPath(const char *name, std::string *host, DWORD *error, bool mustExist = true);

// The Win32 error that stands for a POSIX errno value.
DWORD ErrorFromErrno(int error);

// The Windows form (drive Z:) of a POSIX absolute path.
std::string WindowsFormOfHostPath(const std::string &host);

} // namespace winapi
