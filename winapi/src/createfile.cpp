// CreateFileA serves three kinds of name: "\\.\NAME" opens a device through its DOS
// device name, "CONOUT$" and "CONIN$" the console, anything else a file.
#include <windows.h>

#include "open_kinds.h"

#include <cstring>
#include <strings.h>

extern "C" HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                                     LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                                     DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) {
  (void)lpSecurityAttributes;
  (void)hTemplateFile;
  if (!lpFileName || !*lpFileName) {
    SetLastError(lpFileName ? ERROR_PATH_NOT_FOUND : ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  if (std::strncmp(lpFileName, "\\\\.\\", 4) == 0)
    return winapi::OpenDevice(lpFileName + 4, dwDesiredAccess, dwShareMode, dwCreationDisposition);
  if (strcasecmp(lpFileName, "CONOUT$") == 0 || strcasecmp(lpFileName, "CONIN$") == 0)
    return winapi::OpenConsole(lpFileName, dwDesiredAccess, dwShareMode, dwCreationDisposition);
  return winapi::OpenDiskFile(lpFileName, dwDesiredAccess, dwShareMode, dwCreationDisposition, dwFlagsAndAttributes);
}
