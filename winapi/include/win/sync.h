/* Win32 sync functions for POSIX hosts. */
#ifndef CVLAN_WINAPI_SYNC_H
#define CVLAN_WINAPI_SYNC_H

#include <win/types.h>

#endif
