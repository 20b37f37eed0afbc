/* Win32 registry functions for POSIX hosts. */
#ifndef CVLAN_WINAPI_REGISTRY_H
#define CVLAN_WINAPI_REGISTRY_H

#include <win/types.h>

#endif
