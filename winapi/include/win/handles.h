/* Kernel object handles and the thread's last-error value. */
#ifndef CVLAN_WINAPI_HANDLES_H
#define CVLAN_WINAPI_HANDLES_H

#include <win/types.h>

#define INVALID_HANDLE_VALUE ((HANDLE)(LONG_PTR)-1)

#ifdef __cplusplus
extern "C" {
#endif

BOOL WINAPI CloseHandle(HANDLE hObject);
DWORD WINAPI GetLastError(void);
void WINAPI SetLastError(DWORD dwErrCode);

#ifdef __cplusplus
}
#endif

#endif
