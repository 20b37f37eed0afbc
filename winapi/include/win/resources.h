/* Win32 resources functions for POSIX hosts. */
#ifndef CVLAN_WINAPI_RESOURCES_H
#define CVLAN_WINAPI_RESOURCES_H

#include <win/types.h>

#endif
