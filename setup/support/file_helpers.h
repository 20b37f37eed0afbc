// Path and file helpers of the directory scan.
#pragma once

#include <windows.h>

BOOL IsFilePath(LPCSTR path);
BOOL IsDirectoryPath(LPCSTR path);
LPCSTR LastPathComponent(LPCSTR path);
DWORD FileSizeOfPath(LPCSTR path);
int ComparePathNames(LPCSTR a, LPCSTR b);
// Opens a file for reading, shared, as OpenFile does; a name whose full form is
// too long for OpenFile is opened with CreateFileA instead.
HFILE OpenFileForReading(LPCSTR path);
