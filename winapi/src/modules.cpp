// Modules over the host's dynamic loader. An HMODULE is the module's load
// address, as on Windows (and as the resources code finds a module's script);
// the loader's own handle is looked up from it when needed. The Windows name
// X.dll stands for libX.so, so that system code names its library as on
// Windows; a name that already ends in .so is taken as it is.
#include <windows.h>

#include "modules_symbols.h"
#include "paths.h"
#include "trace.h"

#include <dlfcn.h>
#include <link.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/auxv.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

bool EndsWithNoCase(const std::string &s, const char *suffix) {
  size_t n = std::strlen(suffix);
  return s.size() >= n && winapi::AnsiEqualNoCase(s.substr(s.size() - n), suffix);
}

// Splits a module name into its directory (empty for a bare name) and the host
// file name that it stands for.
void SplitModuleName(const std::string &name, std::string *directory, std::string *file) {
  size_t slash = name.find_last_of("\\/");
  size_t colon = name.find(':');
  size_t cut = slash != std::string::npos ? slash + 1 : (colon == 1 ? 2 : 0);
  *directory = name.substr(0, cut);
  std::string base = name.substr(cut);
  if (EndsWithNoCase(base, ".so")) {
    *file = base;
    return;
  }
  if (!base.empty() && base.back() == '.')
    base.pop_back(); // "x." means no extension
  else if (base.find('.') == std::string::npos)
    base += ".dll"; // Windows adds .dll
  if (EndsWithNoCase(base, ".dll")) base = base.substr(0, base.size() - 4);
  std::string lower;
  for (char c : base) lower += static_cast<char>(winapi::AnsiLower(static_cast<unsigned char>(c)));
  *file = "lib" + lower + ".so";
}

std::string RealPath(const std::string &path) {
  char buffer[PATH_MAX];
  return ::realpath(path.c_str(), buffer) ? std::string(buffer) : std::string();
}

std::string ProgramDirectory() {
  std::string program = RealPath("/proc/self/exe");
  return program.substr(0, program.find_last_of('/') + 1);
}

// The host directory of a module name's directory part ("" when it does not exist).
std::string HostDirectory(const std::string &directory) {
  std::string host;
  DWORD error = ERROR_SUCCESS;
  if (!winapi::HostPath(directory.c_str(), &host, &error)) return "";
  if (host.back() != '/') host += '/';
  return host;
}

struct LoadedSearch {
  std::string file;      // host file name to find, e.g. libcvsetup.so
  std::string exactPath; // when set, the real path the module must have
  std::string found;
};

int VisitLoaded(dl_phdr_info *info, size_t, void *data) {
  auto *search = static_cast<LoadedSearch *>(data);
  if (!info->dlpi_name || !*info->dlpi_name) return 0;
  std::string path = info->dlpi_name;
  std::string base = path.substr(path.find_last_of('/') + 1);
  if (!winapi::AnsiEqualNoCase(base, search->file)) return 0;
  if (!search->exactPath.empty() && RealPath(path) != search->exactPath) return 0;
  search->found = path;
  return 1;
}

// The load address of the module that holds an address.
HMODULE BaseOf(const void *address) {
  Dl_info info{};
  if (!address || ::dladdr(address, &info) == 0) return nullptr;
  return static_cast<HMODULE>(info.dli_fbase);
}

HMODULE MainProgram() { return BaseOf(reinterpret_cast<const void *>(::getauxval(AT_PHDR))); }

// The module loaded from path, without taking a reference.
HMODULE HandleOfLoaded(const std::string &path) {
  void *handle = ::dlopen(path.c_str(), RTLD_LAZY | RTLD_NOLOAD);
  if (!handle) return nullptr;
  link_map *map = nullptr;
  HMODULE base = (::dlinfo(handle, RTLD_DI_LINKMAP, &map) == 0 && map) ? BaseOf(map->l_ld) : nullptr;
  ::dlclose(handle); // the module stays loaded; this lookup takes no reference
  return base;
}

// The loader's handle of a module, with a reference that the caller drops with
// dlclose; NULL when no module lies at that address.
void *LoaderHandleOf(HMODULE module) {
  if (!module || module == MainProgram()) return ::dlopen(nullptr, RTLD_LAZY);
  Dl_info info{};
  if (::dladdr(module, &info) == 0 || info.dli_fbase != module || !info.dli_fname) return nullptr;
  return ::dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD);
}

void *SymbolOf(HMODULE module, const char *name) {
  void *handle = LoaderHandleOf(module);
  if (!handle) return nullptr;
  void *symbol = ::dlsym(handle, name);
  ::dlclose(handle);
  return symbol;
}

} // namespace

namespace winapi {

void *ModuleSymbol(HMODULE module, const char *name) { return name ? SymbolOf(module, name) : nullptr; }

} // namespace winapi

extern "C" {

HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName) {
  if (!lpLibFileName || !*lpLibFileName) {
    winapi::TraceFailure("LoadLibraryA(" + winapi::TraceString(lpLibFileName) + ")", ERROR_INVALID_PARAMETER,
                         "no file name");
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::string directory, file;
  SplitModuleName(lpLibFileName, &directory, &file);
  std::vector<std::string> candidates;
  if (!directory.empty()) {
    std::string host = HostDirectory(directory);
    if (!host.empty()) candidates.push_back(host + file);
  } else {
    // As Windows searches: the program's directory, then the current directory,
    // then the host's own library path.
    candidates.push_back(ProgramDirectory() + file);
    candidates.push_back("./" + file);
    candidates.push_back(file);
  }
  std::string reasons; // the loader's, for each file that exists but did not load
  for (const std::string &candidate : candidates) {
    if (candidate.find('/') != std::string::npos && ::access(candidate.c_str(), F_OK) != 0) continue;
    void *handle = ::dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
    link_map *map = nullptr;
    if (handle && ::dlinfo(handle, RTLD_DI_LINKMAP, &map) == 0 && map) return BaseOf(map->l_ld);
    if (!handle) {
      const char *reason = ::dlerror();
      if (reason) reasons += std::string(reasons.empty() ? "" : "; ") + reason;
    }
  }
  if (winapi::TracingFailures()) {
    std::string looked;
    for (const std::string &candidate : candidates) looked += (looked.empty() ? "" : ", ") + candidate;
    winapi::TraceFailure("LoadLibraryA(" + winapi::TraceString(lpLibFileName) + ")", ERROR_MOD_NOT_FOUND,
                         reasons.empty() ? "no such file (looked for " + looked + ")" : reasons);
  }
  SetLastError(ERROR_MOD_NOT_FOUND);
  return nullptr;
}

HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName) {
  if (!lpModuleName) return MainProgram();
  LoadedSearch search;
  std::string directory;
  SplitModuleName(lpModuleName, &directory, &search.file);
  if (!directory.empty()) {
    std::string host = HostDirectory(directory);
    search.exactPath = host.empty() ? std::string() : RealPath(host + search.file);
    if (search.exactPath.empty()) {
      SetLastError(ERROR_MOD_NOT_FOUND);
      return nullptr;
    }
  }
  ::dl_iterate_phdr(VisitLoaded, &search);
  HMODULE module = search.found.empty() ? nullptr : HandleOfLoaded(search.found);
  if (!module) SetLastError(ERROR_MOD_NOT_FOUND);
  return module;
}

BOOL WINAPI GetModuleHandleExA(DWORD dwFlags, LPCSTR lpModuleName, HMODULE *phModule) {
  if (!phModule) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *phModule = nullptr;
  if (!(dwFlags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS)) {
    *phModule = GetModuleHandleA(lpModuleName);
    return *phModule != nullptr;
  }
  *phModule = BaseOf(lpModuleName);
  if (*phModule && !(dwFlags & (GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT | GET_MODULE_HANDLE_EX_FLAG_PIN))) {
    // The caller owns a reference, as after LoadLibraryA.
    if (*phModule != MainProgram()) {
      Dl_info info{};
      if (::dladdr(*phModule, &info) && info.dli_fname) ::dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD);
    }
  }
  if (!*phModule) SetLastError(ERROR_MOD_NOT_FOUND);
  return *phModule != nullptr;
}

DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
  std::string path;
  Dl_info info{};
  if (!hModule || hModule == MainProgram())
    path = RealPath("/proc/self/exe");
  else if (::dladdr(hModule, &info) && info.dli_fbase == hModule && info.dli_fname)
    path = RealPath(info.dli_fname);
  if (path.empty()) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  std::string full = winapi::WindowsFormOfHostPath(path);
  if (!lpFilename || nSize == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (full.size() + 1 > nSize) {
    std::memcpy(lpFilename, full.c_str(), nSize - 1);
    lpFilename[nSize - 1] = '\0';
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return nSize;
  }
  std::memcpy(lpFilename, full.c_str(), full.size() + 1);
  return static_cast<DWORD>(full.size());
}

FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
  auto trace = [&](const char *cause) {
    if (!winapi::TracingFailures()) return;
    char call[64];
    if (lpProcName && IS_INTRESOURCE(lpProcName))
      std::snprintf(call, sizeof call, "GetProcAddress(%p, #%u)", static_cast<void *>(hModule),
                    static_cast<unsigned>(reinterpret_cast<ULONG_PTR>(lpProcName)));
    else
      std::snprintf(call, sizeof call, "GetProcAddress(%p, ", static_cast<void *>(hModule));
    std::string line = call;
    if (!lpProcName || !IS_INTRESOURCE(lpProcName)) line += winapi::TraceString(lpProcName) + ")";
    winapi::TraceFailure(line, ERROR_PROC_NOT_FOUND, cause);
  };
  if (!lpProcName || IS_INTRESOURCE(lpProcName)) { // no ordinals on this host
    trace(lpProcName ? "ordinals are not supported on this host" : "no name");
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  void *symbol = SymbolOf(hModule, lpProcName);
  if (!symbol) {
    trace("the module exports no such name");
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<FARPROC>(symbol);
}

BOOL WINAPI FreeLibrary(HMODULE hLibModule) {
  if (!hLibModule || hLibModule == MainProgram()) return hLibModule != nullptr;
  void *handle = LoaderHandleOf(hLibModule);
  if (!handle) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  ::dlclose(handle); // the reference taken by the lookup
  ::dlclose(handle); // the caller's reference
  return TRUE;
}
}
