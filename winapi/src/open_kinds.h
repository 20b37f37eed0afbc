// What CreateFileA hands each kind of name to; each lives with its own area.
#pragma once

#include <windows.h>

namespace winapi {

// devices.cpp: dosName is NAME of "\\.\NAME".
HANDLE OpenDevice(const char *dosName, DWORD access, DWORD share, DWORD disposition);
// console.cpp: "CONOUT$" or "CONIN$", any case.
HANDLE OpenConsole(const char *name, DWORD access, DWORD share, DWORD disposition);
// files.cpp: a path of the file system (drive Z: or POSIX form).
HANDLE OpenDiskFile(const char *path, DWORD access, DWORD share, DWORD disposition, DWORD flags);

} // namespace winapi
