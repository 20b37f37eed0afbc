/* The load and unload entry point of the library: it keeps the module handle
   that the loader passes, the library's own whatever name it was loaded under. */
#include <windows.h>

#include "dialog_loop.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE Instance, DWORD Reason, LPVOID Reserved) {
  (void)Reserved;
  if (Reason == DLL_PROCESS_ATTACH) LibraryInstance = Instance;
  if (Reason == DLL_PROCESS_DETACH) LibraryInstance = NULL;
  return TRUE;
}
