// Linked into a shared library built for a POSIX host, this calls the library's
// DllMain as the Windows loader would: with the library's module handle (its
// load address, as HMODULE is everywhere in winapi) while it is being loaded, and
// again when it is unloaded. What DllMain answers to the attach is not looked
// at: a POSIX load cannot be refused from inside the library.
#include <windows.h>

#include <dlfcn.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);

namespace {

HINSTANCE OwnInstance() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<const void *>(&OwnInstance), &info) == 0) return nullptr;
  return static_cast<HINSTANCE>(info.dli_fbase);
}

__attribute__((constructor)) void Attach() { DllMain(OwnInstance(), DLL_PROCESS_ATTACH, nullptr); }

__attribute__((destructor)) void Detach() { DllMain(OwnInstance(), DLL_PROCESS_DETACH, nullptr); }

} // namespace
