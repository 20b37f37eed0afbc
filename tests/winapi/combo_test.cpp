// Combo boxes behave as on Windows: sorting, searching, selection and edit text.
#include <gtest/gtest.h>

#include <string>

#include "dialog_test_support.h"

namespace {

using winapi::automation::Session;

class ComboTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dialog = dialogtest::CreateTestDialog();
    ASSERT_NE(dialog, nullptr);
    sorted = GetDlgItem(dialog, 11);
    plain = GetDlgItem(dialog, 12);
  }
  void TearDown() override { DestroyWindow(dialog); }

  LRESULT Add(HWND combo, const char *text) {
    return SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
  }
  LRESULT Find(HWND combo, int start, const char *text) {
    return SendMessageA(combo, CB_FINDSTRING, static_cast<WPARAM>(start), reinterpret_cast<LPARAM>(text));
  }
  std::string Item(HWND combo, int index) {
    char buffer[64] = "";
    SendMessageA(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(buffer));
    return buffer;
  }
  std::string Text(HWND combo) {
    char buffer[64] = "";
    GetWindowTextA(combo, buffer, sizeof buffer);
    return buffer;
  }
  LRESULT Selection(HWND combo) { return SendMessageA(combo, CB_GETCURSEL, 0, 0); }

  Session session;
  HWND dialog = nullptr, sorted = nullptr, plain = nullptr;
};

TEST_F(ComboTest, SortedListOrdersByTextAndAddReturnsTheSortedPosition) {
  EXPECT_EQ(Add(sorted, "0x2"), 0);
  EXPECT_EQ(Add(sorted, "0x10"), 0);
  EXPECT_EQ(Add(sorted, "0x1"), 0);
  EXPECT_EQ(Add(sorted, "0x101"), 2);
  EXPECT_EQ(Add(sorted, "0x100"), 2);
  EXPECT_EQ(Add(sorted, "WPOS/ISA"), 5);
  EXPECT_EQ(Add(sorted, "pcmcia"), 5); // case plays no part in the order
  const char *expected[] = {"0x1", "0x10", "0x100", "0x101", "0x2", "pcmcia", "WPOS/ISA"};
  ASSERT_EQ(SendMessageA(sorted, CB_GETCOUNT, 0, 0), 7);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(Item(sorted, i), expected[i]) << i;
}

TEST_F(ComboTest, UnsortedListKeepsTheOrderOfAdding) {
  for (const char *item : {"5", "10", "11", "12", "14", "15"}) Add(plain, item);
  EXPECT_EQ(Item(plain, 0), "5");
  EXPECT_EQ(Item(plain, 5), "15");
  EXPECT_EQ(Find(plain, -1, "1"), 1); // the first item that begins with 1 is 10
  EXPECT_EQ(Find(plain, -1, "9"), CB_ERR);
}

TEST_F(ComboTest, FindStringIsACaseInsensitivePrefixSearchAfterTheStartThatWraps) {
  for (const char *item : {"a1", "B", "A2"}) Add(plain, item);
  EXPECT_EQ(Find(plain, -1, "a"), 0);
  EXPECT_EQ(Find(plain, 0, "a"), 2); // starts after item 0
  EXPECT_EQ(Find(plain, 2, "a"), 0); // wraps round to the start
  EXPECT_EQ(Find(plain, 1, "b"), 1); // and comes back to the start item last
  EXPECT_EQ(Find(plain, 7, "b"), 1); // a start beyond the end searches from the start
  EXPECT_EQ(Find(plain, -1, "A1x"), CB_ERR);
  EXPECT_EQ(Find(plain, -1, ""), CB_ERR); // the empty text matches nothing
  EXPECT_EQ(SendMessageA(plain, CB_FINDSTRINGEXACT, -1, reinterpret_cast<LPARAM>("a")), CB_ERR);
  EXPECT_EQ(SendMessageA(plain, CB_FINDSTRINGEXACT, -1, reinterpret_cast<LPARAM>("a2")), 2);
}

TEST_F(ComboTest, SelectStringSelectsTheFoundItemAndLeavesTheSelectionWhenNothingIsFound) {
  Add(sorted, "WPOS/ISA");
  Add(sorted, "PCMCIA");
  EXPECT_EQ(SendMessageA(sorted, CB_SELECTSTRING, 0, reinterpret_cast<LPARAM>("PCMCIA")), 0);
  EXPECT_EQ(Selection(sorted), 0);
  EXPECT_EQ(Text(sorted), "PCMCIA");
  EXPECT_EQ(SendMessageA(sorted, CB_SELECTSTRING, -1, reinterpret_cast<LPARAM>("X")), CB_ERR);
  EXPECT_EQ(Selection(sorted), 0);
  EXPECT_EQ(Text(sorted), "PCMCIA");
}

TEST_F(ComboTest, SetCurSelShowsTheItemAndMinusOneClearsSelectionAndText) {
  Add(plain, "10");
  Add(plain, "11");
  EXPECT_EQ(SendMessageA(plain, CB_SETCURSEL, 1, 0), 1);
  EXPECT_EQ(Text(plain), "11");
  EXPECT_EQ(SendMessageA(plain, CB_SETCURSEL, static_cast<WPARAM>(-1), 0), CB_ERR);
  EXPECT_EQ(Selection(plain), CB_ERR);
  EXPECT_EQ(Text(plain), "");
  EXPECT_EQ(SendMessageA(plain, CB_SETCURSEL, 2, 0), CB_ERR);
  EXPECT_EQ(Selection(plain), CB_ERR);
  char buffer[8] = "x";
  EXPECT_EQ(SendMessageA(plain, CB_GETLBTEXT, 2, reinterpret_cast<LPARAM>(buffer)), CB_ERR);
}

TEST_F(ComboTest, SetTextChangesTheEditTextAndKeepsTheSelection) {
  Add(plain, "10");
  SendMessageA(plain, CB_SETCURSEL, 0, 0);
  SetDlgItemTextA(dialog, 12, "7");
  EXPECT_EQ(Text(plain), "7");
  EXPECT_EQ(Selection(plain), 0);
  SendMessageA(plain, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("abc"));
  EXPECT_EQ(Selection(plain), 0);
}

TEST_F(ComboTest, ResetContentEmptiesListSelectionAndText) {
  Add(plain, "10");
  SendMessageA(plain, CB_SETCURSEL, 0, 0);
  SendMessageA(plain, CB_RESETCONTENT, 0, 0);
  EXPECT_EQ(SendMessageA(plain, CB_GETCOUNT, 0, 0), 0);
  EXPECT_EQ(Selection(plain), CB_ERR);
  EXPECT_EQ(Text(plain), "");
}

TEST_F(ComboTest, TypingReplacesTheSelectedTextAndClearsTheSelectionEvenForAnItemsText) {
  for (const char *item : {"5", "10", "11"}) Add(plain, item);
  SendMessageA(plain, CB_SETCURSEL, 0, 0);
  using namespace winapi::automation;
  session.Then([&] {
    PressKey(VK_TAB); // from 11 to 12: its text is selected
    TypeText("10");
  });
  session.Then([&] {
    EXPECT_EQ(Text(plain), "10");
    EXPECT_EQ(Selection(plain), CB_ERR); // typed text is no selection, though it equals item 1
    PressKey(VK_BACK);
    PressKey(VK_HOME);
    TypeText("4");
  });
  session.Then([&] { EXPECT_EQ(Text(plain), "41"); });
  dialogtest::RunLoop(dialog);
  EXPECT_EQ(session.StepsLeft(), 0u);
}

TEST_F(ComboTest, ArrowKeysSelectItemsAndAltDownOpensTheListThatEnterAndEscapeClose) {
  for (const char *item : {"5", "10", "11"}) Add(plain, item);
  SendMessageA(plain, CB_SETCURSEL, 0, 0);
  using namespace winapi::automation;
  session.Then([&] {
    SetFocus(plain);
    PressKey(VK_DOWN);
  });
  session.Then([&] {
    EXPECT_EQ(Selection(plain), 1);
    EXPECT_EQ(Text(plain), "10");
    PressKey(VK_DOWN, kAlt);
  });
  session.Then([&] {
    EXPECT_TRUE(SendMessageA(plain, CB_GETDROPPEDSTATE, 0, 0));
    PressKey(VK_DOWN);
    PressKey(VK_RETURN); // closes the list; it does not press OK
  });
  session.Then([&] {
    EXPECT_FALSE(SendMessageA(plain, CB_GETDROPPEDSTATE, 0, 0));
    EXPECT_EQ(Text(plain), "11");
    EXPECT_TRUE(IsWindow(dialog));
    PressKey(VK_F4);
    PressKey(VK_ESCAPE); // closes the list; it does not cancel
  });
  session.Then([&] {
    EXPECT_FALSE(SendMessageA(plain, CB_GETDROPPEDSTATE, 0, 0));
    EXPECT_TRUE(IsWindow(dialog));
    Click(plain);
  });
  session.Then([&] {
    EXPECT_TRUE(SendMessageA(plain, CB_GETDROPPEDSTATE, 0, 0));
    ChooseItem(plain, 0);
  });
  session.Then([&] {
    EXPECT_FALSE(SendMessageA(plain, CB_GETDROPPEDSTATE, 0, 0));
    EXPECT_EQ(Selection(plain), 0);
    EXPECT_EQ(Text(plain), "5");
  });
  dialogtest::RunLoop(dialog);
  std::vector<int> changes;
  for (const dialogtest::Seen &s : dialogtest::Received()) {
    if (s.message == WM_COMMAND && HIWORD(s.wParam) == CBN_SELCHANGE) changes.push_back(LOWORD(s.wParam));
  }
  EXPECT_EQ(changes, (std::vector<int>{12, 12, 12}));
}

} // namespace

namespace {

// Found where the Windows test tier compared these with Wine (tests/probes/probe_combo.cpp).
TEST_F(ComboTest, AnItemEqualToOneListedGoesWhereTheBinarySearchMeetsIt) {
  for (const char *item : {"0x2", "0x10", "0x1", "0x101", "0x100", "WPOS/ISA", "pcmcia"}) Add(sorted, item);
  EXPECT_EQ(Add(sorted, "0x1"), 0);    // before the "0x1" already there, as Windows' list box puts it
  EXPECT_EQ(Add(sorted, "PCMCIA"), 6); // the search meets "pcmcia" at 6 and goes before it
  EXPECT_EQ(Item(sorted, 6), "PCMCIA");
  EXPECT_EQ(Item(sorted, 7), "pcmcia");
}

TEST_F(ComboTest, WithoutTheFocusASelectedTextIsNotSelectedForTyping) {
  for (const char *item : {"5", "10"}) Add(plain, item);
  SetFocus(sorted);
  SendMessageA(plain, CB_SETCURSEL, 1, 0);
  SendMessageA(plain, WM_CHAR, '5', 1);
  EXPECT_EQ(Text(plain), "510"); // typed before the text, not over it
  EXPECT_EQ(Selection(plain), CB_ERR);

  SetFocus(plain);
  SendMessageA(plain, CB_SETCURSEL, 1, 0);
  SendMessageA(plain, WM_CHAR, '5', 1);
  EXPECT_EQ(Text(plain), "5"); // with the focus the whole text is selected and replaced
}

} // namespace
