// cvsetup-host MODE [ARG]: stands in for the NT setup's script. Loads cvsetup
// (from beside this program, or the library that CVSETUP_LIBRARY names), calls
// DoDialog with the arguments, and prints the result text and a line feed.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

typedef BOOL(WINAPI* DODIALOG_PROC)(DWORD count, LPSTR* args, LPSTR* textOut);

static HMODULE LoadSetupLibrary(char* name, size_t nameSize) {
  const char* chosen = getenv("CVSETUP_LIBRARY");
  if (chosen && *chosen) {
    snprintf(name, nameSize, "%s", chosen);
  } else {
    DWORD length = GetModuleFileNameA(NULL, name, (DWORD)nameSize);
    char* slash = length && length < nameSize ? strrchr(name, '\\') : NULL;
    if (slash && (size_t)(slash + 1 - name) + sizeof("cvsetup.dll") <= nameSize)
      strcpy(slash + 1, "cvsetup.dll");
    else
      snprintf(name, nameSize, "cvsetup.dll");
  }
  HMODULE library = LoadLibraryA(name);
#ifndef _WIN32
  // Installed, the library lives in lib/ and the program's run path names it.
  if (!library && !(chosen && *chosen)) library = LoadLibraryA("cvsetup.dll");
#endif
  return library;
}

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    fprintf(stderr, "usage: cvsetup-host MODE [ARG]\n"
                    "  MODE 1 PATH: does PATH hold a line that begins with CVLAN (2) or not (0)\n"
                    "  MODE 0: the configuration dialog of a new installation\n"
                    "  MODE 99999: the configuration dialog of the installed adapter\n");
    return 2;
  }
  char name[MAX_PATH + 64];
  HMODULE library = LoadSetupLibrary(name, sizeof(name));
  if (!library) {
    fprintf(stderr, "cvsetup-host: cannot load %s (error %lu)\n", name, (unsigned long)GetLastError());
    return 1;
  }
  DODIALOG_PROC doDialog = (DODIALOG_PROC)(void*)GetProcAddress(library, "DoDialog");
  if (!doDialog) {
    fprintf(stderr, "cvsetup-host: %s has no DoDialog (error %lu)\n", name, (unsigned long)GetLastError());
    return 1;
  }
  LPSTR text = NULL;
  doDialog((DWORD)(argc - 1), argv + 1, &text);
  // The text lives in the library, which stays loaded until the process ends.
  printf("%s\n", text ? text : "");
  return 0;
}
