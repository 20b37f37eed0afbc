// The beep, help requests and cursors: what the windows tell the user beside
// drawing. There is no help viewer on this host; the front end reports the
// request instead.
#include <string>

#include "window_manager.h"

namespace {

// Fixed, non-null cursor handles: the terminal has one cursor shape only.
HCURSOR CursorHandle(LPCSTR name) {
  static const char shapes[3] = {};
  ULONG_PTR id = reinterpret_cast<ULONG_PTR>(name);
  if (id == reinterpret_cast<ULONG_PTR>(IDC_WAIT)) return reinterpret_cast<HCURSOR>(const_cast<char*>(&shapes[1]));
  if (id == reinterpret_cast<ULONG_PTR>(IDC_IBEAM)) return reinterpret_cast<HCURSOR>(const_cast<char*>(&shapes[2]));
  return reinterpret_cast<HCURSOR>(const_cast<char*>(&shapes[0]));
}

HCURSOR currentCursor = nullptr;

}  // namespace

extern "C" {

BOOL WINAPI MessageBeep(UINT) {
  winapi::CurrentFrontEnd().Beep();
  return TRUE;
}

BOOL WINAPI WinHelpA(HWND, LPCSTR lpszHelp, UINT uCommand, ULONG_PTR) {
  winapi::CurrentFrontEnd().HelpRequested(lpszHelp ? lpszHelp : "", uCommand);
  return TRUE;
}

HCURSOR WINAPI LoadCursorA(HINSTANCE, LPCSTR lpCursorName) { return CursorHandle(lpCursorName); }

HCURSOR WINAPI SetCursor(HCURSOR hCursor) {
  HCURSOR previous = currentCursor;
  currentCursor = hCursor;
  return previous;
}

}  // extern "C"
