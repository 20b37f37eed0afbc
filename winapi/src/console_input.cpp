// Console input: key events from the terminal's keyboard, queued as a Windows
// console queues them (a key-down and a key-up event for every key).
#include <algorithm>

#include "console.h"

namespace {

std::shared_ptr<winapi::InputBuffer> Input(HANDLE handle) {
  auto input = winapi::LookupHandleAs<winapi::InputBuffer>(handle);
  if (!input) SetLastError(ERROR_INVALID_HANDLE);
  return input;
}

DWORD CopyEvents(winapi::InputBuffer &input, PINPUT_RECORD buffer, DWORD length) {
  DWORD n = static_cast<DWORD>(std::min<size_t>(length, input.events.size()));
  std::copy_n(input.events.begin(), n, buffer);
  return n;
}

} // namespace

extern "C" BOOL WINAPI GetNumberOfConsoleInputEvents(HANDLE hConsoleInput, LPDWORD lpcNumberOfEvents) {
  auto input = Input(hConsoleInput);
  if (!input) return FALSE;
  if (!lpcNumberOfEvents) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  winapi::PresentConsole(true);
  winapi::PumpConsoleInput(0);
  *lpcNumberOfEvents = static_cast<DWORD>(input->events.size());
  return TRUE;
}

extern "C" BOOL WINAPI PeekConsoleInputA(HANDLE hConsoleInput, PINPUT_RECORD lpBuffer, DWORD nLength,
                                         LPDWORD lpNumberOfEventsRead) {
  auto input = Input(hConsoleInput);
  if (!input) return FALSE;
  if ((!lpBuffer && nLength) || !lpNumberOfEventsRead) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  winapi::PresentConsole(true); // the program looks for input: it shows what it drew
  winapi::PumpConsoleInput(0);
  *lpNumberOfEventsRead = CopyEvents(*input, lpBuffer, nLength);
  return TRUE;
}

extern "C" BOOL WINAPI ReadConsoleInputA(HANDLE hConsoleInput, PINPUT_RECORD lpBuffer, DWORD nLength,
                                         LPDWORD lpNumberOfEventsRead) {
  auto input = Input(hConsoleInput);
  if (!input) return FALSE;
  if ((!lpBuffer && nLength) || !lpNumberOfEventsRead) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  winapi::Console *console = winapi::GetConsole();
  winapi::PresentConsole(true); // the program reads input: it shows what it drew
  winapi::PumpConsoleInput(0);
  if (input->events.empty() && nLength > 0 && console && console->terminal) {
    while (input->events.empty()) {
      if (console->terminal->HungUp()) {
        SetLastError(ERROR_BROKEN_PIPE);
        return FALSE;
      }
      winapi::PumpConsoleInput(-1);
    }
  }
  // A test console has no keyboard to wait for: an empty queue reads nothing.
  DWORD n = CopyEvents(*input, lpBuffer, nLength);
  input->events.erase(input->events.begin(), input->events.begin() + n);
  *lpNumberOfEventsRead = n;
  return TRUE;
}
