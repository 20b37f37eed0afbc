// Module resources: each module registers the resource script embedded in it,
// and LoadStringA / CreateDialogParamA find it by the module's handle.
#include <dlfcn.h>
#include <sys/auxv.h>

#include <winapi/resource_module.h>

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>

#include "resource_script.h"

namespace winapi {
namespace {

struct ModuleScript {
  const void *module = nullptr; // its load address
  const char *text = nullptr;
  std::unique_ptr<ResourceScript> parsed; // read at first use
  bool failed = false;
};

struct Registry {
  std::mutex lock;
  std::vector<ModuleScript> modules;
};

Registry &TheRegistry() {
  static Registry *registry = new Registry; // outlives every static destructor
  return *registry;
}

// The load address of the module that holds an address: what a module handle
// is, on Windows and here.
const void *ModuleOf(const void *address) {
  Dl_info info{};
  if (dladdr(address, &info) == 0) return nullptr;
  return info.dli_fbase;
}

const void *ModuleOfHandle(HMODULE handle) {
  if (handle != nullptr) return handle;
  static const void *program = ModuleOf(reinterpret_cast<const void *>(getauxval(AT_PHDR))); // NULL: the program
  return program;
}

} // namespace

EmbeddedResourceScript::EmbeddedResourceScript(const char *scriptText) {
  Registry &registry = TheRegistry();
  std::lock_guard<std::mutex> guard(registry.lock);
  ModuleScript module;
  module.module = ModuleOf(scriptText);
  module.text = scriptText;
  registry.modules.push_back(std::move(module));
}

const ResourceScript *ModuleResources(HMODULE handle) {
  const void *wanted = ModuleOfHandle(handle);
  Registry &registry = TheRegistry();
  std::lock_guard<std::mutex> guard(registry.lock);
  for (ModuleScript &module : registry.modules) {
    if (wanted == nullptr || module.module != wanted) continue;
    if (!module.parsed && !module.failed) {
      auto script = std::make_unique<ResourceScript>();
      std::string error;
      if (ParseResourceScript(module.text, *script, error)) {
        module.parsed = std::move(script);
      } else {
        module.failed = true; // a build fault: say it once, then behave as without resources
        std::fprintf(stderr, "winapi: the module's resource script is malformed: %s\n", error.c_str());
      }
    }
    return module.parsed.get();
  }
  return nullptr;
}

} // namespace winapi

extern "C" int WINAPI LoadStringA(HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax) {
  if (lpBuffer == nullptr || cchBufferMax <= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  lpBuffer[0] = '\0';
  const winapi::ResourceScript *script = winapi::ModuleResources(reinterpret_cast<HMODULE>(hInstance));
  if (script == nullptr) {
    SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return 0;
  }
  auto found = script->strings.find(static_cast<WORD>(uID));
  if (found == script->strings.end() || uID > 0xFFFF) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return 0;
  }
  size_t length = std::min(found->second.size(), static_cast<size_t>(cchBufferMax - 1));
  std::memcpy(lpBuffer, found->second.data(), length);
  lpBuffer[length] = '\0';
  return static_cast<int>(length);
}
