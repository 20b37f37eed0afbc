/* Win32 files functions for POSIX hosts. */
#ifndef CVLAN_WINAPI_FILES_H
#define CVLAN_WINAPI_FILES_H

#include <win/types.h>

#endif
