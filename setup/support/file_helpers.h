/* Path and file helpers of the directory scan. */
#ifndef CVSETUP_FILE_HELPERS_H
#define CVSETUP_FILE_HELPERS_H

#include <windows.h>

BOOL IsFilePath(LPCSTR Path);
BOOL IsDirectoryPath(LPCSTR Path);
LPCSTR LastPathComponent(LPCSTR Path);
DWORD FileSizeOfPath(LPCSTR Path);
int ComparePathNames(LPCSTR a, LPCSTR b);
/* Opens a file for reading, shared, as OpenFile does; a name whose full form is
   too long for OpenFile is opened with CreateFileA instead. */
HFILE OpenFileForReading(LPCSTR Path);

#endif
