/* Win32 memory functions for POSIX hosts. */
#ifndef CVLAN_WINAPI_MEMORY_H
#define CVLAN_WINAPI_MEMORY_H

#include <win/types.h>

#endif
