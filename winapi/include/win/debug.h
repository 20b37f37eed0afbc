/* Debugger output and ending the process. */
#ifndef CVLAN_WINAPI_DEBUG_H
#define CVLAN_WINAPI_DEBUG_H

#include <win/types.h>

#ifdef __cplusplus
extern "C" {
#endif

/* There is no debugger on a POSIX host: the string goes to standard error when the
   environment variable CVLAN_DEBUG_OUTPUT is set to anything but "" or "0", and
   nowhere otherwise. */
void WINAPI OutputDebugStringA(LPCSTR lpOutputString);

/* Runs the process's exit handlers (which restore the terminal) and ends it. */
__attribute__((noreturn)) void WINAPI ExitProcess(UINT uExitCode);

#ifdef __cplusplus
}
#endif

#endif
