// The beep, help requests and cursors: what the windows tell the user beside
// drawing. There is no help viewer on this host; the front end reports the
// request instead. A terminal has one cursor shape: shapes are remembered only.
#include <string>

#include "window_manager.h"

namespace {

// A distinct, non-null handle for each shape that is asked for.
HCURSOR CursorHandle(LPCSTR name) {
  static const char shapes[4] = {};
  ULONG_PTR id = reinterpret_cast<ULONG_PTR>(name);
  size_t index = id == reinterpret_cast<ULONG_PTR>(IDC_WAIT) ? 1 : id == reinterpret_cast<ULONG_PTR>(IDC_IBEAM) ? 2 : 0;
  return reinterpret_cast<HCURSOR>(const_cast<char *>(&shapes[index]));
}

HCURSOR currentCursor = nullptr;

} // namespace

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

} // extern "C"
