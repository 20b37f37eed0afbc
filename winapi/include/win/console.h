/* Win32 console functions for POSIX hosts. */
#ifndef CVLAN_WINAPI_CONSOLE_H
#define CVLAN_WINAPI_CONSOLE_H

#include <win/types.h>

#endif
