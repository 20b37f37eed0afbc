// The load and unload entry point of the library: it keeps the module handle
// that the loader passes, the library's own whatever name it was loaded under.
#include <windows.h>

extern HINSTANCE LibraryInstance;  // dialog_loop.cpp

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) LibraryInstance = instance;
  if (reason == DLL_PROCESS_DETACH) LibraryInstance = NULL;
  return TRUE;
}
