// The beep and help requests: what the windows tell the user beside drawing.
// There is no help viewer on this host; the front end reports the request instead.
#include <string>

#include "window_manager.h"

extern "C" {

BOOL WINAPI MessageBeep(UINT) {
  winapi::CurrentFrontEnd().Beep();
  return TRUE;
}

BOOL WINAPI WinHelpA(HWND, LPCSTR lpszHelp, UINT uCommand, ULONG_PTR) {
  winapi::CurrentFrontEnd().HelpRequested(lpszHelp ? lpszHelp : "", uCommand);
  return TRUE;
}

}  // extern "C"
