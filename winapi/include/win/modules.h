/* Win32 modules functions for POSIX hosts. */
#ifndef CVLAN_WINAPI_MODULES_H
#define CVLAN_WINAPI_MODULES_H

#include <win/types.h>

#endif
