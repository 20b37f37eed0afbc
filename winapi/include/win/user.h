/* Win32 user functions for POSIX hosts. */
#ifndef CVLAN_WINAPI_USER_H
#define CVLAN_WINAPI_USER_H

#include <win/types.h>

#endif
