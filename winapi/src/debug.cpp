// Debugger output and process exit.
#include <windows.h>
#include <winapi/msgbox_hooks.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

std::mutex listenerMutex;
winapi::DebugOutputListener& Listener() {
  static auto* listener = new winapi::DebugOutputListener;
  return *listener;
}

bool DebugOutputWanted() {
  const char* value = std::getenv("CVLAN_DEBUG_OUTPUT");
  return value && *value && std::strcmp(value, "0") != 0;
}

}  // namespace

namespace winapi {

void SetDebugOutputListener(DebugOutputListener listener) {
  std::lock_guard lock(listenerMutex);
  Listener() = std::move(listener);
}

}  // namespace winapi

extern "C" void WINAPI OutputDebugStringA(LPCSTR lpOutputString) {
  if (!lpOutputString) return;
  {
    std::lock_guard lock(listenerMutex);
    if (Listener()) {
      Listener()(lpOutputString);
      return;
    }
  }
  if (DebugOutputWanted()) {
    std::fputs(lpOutputString, stderr);
    std::fflush(stderr);
  }
}

extern "C" void WINAPI ExitProcess(UINT uExitCode) {
  // exit, not _exit: the exit handlers put the terminal back as it was.
  std::exit(static_cast<int>(uExitCode));
}
