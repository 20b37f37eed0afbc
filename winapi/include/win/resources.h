/* Win32 resources (the string table) for POSIX hosts. A module's resources come
   from its resource script, compiled into the module at build time. */
#ifndef CVLAN_WINAPI_RESOURCES_H
#define CVLAN_WINAPI_RESOURCES_H

#include <win/types.h>

#ifdef __cplusplus
extern "C" {
#endif

int WINAPI LoadStringA(HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax);

#ifdef __cplusplus
}
#endif

#endif
