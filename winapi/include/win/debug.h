/* Win32 debug functions for POSIX hosts. */
#ifndef CVLAN_WINAPI_DEBUG_H
#define CVLAN_WINAPI_DEBUG_H

#include <win/types.h>

#endif
