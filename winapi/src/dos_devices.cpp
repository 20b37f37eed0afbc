// DOS device names (QueryDosDeviceA, DefineDosDeviceA) over <root>/dosdevices/.
//
// On disk, one file per name. The file is named after the DOS name upper-cased, with
// every byte other than A-Z, 0-9, '_', '-', '$' and ':' written as %XX (two upper-case
// hex digits): "cvlan1" lives in dosdevices/CVLAN1, "a.b" in dosdevices/A%2EB. So no
// name file ever holds a '.', and dot files are free for flags (.fail-removal) and
// for the temporaries of atomic writes. The content is lines, each ending in '\n':
//
//   cvlan1              the name as it was first defined (its case is kept)
//   \Device\cvlan1      the current target
//   \Device\older       earlier definitions, newest first
//
// The file goes away with its last target. A file whose first line does not name the
// file, or that has no target, counts as no definition. Every change happens under
// the machine lock and replaces the file atomically, so readers take no lock.
// While <root>/dosdevices/.fail-removal exists, every removal fails with
// ERROR_ACCESS_DENIED (the simulator switches it, to show a removal that fails).
//
// Choices where Windows and Wine may differ (to probe on Windows; Wine follows
// neither stacking nor exact-match removal):
// - definitions stack; QueryDosDeviceA gives every target, the current one first;
// - removal with a NULL or empty target pops the current definition; otherwise it
//   removes the newest definition equal to the target (DDD_EXACT_MATCH_ON_REMOVE)
//   or starting with it, compared without regard to case; no match (or no name)
//   gives ERROR_FILE_NOT_FOUND;
// - without DDD_RAW_TARGET_PATH the target is stored as "\??\" + target;
// - NULL or empty names, unknown flags, and a missing or multi-line target on a
//   definition give ERROR_INVALID_PARAMETER; a name holding '\' gives ERROR_INVALID_NAME;
// - QueryDosDeviceA with a short buffer writes nothing and gives
//   ERROR_INSUFFICIENT_BUFFER; with a NULL name it lists this machine's names only.
#include "dos_devices.h"

#include <windows.h>
#include <winapi/device_driver.h>
#include <winapi/sysroot.h>

#include "ascii_case.h"
#include "trace.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

namespace winapi {
namespace {

constexpr DWORD kKnownFlags =
    DDD_RAW_TARGET_PATH | DDD_REMOVE_DEFINITION | DDD_EXACT_MATCH_ON_REMOVE | DDD_NO_BROADCAST_SYSTEM;

struct Definition {
  std::string name;                 // as first defined
  std::vector<std::string> targets; // current first
};

std::string DeviceDirectory(const std::string &root) { return root + "/dosdevices"; }

std::string FileNameOf(std::string_view name) {
  static const char hex[] = "0123456789ABCDEF";
  std::string file;
  for (char c : AsciiUpper(name)) {
    unsigned char byte = static_cast<unsigned char>(c);
    if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '$' || c == ':') {
      file += c;
    } else {
      file += '%';
      file += hex[byte >> 4];
      file += hex[byte & 15];
    }
  }
  return file;
}

std::optional<Definition> ParseDefinition(const std::string &fileName, const std::string &content) {
  Definition definition;
  size_t start = 0;
  bool first = true;
  while (start < content.size()) {
    size_t end = content.find('\n', start);
    if (end == std::string::npos) return std::nullopt; // a torn last line: not ours
    std::string line = content.substr(start, end - start);
    start = end + 1;
    if (first) {
      definition.name = line;
      first = false;
    } else if (!line.empty()) {
      definition.targets.push_back(line);
    }
  }
  if (definition.name.empty() || definition.targets.empty() || FileNameOf(definition.name) != fileName)
    return std::nullopt;
  return definition;
}

std::optional<Definition> ReadDefinition(const std::string &directory, const std::string &fileName) {
  std::optional<std::string> content = ReadWholeFile(directory + "/" + fileName);
  if (!content) return std::nullopt;
  return ParseDefinition(fileName, *content);
}

std::string Serialize(const Definition &definition) {
  std::string text = definition.name + "\n";
  for (const std::string &target : definition.targets) text += target + "\n";
  return text;
}

bool ValidName(const char *name, DWORD *error) {
  if (!name || !*name) {
    *error = ERROR_INVALID_PARAMETER;
    return false;
  }
  for (const char *p = name; *p; ++p) {
    if (*p == '\\' || static_cast<unsigned char>(*p) < 0x20) {
      *error = ERROR_INVALID_NAME;
      return false;
    }
  }
  return true;
}

// Appends each string with its NUL, then the closing NUL, when it fits.
DWORD StoreMultiString(const std::vector<std::string> &strings, LPSTR buffer, DWORD capacity) {
  size_t needed = 1;
  for (const std::string &s : strings) needed += s.size() + 1;
  if (!buffer || needed > capacity) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  char *out = buffer;
  for (const std::string &s : strings) {
    std::memcpy(out, s.c_str(), s.size() + 1);
    out += s.size() + 1;
  }
  *out = '\0';
  return static_cast<DWORD>(needed);
}

std::vector<std::string> AllNames(const std::string &directory) {
  std::vector<std::string> files;
  if (DIR *dir = ::opendir(directory.c_str())) {
    while (dirent *entry = ::readdir(dir))
      if (entry->d_name[0] != '.') files.push_back(entry->d_name);
    ::closedir(dir);
  }
  std::sort(files.begin(), files.end());
  std::vector<std::string> names;
  for (const std::string &file : files)
    if (std::optional<Definition> definition = ReadDefinition(directory, file)) names.push_back(definition->name);
  return names;
}

DWORD RemoveDefinition(const std::string &directory, const std::string &failFlag, const std::string &fileName,
                       const std::string &target, bool exact) {
  if (::access(failFlag.c_str(), F_OK) == 0) return ERROR_ACCESS_DENIED;
  std::optional<Definition> definition = ReadDefinition(directory, fileName);
  if (!definition) return ERROR_FILE_NOT_FOUND;
  auto &targets = definition->targets;
  auto doomed = targets.begin();
  if (!target.empty()) {
    doomed = std::find_if(targets.begin(), targets.end(), [&](const std::string &t) {
      return exact ? AsciiEqualNoCase(t, target) : AsciiStartsWithNoCase(t, target);
    });
    if (doomed == targets.end()) return ERROR_FILE_NOT_FOUND;
  }
  targets.erase(doomed);
  std::string path = directory + "/" + fileName;
  if (targets.empty()) return ::unlink(path.c_str()) == 0 || errno == ENOENT ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
  return WriteFileAtomically(path, Serialize(*definition)) ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

DWORD AddDefinition(const std::string &directory, const std::string &fileName, const std::string &name,
                    const std::string &target) {
  Definition definition = ReadDefinition(directory, fileName).value_or(Definition{name, {}});
  definition.targets.insert(definition.targets.begin(), target);
  return WriteFileAtomically(directory + "/" + fileName, Serialize(definition)) ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

} // namespace

static void TraceDefineFailure(DWORD flags, const char *name, const char *target, DWORD error, const char *cause) {
  if (!TracingFailures()) return;
  char hexFlags[16];
  std::snprintf(hexFlags, sizeof hexFlags, "0x%lx", static_cast<unsigned long>(flags));
  TraceFailure(
      "DefineDosDeviceA(" + std::string(hexFlags) + ", " + TraceString(name) + ", " + TraceString(target) + ")", error,
      cause);
}

std::string DosDeviceRemovalFailureFlag(const std::string &root) { return DeviceDirectory(root) + "/.fail-removal"; }

std::optional<std::string> CurrentDosDeviceTarget(const std::string &root, const std::string &name) {
  std::optional<Definition> definition = ReadDefinition(DeviceDirectory(root), FileNameOf(name));
  if (!definition) return std::nullopt;
  return definition->targets.front();
}

} // namespace winapi

namespace winapi {
namespace {

DWORD QueryDosDevice(LPCSTR lpDeviceName, LPSTR lpTargetPath, DWORD ucchMax, std::string *cause) {
  std::string directory = DeviceDirectory(SystemRoot());
  if (!lpDeviceName) return StoreMultiString(AllNames(directory), lpTargetPath, ucchMax);
  DWORD error = ERROR_SUCCESS;
  if (!ValidName(lpDeviceName, &error)) {
    *cause = "not a DOS device name";
    SetLastError(error == ERROR_INVALID_PARAMETER ? ERROR_FILE_NOT_FOUND : error);
    return 0;
  }
  std::optional<Definition> definition = ReadDefinition(directory, FileNameOf(lpDeviceName));
  if (!definition) {
    *cause = "no such DOS device name is defined";
    SetLastError(ERROR_FILE_NOT_FOUND);
    return 0;
  }
  *cause = "the buffer is too small for the targets";
  return StoreMultiString(definition->targets, lpTargetPath, ucchMax);
}

} // namespace
} // namespace winapi

extern "C" DWORD WINAPI QueryDosDeviceA(LPCSTR lpDeviceName, LPSTR lpTargetPath, DWORD ucchMax) {
  std::string cause;
  DWORD length = winapi::QueryDosDevice(lpDeviceName, lpTargetPath, ucchMax, &cause);
  if (length == 0 && winapi::TracingFailures()) {
    DWORD error = GetLastError();
    winapi::TraceFailure("QueryDosDeviceA(" + winapi::TraceString(lpDeviceName) + ", " + std::to_string(ucchMax) + ")",
                         error, error == ERROR_INSUFFICIENT_BUFFER ? "the buffer is too small for the targets" : cause);
    SetLastError(error);
  }
  return length;
}

extern "C" BOOL WINAPI DefineDosDeviceA(DWORD dwFlags, LPCSTR lpDeviceName, LPCSTR lpTargetPath) {
  using namespace winapi;
  DWORD error = ERROR_SUCCESS;
  bool remove = (dwFlags & DDD_REMOVE_DEFINITION) != 0;
  std::string target = lpTargetPath ? lpTargetPath : "";
  if ((dwFlags & ~kKnownFlags) != 0 || (!remove && target.empty()) ||
      target.find_first_of("\r\n") != std::string::npos) {
    TraceDefineFailure(dwFlags, lpDeviceName, lpTargetPath, ERROR_INVALID_PARAMETER,
                       (dwFlags & ~kKnownFlags) != 0 ? "unknown flags" : "no target, or a target of several lines");
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!ValidName(lpDeviceName, &error)) {
    TraceDefineFailure(dwFlags, lpDeviceName, lpTargetPath, error, "not a DOS device name");
    SetLastError(error);
    return FALSE;
  }
  if (!target.empty() && !(dwFlags & DDD_RAW_TARGET_PATH)) target = "\\??\\" + target;

  std::string root = SystemRoot(); // before the lock: making a new machine takes it too
  std::string directory = DeviceDirectory(root);
  std::string fileName = FileNameOf(lpDeviceName);
  {
    MachineLock lock(root);
    if (!lock.held()) {
      error = ERROR_ACCESS_DENIED;
    } else {
      std::error_code ignored;
      std::filesystem::create_directories(directory, ignored);
      error = remove ? RemoveDefinition(directory, DosDeviceRemovalFailureFlag(root), fileName, target,
                                        (dwFlags & DDD_EXACT_MATCH_ON_REMOVE) != 0)
                     : AddDefinition(directory, fileName, lpDeviceName, target);
    }
  }
  if (error != ERROR_SUCCESS) {
    TraceDefineFailure(dwFlags, lpDeviceName, lpTargetPath, error,
                       error == ERROR_FILE_NOT_FOUND ? "no such definition to remove"
                                                     : "the machine's DOS device names cannot be changed");
    SetLastError(error);
    return FALSE;
  }
  return TRUE;
}
