// cvsetup-host MODE [ARG]: stands in for the NT setup's script. Loads cvsetup
// (from beside this program, or the library that CVSETUP_LIBRARY names), calls
// DoDialog with the arguments, and prints the result text and a line feed.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#ifndef _WIN32
#include <dlfcn.h>

#include <filesystem>
#include <string>
#endif

typedef BOOL(WINAPI *DODIALOG_PROC)(DWORD count, LPSTR *args, LPSTR *textOut);

static const char kUsage[] =
    "usage: cvsetup-host MODE [ARG]\n"
    "  MODE 1 PATH: does PATH hold a line that begins with CVLAN (2) or not (0)\n"
    "  MODE 0: the configuration dialog of a new installation\n"
    "  MODE 99999: the configuration dialog of the installed adapter\n";

#ifdef _WIN32

static HMODULE LoadSetupLibrary(char *name, size_t nameSize) {
  const char *chosen = getenv("CVSETUP_LIBRARY");
  if (chosen && *chosen) {
    snprintf(name, nameSize, "%s", chosen);
  } else {
    DWORD length = GetModuleFileNameA(NULL, name, (DWORD)nameSize);
    char *slash = length && length < nameSize ? strrchr(name, '\\') : NULL;
    if (slash && (size_t)(slash + 1 - name) + sizeof("cvsetup.dll") <= nameSize)
      strcpy(slash + 1, "cvsetup.dll");
    else
      snprintf(name, nameSize, "cvsetup.dll");
  }
  return LoadLibraryA(name);
}

static void ReportLoadFailure(const char *name) {
  fprintf(stderr, "cvsetup-host: cannot load %s (error %lu)\n", name, (unsigned long)GetLastError());
}

static void ReportMissingEntry(const char *name) {
  fprintf(stderr, "cvsetup-host: %s has no DoDialog (error %lu)\n", name, (unsigned long)GetLastError());
}

#else

// On this host the library is a shared object: the file is named by its host
// path, so that a failure names the file the loader was given, with its reason.
static std::string HostLibraryPath() {
  const char *chosen = getenv("CVSETUP_LIBRARY");
  std::string path;
  if (chosen && *chosen) {
    path = chosen;
    if (path.size() > 2 && path[1] == ':' && (path[2] == '\\' || path[2] == '/')) path = path.substr(2);
    for (char &c : path)
      if (c == '\\') c = '/';
    // A Windows library name X.dll stands for libX.so in the same folder.
    size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    std::string base = path.substr(folder.size());
    if (base.size() > 4 && strcasecmp(base.c_str() + base.size() - 4, ".dll") == 0) {
      base = base.substr(0, base.size() - 4);
      for (char &c : base) c = (char)tolower((unsigned char)c);
      path = folder + "lib" + base + ".so";
    }
  } else {
    std::error_code error;
    path = std::filesystem::read_symlink("/proc/self/exe", error).parent_path().string() + "/libcvsetup.so";
  }
  std::error_code error;
  std::filesystem::path absolute = std::filesystem::absolute(path, error);
  return error ? path : absolute.lexically_normal().string();
}

static HMODULE LoadSetupLibrary(char *name, size_t nameSize) {
  snprintf(name, nameSize, "%s", HostLibraryPath().c_str());
  HMODULE library = LoadLibraryA(name);
  // Installed, the library lives in lib/, which the program's run path names.
  const char *chosen = getenv("CVSETUP_LIBRARY");
  if (!library && !(chosen && *chosen)) library = LoadLibraryA("cvsetup.dll");
  // A sanitizer's dlopen runs from its own runtime, whose run path is not the
  // program's: then the installed place is named in full.
  if (!library && !(chosen && *chosen)) {
    std::error_code error;
    std::filesystem::path installed =
        std::filesystem::read_symlink("/proc/self/exe", error).parent_path() / ".." / "lib" / "libcvsetup.so";
    if (!error && std::filesystem::exists(installed, error))
      library = LoadLibraryA(installed.lexically_normal().string().c_str());
  }
  return library;
}

// The loader's own reason, without the file name it starts with.
static std::string LoaderReason(const char *name) {
  void *handle = dlopen(name, RTLD_NOW | RTLD_LOCAL);
  if (handle) {
    dlclose(handle);
    return "the loader opens it, but it is not a library this program can use";
  }
  const char *text = dlerror();
  std::string reason = text ? text : "unknown reason";
  std::string prefix = std::string(name) + ": ";
  if (reason.compare(0, prefix.size(), prefix) == 0) reason = reason.substr(prefix.size());
  return reason;
}

static void ReportLoadFailure(const char *name) {
  fprintf(stderr, "cvsetup-host: cannot load %s: %s\n", name, LoaderReason(name).c_str());
}

static void ReportMissingEntry(const char *name) { fprintf(stderr, "cvsetup-host: %s has no DoDialog\n", name); }

#endif

int main(int argc, char **argv) {
  if (argc == 2 && strcmp(argv[1], "--help") == 0) {
    fputs(kUsage, stdout);
    return 0;
  }
  if (argc == 2 && strcmp(argv[1], "--version") == 0) {
    printf("cvsetup-host %s\n", CV_VERSION);
    return 0;
  }
  if (argc < 2 || argc > 3) {
    fputs(kUsage, stderr);
    return 2;
  }
  char name[4096];
  HMODULE library = LoadSetupLibrary(name, sizeof(name));
  if (!library) {
    ReportLoadFailure(name);
    return 1;
  }
  DODIALOG_PROC doDialog = (DODIALOG_PROC)(void *)GetProcAddress(library, "DoDialog");
  if (!doDialog) {
    ReportMissingEntry(name);
    return 1;
  }
  LPSTR text = NULL;
  doDialog((DWORD)(argc - 1), argv + 1, &text);
  // The text lives in the library, which stays loaded until the process ends.
  printf("%s\n", text ? text : "");
  return 0;
}
