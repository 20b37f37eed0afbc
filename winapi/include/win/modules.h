/* Modules: the program and the libraries loaded into it. On a POSIX host the
   Windows name X.dll stands for the shared object libX.so (lower case), so that
   LoadLibraryA("cvsetup.dll") loads libcvsetup.so. A bare name is looked up
   beside the program first, then in the current directory, then by the host's
   own search. GetModuleHandleA with a bare name finds a loaded module of that
   name, with a path only the module loaded from that path. */
#ifndef CVLAN_WINAPI_MODULES_H
#define CVLAN_WINAPI_MODULES_H

#include <win/types.h>

typedef INT_PTR(WINAPI *FARPROC)(void);

#define GET_MODULE_HANDLE_EX_FLAG_PIN 0x00000001
#define GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT 0x00000002
#define GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS 0x00000004

/* The reasons a library's DllMain is called for. A POSIX library gets its calls
   by linking the winapi_dll_entry objects: DLL_PROCESS_ATTACH with its module
   handle while LoadLibraryA loads it, DLL_PROCESS_DETACH when it is unloaded;
   no thread calls. */
#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3

#ifdef __cplusplus
extern "C" {
#endif

HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName);
BOOL WINAPI GetModuleHandleExA(DWORD dwFlags, LPCSTR lpModuleName, HMODULE *phModule);
DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize);
HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName);
FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName);
BOOL WINAPI FreeLibrary(HMODULE hLibModule);

#ifdef __cplusplus
}
#endif

#endif
