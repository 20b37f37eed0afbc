/* The Win32 subset of the tool set, for POSIX hosts. Names, types, values and
   calling conventions are those of the Win32 API; each area has a header of its
   own below win/. System code includes only this file. */
#ifndef CVLAN_WINAPI_WINDOWS_H
#define CVLAN_WINAPI_WINDOWS_H

#include <win/types.h>
#include <win/errors.h>
#include <win/handles.h>
#include <win/registry.h>
#include <win/devices.h>
#include <win/console.h>
#include <win/memory.h>
#include <win/sync.h>
#include <win/files.h>
#include <win/modules.h>
#include <win/debug.h>
#include <win/user.h>
#include <win/msgbox.h>
#include <win/resources.h>

#endif
