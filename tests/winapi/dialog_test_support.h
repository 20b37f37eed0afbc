// A dialog from dialog_test.rc with a dialog procedure that records what it is
// told, and the message loop that a program runs around it.
#pragma once

#include <windows.h>
#include <winapi/automation.h>

#include <vector>

namespace dialogtest {

struct Seen {
  UINT message;
  WPARAM wParam;
};

// Messages of interest that the dialog procedure received, oldest first.
std::vector<Seen> &Received();
// The WM_COMMAND identifiers received, in order.
std::vector<int> Commands();
bool ReceivedMessage(UINT message);

INT_PTR CALLBACK RecordingProc(HWND, UINT, WPARAM, LPARAM);

// Creates dialog 100 of the test module (automation must be active).
HWND CreateTestDialog();

// A program's loop: until WM_QUIT, IsDialogMessageA first.
void RunLoop(HWND dialog);

} // namespace dialogtest
