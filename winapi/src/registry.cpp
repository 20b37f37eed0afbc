// The registry calls over the machine's registry.reg (read only).
//
// A key handle names its key by path from HKEY_LOCAL_MACHINE, so it survives the file
// being read again; a key that has gone from the file answers ERROR_KEY_DELETED. A
// malformed file makes every call fail with ERROR_BADDB until it is mended, an
// unreadable one with ERROR_REGISTRY_IO_FAILED; a missing file is an empty registry.
// The calls return their error and leave the thread's last error alone, as Win32 does.
// With CVLAN_DEBUG_OUTPUT set, each failing call is traced with its cause (trace.h).
//
// Choices where Windows and Wine may differ (to probe on Windows):
// - only HKEY_LOCAL_MACHINE exists; other predefined keys give ERROR_INVALID_HANDLE;
// - RegOpenKeyExA: a subkey starting with '\' gives ERROR_BAD_PATHNAME; doubled and
//   trailing backslashes are ignored; a NULL or empty subkey opens a new handle to
//   the same key; *phkResult is left alone on failure; access is checked as NT
//   does (enumerating subkeys needs KEY_ENUMERATE_SUB_KEYS, reading values and key
//   information needs KEY_QUERY_VALUE; otherwise ERROR_ACCESS_DENIED);
// - RegEnumKeyA: a name that does not fit gives ERROR_MORE_DATA and writes nothing;
// - RegEnumValueA (as Windows and Wine): data that does not fit gives ERROR_MORE_DATA
//   with the type, the needed size in *lpcbData, and neither data nor name written
//   (*lpcchValueName left alone); a name that does not fit gives
//   ERROR_MORE_DATA with the name cut and NUL-terminated and *lpcchValueName left
//   alone, while type and data are still filled;
// - RegQueryInfoKeyA: keys have no class; the longest data counts string values as
//   the hive stores them, in UTF-16 (twice their ANSI size); the security
//   descriptor size is 0; the last write time is the file's.
#include <windows.h>

#include "ascii_case.h"
#include "handle_table.h"
#include "registry_machine.h"
#include "trace.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace winapi {
namespace {

constexpr DWORD kMaximumAllowed = 0x02000000;

class RegistryKeyObject : public KernelObject {
 public:
  RegistryKeyObject(std::vector<std::string> path, REGSAM access) : path(std::move(path)), access(access) {}
  const std::vector<std::string> path; // key names below HKEY_LOCAL_MACHINE
  const REGSAM access;
};

REGSAM GrantedAccess(REGSAM desired) {
  REGSAM granted = desired & ~(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL | kMaximumAllowed);
  if (desired & (GENERIC_READ | GENERIC_EXECUTE)) granted |= KEY_READ;
  if (desired & GENERIC_WRITE) granted |= KEY_WRITE;
  if (desired & (GENERIC_ALL | kMaximumAllowed)) granted |= KEY_ALL_ACCESS;
  return granted;
}

// An open key: the snapshot it was found in and the key itself.
struct OpenedKey {
  LSTATUS error = ERROR_SUCCESS;
  std::string cause; // why, on failure
  RegistrySnapshot snapshot;
  const RegistryKey *key = nullptr;
  std::vector<std::string> path;
  REGSAM access = 0;
};

bool IsPredefined(HKEY key) {
  ULONG_PTR value = reinterpret_cast<ULONG_PTR>(key);
  return value >= reinterpret_cast<ULONG_PTR>(HKEY_CLASSES_ROOT) && value <= reinterpret_cast<ULONG_PTR>(HKEY_DYN_DATA);
}

OpenedKey Resolve(HKEY handle, REGSAM needed) {
  OpenedKey opened;
  if (handle == HKEY_LOCAL_MACHINE) {
    opened.access = KEY_ALL_ACCESS;
  } else if (auto object = LookupHandleAs<RegistryKeyObject>(reinterpret_cast<HANDLE>(handle))) {
    opened.path = object->path;
    opened.access = object->access;
  } else {
    opened.error = ERROR_INVALID_HANDLE;
    opened.cause = IsPredefined(handle) ? "only HKEY_LOCAL_MACHINE exists on this machine" : "not an open key";
    return opened;
  }
  if ((opened.access & needed) != needed) {
    opened.error = ERROR_ACCESS_DENIED;
    opened.cause = std::string("the key was opened without ") +
                   ((needed & ~opened.access) & KEY_QUERY_VALUE ? "KEY_QUERY_VALUE" : "KEY_ENUMERATE_SUB_KEYS");
    return opened;
  }
  opened.snapshot = CurrentRegistry();
  if (opened.snapshot.error != ERROR_SUCCESS) {
    opened.error = static_cast<LSTATUS>(opened.snapshot.error);
    opened.cause = opened.snapshot.problem;
    return opened;
  }
  opened.key = opened.snapshot.machine.get();
  for (const std::string &name : opened.path) {
    opened.key = opened.key->FindSubkey(name);
    if (!opened.key) {
      opened.error = ERROR_KEY_DELETED;
      opened.cause = "the key is no longer in the registry file";
      return opened;
    }
  }
  return opened;
}

// A key as the trace names it: its path from the root, else the handle's value.
std::string KeyName(HKEY handle) {
  static const char *const kPredefined[] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER",     "HKEY_LOCAL_MACHINE",
                                            "HKEY_USERS",        "HKEY_PERFORMANCE_DATA", "HKEY_CURRENT_CONFIG",
                                            "HKEY_DYN_DATA"};
  ULONG_PTR value = reinterpret_cast<ULONG_PTR>(handle);
  ULONG_PTR first = reinterpret_cast<ULONG_PTR>(HKEY_CLASSES_ROOT);
  if (IsPredefined(handle)) return kPredefined[value - first];
  if (auto object = LookupHandleAs<RegistryKeyObject>(reinterpret_cast<HANDLE>(handle))) {
    std::string name = "HKEY_LOCAL_MACHINE";
    for (const std::string &key : object->path) name += "\\" + AnsiName(key);
    return name;
  }
  char number[32];
  std::snprintf(number, sizeof number, "%#lx", static_cast<unsigned long>(value));
  return number;
}

// The call's status, traced when it failed.
LSTATUS Traced(LSTATUS status, const std::string &call, const std::string &cause) {
  if (status != ERROR_SUCCESS && TracingFailures()) TraceFailure(call, static_cast<DWORD>(status), cause);
  return status;
}

std::string TooSmall(DWORD given, size_t needed) {
  return "a buffer of " + std::to_string(given) + " for " + std::to_string(needed);
}

DWORD DataSizeInHive(const RegistryValue &value) {
  bool text = value.type == REG_SZ || value.type == REG_EXPAND_SZ || value.type == REG_MULTI_SZ;
  return static_cast<DWORD>(value.data.size() * (text ? 2 : 1));
}

// Data into the caller's buffer as RegQueryValueExA and RegEnumValueA give it.
LSTATUS StoreData(const RegistryValue &value, LPDWORD type, LPBYTE data, LPDWORD size) {
  LSTATUS status = ERROR_SUCCESS;
  if (type) *type = value.type;
  DWORD needed = static_cast<DWORD>(value.data.size());
  if (data) {
    if (needed > *size) {
      status = ERROR_MORE_DATA;
    } else {
      std::memcpy(data, value.data.data(), needed);
    }
  }
  if (size) *size = needed;
  return status;
}

} // namespace
} // namespace winapi

using winapi::OpenedKey;
using winapi::Resolve;
using winapi::Traced;

namespace winapi {
namespace {

LSTATUS OpenKey(HKEY hKey, LPCSTR lpSubKey, REGSAM samDesired, PHKEY phkResult, std::string *cause) {
  if (!phkResult) return *cause = "phkResult is NULL", ERROR_INVALID_PARAMETER;
  OpenedKey parent = Resolve(hKey, 0);
  if (parent.error != ERROR_SUCCESS) return *cause = parent.cause, parent.error;
  std::string_view subKey = lpSubKey ? lpSubKey : "";
  if (!subKey.empty() && subKey.front() == '\\') return *cause = "a subkey path starts with '\\'", ERROR_BAD_PATHNAME;
  const winapi::RegistryKey *key = parent.key;
  std::vector<std::string> path = parent.path;
  while (!subKey.empty()) {
    size_t end = std::min(subKey.find('\\'), subKey.size());
    if (end > 0) {
      const winapi::RegistryKey *subkey = key->FindSubkey(subKey.substr(0, end));
      if (!subkey) {
        std::string where = "HKEY_LOCAL_MACHINE";
        for (const std::string &name : path) where += "\\" + winapi::AnsiName(name);
        *cause = "no such key: " + where + " has no subkey \"" + std::string(subKey.substr(0, end)) + "\"";
        return ERROR_FILE_NOT_FOUND;
      }
      key = subkey;
      path.push_back(key->name());
    }
    subKey.remove_prefix(std::min(end + 1, subKey.size()));
  }
  auto object = std::make_shared<winapi::RegistryKeyObject>(std::move(path), winapi::GrantedAccess(samDesired));
  *phkResult = reinterpret_cast<HKEY>(winapi::InsertHandle(std::move(object)));
  return ERROR_SUCCESS;
}

LSTATUS EnumKey(HKEY hKey, DWORD dwIndex, LPSTR lpName, DWORD cchName, std::string *cause) {
  if (!lpName) return *cause = "lpName is NULL", ERROR_INVALID_PARAMETER;
  OpenedKey opened = Resolve(hKey, KEY_ENUMERATE_SUB_KEYS);
  if (opened.error != ERROR_SUCCESS) return *cause = opened.cause, opened.error;
  if (dwIndex >= opened.key->SubkeyCount())
    return *cause = "the key has " + std::to_string(opened.key->SubkeyCount()) + " subkeys", ERROR_NO_MORE_ITEMS;
  std::string name = winapi::AnsiName(opened.key->Subkey(dwIndex).name());
  if (name.size() + 1 > cchName) return *cause = winapi::TooSmall(cchName, name.size() + 1), ERROR_MORE_DATA;
  std::memcpy(lpName, name.c_str(), name.size() + 1);
  return ERROR_SUCCESS;
}

LSTATUS QueryInfoKey(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved, LPDWORD lpcSubKeys,
                     LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen, LPDWORD lpcValues, LPDWORD lpcbMaxValueNameLen,
                     LPDWORD lpcbMaxValueLen, LPDWORD lpcbSecurityDescriptor, PFILETIME lpftLastWriteTime,
                     std::string *cause) {
  if (lpReserved || (lpClass && !lpcchClass))
    return *cause = lpReserved ? "lpReserved is not NULL" : "lpClass without lpcchClass", ERROR_INVALID_PARAMETER;
  OpenedKey opened = Resolve(hKey, KEY_QUERY_VALUE);
  if (opened.error != ERROR_SUCCESS) return *cause = opened.cause, opened.error;
  const winapi::RegistryKey &key = *opened.key;
  LSTATUS status = ERROR_SUCCESS;
  if (lpClass) { // no key has a class: an empty one, which still needs its NUL
    if (*lpcchClass == 0) {
      status = ERROR_MORE_DATA;
      *cause = "no room for the class's NUL";
    } else {
      lpClass[0] = '\0';
    }
  }
  if (lpcchClass) *lpcchClass = 0;
  DWORD maxSubkey = 0, maxName = 0, maxData = 0;
  for (size_t i = 0; i < key.SubkeyCount(); ++i)
    maxSubkey = std::max(maxSubkey, static_cast<DWORD>(winapi::AnsiName(key.Subkey(i).name()).size()));
  for (const winapi::RegistryValue &value : key.values()) {
    maxName = std::max(maxName, static_cast<DWORD>(winapi::AnsiName(value.name).size()));
    maxData = std::max(maxData, winapi::DataSizeInHive(value));
  }
  if (lpcSubKeys) *lpcSubKeys = static_cast<DWORD>(key.SubkeyCount());
  if (lpcbMaxSubKeyLen) *lpcbMaxSubKeyLen = maxSubkey;
  if (lpcbMaxClassLen) *lpcbMaxClassLen = 0;
  if (lpcValues) *lpcValues = static_cast<DWORD>(key.values().size());
  if (lpcbMaxValueNameLen) *lpcbMaxValueNameLen = maxName;
  if (lpcbMaxValueLen) *lpcbMaxValueLen = maxData;
  if (lpcbSecurityDescriptor) *lpcbSecurityDescriptor = 0;
  if (lpftLastWriteTime) *lpftLastWriteTime = opened.snapshot.lastWrite;
  return status;
}

LSTATUS EnumValue(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName, LPDWORD lpReserved,
                  LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData, std::string *cause) {
  if (!lpValueName || !lpcchValueName || lpReserved || (lpData && !lpcbData))
    return *cause = "a required pointer is NULL or lpReserved is not", ERROR_INVALID_PARAMETER;
  OpenedKey opened = Resolve(hKey, KEY_QUERY_VALUE);
  if (opened.error != ERROR_SUCCESS) return *cause = opened.cause, opened.error;
  const auto &values = opened.key->values();
  if (dwIndex >= values.size())
    return *cause = "the key has " + std::to_string(values.size()) + " values", ERROR_NO_MORE_ITEMS;
  const winapi::RegistryValue &value = values[dwIndex];
  DWORD given = lpcbData ? *lpcbData : 0;
  LSTATUS status = winapi::StoreData(value, lpType, lpData, lpcbData);
  if (status != ERROR_SUCCESS) return *cause = "data: " + winapi::TooSmall(given, value.data.size()), status;
  std::string name = winapi::AnsiName(value.name);
  if (name.size() >= *lpcchValueName) {
    status = ERROR_MORE_DATA;
    *cause = "name: " + winapi::TooSmall(*lpcchValueName, name.size() + 1);
    if (*lpcchValueName > 0) {
      std::memcpy(lpValueName, name.data(), *lpcchValueName - 1);
      lpValueName[*lpcchValueName - 1] = '\0';
    }
  } else {
    std::memcpy(lpValueName, name.c_str(), name.size() + 1);
    *lpcchValueName = static_cast<DWORD>(name.size());
  }
  return status;
}

LSTATUS QueryValue(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData,
                   std::string *cause) {
  if (lpReserved || (lpData && !lpcbData))
    return *cause = lpReserved ? "lpReserved is not NULL" : "lpData without lpcbData", ERROR_INVALID_PARAMETER;
  OpenedKey opened = Resolve(hKey, KEY_QUERY_VALUE);
  if (opened.error != ERROR_SUCCESS) return *cause = opened.cause, opened.error;
  const winapi::RegistryValue *value = opened.key->FindValue(lpValueName ? lpValueName : "");
  if (!value) return *cause = "no such value", ERROR_FILE_NOT_FOUND;
  DWORD given = lpcbData ? *lpcbData : 0;
  LSTATUS status = winapi::StoreData(*value, lpType, lpData, lpcbData);
  if (status != ERROR_SUCCESS) *cause = winapi::TooSmall(given, value->data.size());
  return status;
}

} // namespace
} // namespace winapi

extern "C" LSTATUS WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                                        PHKEY phkResult) {
  (void)ulOptions;
  std::string cause;
  LSTATUS status = winapi::OpenKey(hKey, lpSubKey, samDesired, phkResult, &cause);
  if (status == ERROR_SUCCESS || !winapi::TracingFailures()) return status;
  return Traced(status, "RegOpenKeyExA(" + winapi::KeyName(hKey) + ", " + winapi::TraceString(lpSubKey) + ")", cause);
}

extern "C" LSTATUS WINAPI RegCloseKey(HKEY hKey) {
  if (winapi::IsPredefined(hKey)) return ERROR_SUCCESS;
  HANDLE handle = reinterpret_cast<HANDLE>(hKey);
  if (!winapi::LookupHandleAs<winapi::RegistryKeyObject>(handle) || !winapi::RemoveHandle(handle))
    return Traced(ERROR_INVALID_HANDLE, "RegCloseKey(" + winapi::KeyName(hKey) + ")", "not an open key");
  return ERROR_SUCCESS;
}

extern "C" LSTATUS WINAPI RegEnumKeyA(HKEY hKey, DWORD dwIndex, LPSTR lpName, DWORD cchName) {
  std::string cause;
  LSTATUS status = winapi::EnumKey(hKey, dwIndex, lpName, cchName, &cause);
  if (status == ERROR_SUCCESS || !winapi::TracingFailures()) return status;
  return Traced(status, "RegEnumKeyA(" + winapi::KeyName(hKey) + ", " + std::to_string(dwIndex) + ")", cause);
}

extern "C" LSTATUS WINAPI RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved,
                                           LPDWORD lpcSubKeys, LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen,
                                           LPDWORD lpcValues, LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen,
                                           LPDWORD lpcbSecurityDescriptor, PFILETIME lpftLastWriteTime) {
  std::string cause;
  LSTATUS status = winapi::QueryInfoKey(hKey, lpClass, lpcchClass, lpReserved, lpcSubKeys, lpcbMaxSubKeyLen,
                                        lpcbMaxClassLen, lpcValues, lpcbMaxValueNameLen, lpcbMaxValueLen,
                                        lpcbSecurityDescriptor, lpftLastWriteTime, &cause);
  if (status == ERROR_SUCCESS || !winapi::TracingFailures()) return status;
  return Traced(status, "RegQueryInfoKeyA(" + winapi::KeyName(hKey) + ")", cause);
}

extern "C" LSTATUS WINAPI RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName,
                                        LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
  std::string cause;
  LSTATUS status =
      winapi::EnumValue(hKey, dwIndex, lpValueName, lpcchValueName, lpReserved, lpType, lpData, lpcbData, &cause);
  if (status == ERROR_SUCCESS || !winapi::TracingFailures()) return status;
  return Traced(status, "RegEnumValueA(" + winapi::KeyName(hKey) + ", " + std::to_string(dwIndex) + ")", cause);
}

extern "C" LSTATUS WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                                           LPBYTE lpData, LPDWORD lpcbData) {
  std::string cause;
  LSTATUS status = winapi::QueryValue(hKey, lpValueName, lpReserved, lpType, lpData, lpcbData, &cause);
  if (status == ERROR_SUCCESS || !winapi::TracingFailures()) return status;
  return Traced(status, "RegQueryValueExA(" + winapi::KeyName(hKey) + ", " + winapi::TraceString(lpValueName) + ")",
                cause);
}
