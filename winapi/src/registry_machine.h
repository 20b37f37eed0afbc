// The machine's registry as the registry calls see it: <root>/registry.reg, parsed
// once and read again whenever the file has changed.
#pragma once

#include <windows.h>
#include <winapi/registry_file.h>

#include <memory>
#include <string>

namespace winapi {

struct RegistrySnapshot {
  // ERROR_SUCCESS, ERROR_BADDB when the file is malformed, ERROR_REGISTRY_IO_FAILED
  // when it exists but cannot be read. A missing file is an empty registry.
  DWORD error = ERROR_SUCCESS;
  std::shared_ptr<const RegistryKey> machine; // HKEY_LOCAL_MACHINE; set on success
  FILETIME lastWrite{};                       // when the file was written
  std::string problem; // on failure, why: "<file>:<line>: what is wrong there", or why it cannot be read
};

RegistrySnapshot CurrentRegistry();

} // namespace winapi
