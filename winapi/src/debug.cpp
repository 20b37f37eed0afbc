// Debugger output, the trace of failing calls, and process exit.
#include <windows.h>
#include <winapi/msgbox_hooks.h>

#include "trace.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

namespace {

std::mutex listenerMutex;
winapi::DebugOutputListener &Listener() {
  static auto *listener = new winapi::DebugOutputListener;
  return *listener;
}

bool DebugOutputWanted() {
  const char *value = std::getenv("CVLAN_DEBUG_OUTPUT");
  return value && *value && std::strcmp(value, "0") != 0;
}

} // namespace

namespace winapi {

void SetDebugOutputListener(DebugOutputListener listener) {
  std::lock_guard lock(listenerMutex);
  Listener() = std::move(listener);
}

bool TracingFailures() { return DebugOutputWanted(); }

std::string ErrorName(DWORD error) {
  switch (error) {
#define CV_ERROR_NAME(name) \
  case name:                \
    return #name;
    CV_ERROR_NAME(ERROR_INVALID_FUNCTION)
    CV_ERROR_NAME(ERROR_FILE_NOT_FOUND)
    CV_ERROR_NAME(ERROR_PATH_NOT_FOUND)
    CV_ERROR_NAME(ERROR_ACCESS_DENIED)
    CV_ERROR_NAME(ERROR_INVALID_HANDLE)
    CV_ERROR_NAME(ERROR_NOT_ENOUGH_MEMORY)
    CV_ERROR_NAME(ERROR_BAD_FORMAT)
    CV_ERROR_NAME(ERROR_INVALID_DATA)
    CV_ERROR_NAME(ERROR_NOT_READY)
    CV_ERROR_NAME(ERROR_GEN_FAILURE)
    CV_ERROR_NAME(ERROR_NOT_SUPPORTED)
    CV_ERROR_NAME(ERROR_DEV_NOT_EXIST)
    CV_ERROR_NAME(ERROR_INVALID_PARAMETER)
    CV_ERROR_NAME(ERROR_CALL_NOT_IMPLEMENTED)
    CV_ERROR_NAME(ERROR_INSUFFICIENT_BUFFER)
    CV_ERROR_NAME(ERROR_INVALID_NAME)
    CV_ERROR_NAME(ERROR_MOD_NOT_FOUND)
    CV_ERROR_NAME(ERROR_PROC_NOT_FOUND)
    CV_ERROR_NAME(ERROR_BAD_PATHNAME)
    CV_ERROR_NAME(ERROR_ALREADY_EXISTS)
    CV_ERROR_NAME(ERROR_MORE_DATA)
    CV_ERROR_NAME(ERROR_NO_MORE_ITEMS)
    CV_ERROR_NAME(ERROR_BADDB)
    CV_ERROR_NAME(ERROR_BADKEY)
    CV_ERROR_NAME(ERROR_REGISTRY_CORRUPT)
    CV_ERROR_NAME(ERROR_REGISTRY_IO_FAILED)
    CV_ERROR_NAME(ERROR_KEY_DELETED)
    CV_ERROR_NAME(ERROR_IO_DEVICE)
#undef CV_ERROR_NAME
    default:
      return std::to_string(error);
  }
}

std::string TraceString(const char *text) { return text ? "\"" + std::string(text) + "\"" : "NULL"; }

void TraceFailure(std::string_view call, DWORD error, std::string_view cause) {
  if (!DebugOutputWanted()) return;
  std::string line(call);
  line += " failed: " + std::to_string(error);
  std::string name = ErrorName(error);
  if (name != std::to_string(error)) line += " (" + name + ")";
  if (!cause.empty()) line += ": " + std::string(cause);
  line += "\n";
  std::fputs(line.c_str(), stderr);
  std::fflush(stderr);
}

} // namespace winapi

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
