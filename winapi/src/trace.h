// Failing Win32 calls on standard error, as a debugger shows them, while
// CVLAN_DEBUG_OUTPUT is set (to anything but "0"); nothing otherwise:
//
//   RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\CurrentControlSet\Services\cvlan1") failed: 2 (ERROR_FILE_NOT_FOUND): ...
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace winapi {

bool TracingFailures();

// One line: "<call> failed: <error> (<its name>): <cause>".
void TraceFailure(std::string_view call, DWORD error, std::string_view cause);

// An argument as the line shows it: a string in quotes, or NULL.
std::string TraceString(const char *text);

// The name of an error code ("ERROR_FILE_NOT_FOUND"); the number for one unnamed.
std::string ErrorName(DWORD error);

} // namespace winapi
