#include "dialog_test_support.h"

namespace dialogtest {

std::vector<Seen> &Received() {
  static std::vector<Seen> seen;
  return seen;
}

std::vector<int> Commands() {
  std::vector<int> ids;
  for (const Seen &s : Received()) {
    if (s.message == WM_COMMAND) ids.push_back(LOWORD(s.wParam));
  }
  return ids;
}

bool ReceivedMessage(UINT message) {
  for (const Seen &s : Received()) {
    if (s.message == message) return true;
  }
  return false;
}

INT_PTR CALLBACK RecordingProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
    case WM_DESTROY:
    case WM_NCDESTROY:
    case WM_CLOSE:
    case WM_SYSCOMMAND:
      Received().push_back(Seen{message, wParam});
      break;
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED || HIWORD(wParam) == CBN_SELCHANGE) Received().push_back(Seen{message, wParam});
      break;
    default:
      break;
  }
  if (message == WM_INITDIALOG) return TRUE;
  if (message == WM_DESTROY) PostQuitMessage(0);
  if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    DestroyWindow(hDlg);
    return TRUE;
  }
  (void)lParam;
  return FALSE;
}

HWND CreateTestDialog() {
  Received().clear();
  return CreateDialogParamA(nullptr, MAKEINTRESOURCE(100), GetDesktopWindow(), RecordingProc, 0);
}

void RunLoop(HWND dialog) {
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0)) {
    if (!IsDialogMessageA(dialog, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
}

} // namespace dialogtest
