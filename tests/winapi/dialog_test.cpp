// Dialogs from templates and the dialog manager's keyboard interface.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <string>

#include "dialog_test_support.h"

namespace {

using namespace winapi::automation;
using dialogtest::Commands;
using dialogtest::ReceivedMessage;

TEST(DialogCreation, FailsCleanlyWithoutAFrontEndOrTemplate) {
  // No automation session and no terminal: the dialog cannot be shown anywhere.
  int tty = open("/dev/tty", O_RDWR);
  if (tty >= 0) {
    close(tty);
    GTEST_SKIP() << "a terminal is attached";
  }
  SetLastError(0);
  EXPECT_EQ(dialogtest::CreateTestDialog(), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
}

TEST(DialogCreation, UnknownTemplateIsNotFound) {
  Session session;
  SetLastError(0);
  EXPECT_EQ(CreateDialogParamA(nullptr, MAKEINTRESOURCE(101), GetDesktopWindow(), dialogtest::RecordingProc, 0),
            nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
}

TEST(DialogCreation, BuildsTheControlsOfTheTemplateInCellsAndShowsTheDialogAfterInit) {
  Session session;
  HWND dialog = dialogtest::CreateTestDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(ReceivedMessage(WM_INITDIALOG));
  EXPECT_TRUE(IsWindowVisible(dialog));
  char caption[64];
  GetWindowTextA(dialog, caption, sizeof caption);
  EXPECT_STREQ(caption, "Test \"dialog\"");
  RECT r;
  GetWindowRect(dialog, &r);
  // 10, 10, 200 x 100 units: column 2, row 1, 50 x 13 cells and a caption and frame row.
  EXPECT_EQ(r.left, 2);
  EXPECT_EQ(r.top, 1);
  EXPECT_EQ(r.right - r.left, 50);
  EXPECT_EQ(r.bottom - r.top, 15);
  std::vector<ControlState> controls = Controls(dialog);
  ASSERT_EQ(controls.size(), 8u);
  EXPECT_EQ(controls[1].className, "COMBOBOX");
  EXPECT_EQ(controls[1].style,
            static_cast<DWORD>(WS_CHILD | WS_VISIBLE | CBS_DROPDOWN | CBS_SORT | WS_VSCROLL | WS_TABSTOP));
  EXPECT_FALSE(controls[4].enabled);
  EXPECT_FALSE(controls[7].visible);
  EXPECT_TRUE(controls[1].focused); // the first tab stop
  // The name label at 5, 5 units and its field at 50, 5 share row 2 of the screen.
  EXPECT_EQ(controls[0].rect.top, controls[1].rect.top);
  EXPECT_EQ(controls[1].rect.left, 2 + 12);
  DestroyWindow(dialog);
}

TEST(DialogCreation, LoadStringCopiesWhatFitsAndReportsMissingStrings) {
  char buffer[32];
  EXPECT_EQ(LoadStringA(nullptr, 1, buffer, sizeof buffer), 5);
  EXPECT_STREQ(buffer, "first");
  EXPECT_EQ(LoadStringA(nullptr, 2, buffer, sizeof buffer), 26);
  EXPECT_STREQ(buffer, "a \"quoted\" text\twith a tab");
  EXPECT_EQ(LoadStringA(nullptr, 7, buffer, 6), 5); // a 6-character buffer holds 5 and the NUL
  EXPECT_STREQ(buffer, "01234");
  EXPECT_EQ(LoadStringA(nullptr, 3, buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, "");
}

TEST(DialogKeyboard, TabVisitsEnabledVisibleTabStopsInOrderAndShiftTabGoesBack) {
  Session session;
  HWND dialog = dialogtest::CreateTestDialog();
  ASSERT_NE(dialog, nullptr);
  std::vector<int> visited;
  auto focused = [&] { visited.push_back(GetDlgCtrlID(GetFocus())); };
  for (int i = 0; i < 5; ++i)
    session.Then([&] {
      focused();
      PressKey(VK_TAB);
    });
  session.Then([&] {
    focused();
    PressKey(VK_TAB, kShift);
  });
  session.Then([&] {
    focused();
    PressKey(VK_TAB, kShift);
  });
  session.Then([&] {
    focused();
    PressKey(VK_ESCAPE);
  });
  dialogtest::RunLoop(dialog);
  // 14 is disabled and 15 hidden: neither takes the focus.
  EXPECT_EQ(visited, (std::vector<int>{11, 12, 13, IDOK, IDCANCEL, 11, IDCANCEL, IDOK}));
}

TEST(DialogKeyboard, EnterPressesTheDefaultButtonOrTheFocusedOne) {
  Session session;
  HWND dialog = dialogtest::CreateTestDialog();
  session.Then([] { PressKey(VK_RETURN); });
  dialogtest::RunLoop(dialog);
  EXPECT_EQ(Commands(), (std::vector<int>{IDOK}));

  dialog = dialogtest::CreateTestDialog();
  session.Then([&] { SetFocus(GetDlgItem(dialog, IDCANCEL)); }); // as a click would
  session.Then([&] {
    winapi::automation::Click(GetDlgItem(dialog, 13)); // focus leaves the buttons: OK is the default again
    PressKey(VK_TAB);
    PressKey(VK_TAB);
  });
  session.Then([] { PressKey(VK_RETURN); });
  dialogtest::RunLoop(dialog);
  EXPECT_EQ(Commands(), (std::vector<int>{13, IDCANCEL}));
}

TEST(DialogKeyboard, SpaceTogglesTheCheckBoxWithAClickNotification) {
  Session session;
  HWND dialog = dialogtest::CreateTestDialog();
  session.Then([&] {
    PressKey(VK_TAB);
    PressKey(VK_TAB);
    PressKey(VK_SPACE);
  });
  session.Then([&] {
    EXPECT_EQ(IsDlgButtonChecked(dialog, 13), static_cast<UINT>(BST_CHECKED));
    PressKey(VK_SPACE);
  });
  session.Then([&] {
    EXPECT_EQ(IsDlgButtonChecked(dialog, 13), static_cast<UINT>(BST_UNCHECKED));
    winapi::automation::Click(GetDlgItem(dialog, 14)); // disabled: nothing happens
    PressKey(VK_ESCAPE);
  });
  dialogtest::RunLoop(dialog);
  EXPECT_EQ(Commands(), (std::vector<int>{13, 13, IDCANCEL}));
}

TEST(DialogKeyboard, AltF4ClosesThroughTheWindowMenu) {
  Session session;
  HWND dialog = dialogtest::CreateTestDialog();
  session.Then([] { PressKey(VK_F4, kAlt); });
  dialogtest::RunLoop(dialog);
  std::vector<UINT> order;
  for (const dialogtest::Seen &s : dialogtest::Received()) order.push_back(s.message);
  // The recording procedure leaves WM_CLOSE to the dialog manager, which presses Cancel.
  EXPECT_EQ(order, (std::vector<UINT>{WM_INITDIALOG, WM_SYSCOMMAND, WM_CLOSE, WM_COMMAND, WM_DESTROY, WM_NCDESTROY}));
  EXPECT_EQ(Commands(), (std::vector<int>{IDCANCEL}));
  EXPECT_FALSE(IsWindow(dialog));
}

TEST(DialogLoop, GetMessageQuitsWhenNoInputCanComeInsteadOfWaitingForever) {
  Session session;
  HWND dialog = dialogtest::CreateTestDialog();
  MSG msg;
  EXPECT_FALSE(GetMessageA(&msg, nullptr, 0, 0));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  EXPECT_TRUE(session.RanOut());
  DestroyWindow(dialog);
  EXPECT_FALSE(IsWindow(dialog));
  EXPECT_EQ(GetDlgItem(dialog, 11), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

TEST(DialogLoop, QuitComesAfterThePostedMessages) {
  Session session;
  HWND dialog = dialogtest::CreateTestDialog();
  PostQuitMessage(3);
  PostMessageA(dialog, WM_USER + 5, 0, 0);
  MSG msg;
  EXPECT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 5));
  EXPECT_FALSE(GetMessageA(&msg, nullptr, 0, 0));
  EXPECT_EQ(msg.wParam, 3u);
  DestroyWindow(dialog);
}

TEST(DialogWindows, DisablingTheFocusedControlTakesTheFocusAway) {
  Session session;
  HWND dialog = dialogtest::CreateTestDialog();
  HWND combo = GetDlgItem(dialog, 11);
  ASSERT_EQ(GetFocus(), combo);
  EXPECT_FALSE(EnableWindow(combo, FALSE));
  EXPECT_EQ(GetFocus(), nullptr);
  EXPECT_FALSE(IsWindowEnabled(combo));
  EXPECT_TRUE(EnableWindow(combo, TRUE)); // it was disabled
  ShowWindow(GetDlgItem(dialog, 15), SW_SHOW);
  EXPECT_TRUE(IsWindowVisible(GetDlgItem(dialog, 15)));
  SetWindowPos(dialog, nullptr, 5, 6, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
  RECT r;
  GetWindowRect(dialog, &r);
  EXPECT_EQ(r.left, 5);
  EXPECT_EQ(r.top, 6);
  EXPECT_EQ(r.right - r.left, 50);
  EXPECT_EQ(Control(dialog, 11).rect.left, 5 + 12); // the controls move with it
  DestroyWindow(dialog);
}

TEST(DialogWindows, BeepAndHelpReachTheFrontEnd) {
  Session session;
  MessageBeep(MB_OK);
  WinHelpA(nullptr, "x.hlp", HELP_CONTENTS, 0);
  EXPECT_EQ(session.Beeps(), 1);
  ASSERT_EQ(session.HelpRequests().size(), 1u);
  EXPECT_EQ(session.HelpRequests()[0].file, "x.hlp");
  EXPECT_EQ(session.HelpRequests()[0].command, static_cast<UINT>(HELP_CONTENTS));
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 80);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 25);
}

TEST(DialogScreen, DrawsCaptionFieldsButtonsAndTheOpenList) {
  Session session;
  HWND dialog = dialogtest::CreateTestDialog();
  SetDlgItemTextA(dialog, 12, "abc");
  SendDlgItemMessageA(dialog, 11, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("one"));
  SendDlgItemMessageA(dialog, 11, CB_SHOWDROPDOWN, TRUE, 0);
  std::vector<std::string> rows = ScreenText();
  EXPECT_NE(rows[1].find("Test \"dialog\""), std::string::npos);
  EXPECT_NE(rows[3].find("Name:"), std::string::npos);
  EXPECT_NE(rows[3].find("Option [ ]"), std::string::npos);
  EXPECT_NE(rows[4].find(" one"), std::string::npos); // the open list under field 11
  EXPECT_NE(rows[5].find("abc"), std::string::npos);
  EXPECT_NE(rows[11].find("OK"), std::string::npos);
  EXPECT_NE(rows[11].find("[  Cancel   ]"), std::string::npos);
  DestroyWindow(dialog);
}

} // namespace
