// The screen primitives over a test console.
#include "console_testing.h"

#include <gtest/gtest.h>
#include <winapi/console_test.h>

namespace {

using winapi::test::ConsoleCursor;
using winapi::test::ConsoleText;

class ScreenPrimitives : public testing::Test {
 protected:
  void Use(int width, int height, bool stdoutIsConsole = false) {
    winapi::test::UseTestConsole(width, height, stdoutIsConsole);
    ConsoleForgetHandles();
  }
  void SetUp() override { Use(80, 25); }
  void TearDown() override {
    ConsoleForgetHandles();
    winapi::test::UseNoConsole();
    SetTickClock(nullptr);
  }
  static void FillWith(char ch, int cells) {
    HANDLE out = CreateFileA("CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD n;
    FillConsoleOutputCharacterA(out, ch, static_cast<DWORD>(cells), {0, 0}, &n);
    FillConsoleOutputAttribute(out, 0x1E, static_cast<DWORD>(cells), {0, 0}, &n);
    CloseHandle(out);
  }
};

TEST_F(ScreenPrimitives, PlaceTheCursorAtOneBasedColumnsAndRowsAndRefuseCellsOutside) {
  ClearScreen();
  GotoXY(80, 25);
  EXPECT_EQ(ConsoleCursor().X, 79);
  EXPECT_EQ(ConsoleCursor().Y, 24);
  GotoXY(0, 5);
  EXPECT_EQ(ConsoleCursor().X, 79) << "column 0 is refused; the cursor stays";
  GotoXY(81, 5);
  EXPECT_EQ(ConsoleCursor().Y, 24);
  GotoXY(1, 1);
  EXPECT_EQ(ConsoleCursor().X, 0);
  EXPECT_EQ(ConsoleCursor().Y, 0);
}

TEST_F(ScreenPrimitives, ClearTheWholeBufferNotOnlyTheWindow) {
  Use(80, 300);
  FillWith('x', 80 * 300);
  ClearScreen();
  for (int y = 0; y < 300; ++y) ASSERT_EQ(winapi::test::ConsoleRow(y), std::string(80, ' ')) << y;
  EXPECT_EQ(winapi::test::ConsoleAttribute(79, 299), 0x07) << "the buffer's current attribute";
  EXPECT_EQ(ConsoleCursor().X, 0);
  EXPECT_EQ(ConsoleCursor().Y, 0);
}

TEST_F(ScreenPrimitives, ClearToTheEndOfTheLineWithoutMovingTheCursor) {
  ClearScreen();
  FillWith('x', 80 * 3);
  GotoXY(17, 2);
  ClearToEndOfLine();
  EXPECT_EQ(ConsoleText(1, 2, 80), std::string(16, 'x') + std::string(64, ' '));
  EXPECT_EQ(ConsoleText(1, 3, 1), "x");
  ConsolePutChar('A');
  EXPECT_EQ(ConsoleText(17, 2, 1), "A");
}

TEST_F(ScreenPrimitives, ClearToTheEndOfALineWiderThanEightyColumns) {
  Use(200, 25);
  ClearScreen();
  FillWith('x', 200 * 2);
  GotoXY(10, 1);
  ClearToEndOfLine();
  EXPECT_EQ(ConsoleText(1, 1, 200), std::string(9, 'x') + std::string(191, ' '));
  EXPECT_EQ(ConsoleText(1, 2, 1), "x");
}

TEST_F(ScreenPrimitives, WriteFormattedTextAtTheCursorWhereverStandardOutputGoes) {
  ClearScreen();
  GotoXY(11, 7);
  ConsolePrintf("%5u", 42u);
  ConsolePutChar(220);
  EXPECT_EQ(ConsoleText(11, 7, 6), "   42\xdc");
  Use(80, 25, true);
  ClearScreen();
  GotoXY(3, 3);
  ConsolePrintf("%s", "on the console");
  EXPECT_EQ(ConsoleText(3, 3, 14), "on the console");
}

long long g_now;
long long FakeClock() { return g_now; }

TEST_F(ScreenPrimitives, CountTicksOf55Milliseconds) {
  g_now = 1000000;
  SetTickClock(FakeClock);
  EXPECT_EQ(GetTicks(), 0);
  g_now += 54;
  EXPECT_EQ(GetTicks(), 0);
  g_now += 1;
  EXPECT_EQ(GetTicks(), 1);
  g_now = 1000000 + 1045;
  EXPECT_EQ(GetTicks(), 19);
  SetTickClock(nullptr);
  EXPECT_EQ(GetTicks(), 0);
}

TEST(ScreenPrimitivesWithoutConsole, DoNothingAndDoNotCrash) {
  winapi::test::UseNoConsole();
  ConsoleForgetHandles();
  ClearScreen();
  GotoXY(1, 1);
  ClearToEndOfLine();
  EXPECT_EQ(ConsolePrintf("%d", 5), 1);
  ConsoleForgetHandles();
}

} // namespace
