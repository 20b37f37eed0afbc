// The console calls over a test console: buffer, cursor, text, standard output
// into the buffer, keys, modes, and the process without a console.
#include <gtest/gtest.h>
#include <windows.h>
#include <winapi/console_test.h>

#include <cstdio>
#include <ctime>

namespace {

using winapi::test::ConsoleRow;
using winapi::test::ConsoleText;

class ConsoleTest : public testing::Test {
 protected:
  void SetUp() override {
    winapi::test::UseTestConsole(80, 25);
    out = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      OPEN_EXISTING, 0, nullptr);
    in = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                     0, nullptr);
    ASSERT_NE(out, INVALID_HANDLE_VALUE);
    ASSERT_NE(in, INVALID_HANDLE_VALUE);
  }
  void TearDown() override {
    CloseHandle(out);
    CloseHandle(in);
    winapi::test::UseNoConsole();
  }
  void Write(const char *text) {
    DWORD written = 0;
    ASSERT_TRUE(WriteConsoleA(out, text, static_cast<DWORD>(strlen(text)), &written, nullptr));
    EXPECT_EQ(written, strlen(text));
  }
  COORD Cursor() {
    CONSOLE_SCREEN_BUFFER_INFO info;
    EXPECT_TRUE(GetConsoleScreenBufferInfo(out, &info));
    return info.dwCursorPosition;
  }
  HANDLE out = nullptr, in = nullptr;
};

TEST_F(ConsoleTest, DescribesTheBuffer) {
  CONSOLE_SCREEN_BUFFER_INFO info;
  ASSERT_TRUE(GetConsoleScreenBufferInfo(out, &info));
  EXPECT_EQ(info.dwSize.X, 80);
  EXPECT_EQ(info.dwSize.Y, 25);
  EXPECT_EQ(info.dwCursorPosition.X, 0);
  EXPECT_EQ(info.wAttributes, 0x07);
  EXPECT_EQ(info.srWindow.Right, 79);
  EXPECT_EQ(info.srWindow.Bottom, 24);
}

TEST_F(ConsoleTest, FillsAlongTheRowsAndStopsAtTheEndOfTheBuffer) {
  DWORD n = 0;
  ASSERT_TRUE(FillConsoleOutputCharacterA(out, 'x', 82, {78, 0}, &n));
  EXPECT_EQ(n, 82u);
  EXPECT_EQ(ConsoleText(78, 1, 3), " xx");
  EXPECT_EQ(ConsoleRow(1), std::string(80, 'x'));
  EXPECT_EQ(ConsoleText(1, 3, 1), " ");
  ASSERT_TRUE(FillConsoleOutputCharacterA(out, 'y', 1000, {70, 24}, &n));
  EXPECT_EQ(n, 10u);
  ASSERT_TRUE(FillConsoleOutputAttribute(out, 0x1F, 3, {0, 5}, &n));
  EXPECT_EQ(winapi::test::ConsoleAttribute(2, 5), 0x1F);
  EXPECT_EQ(winapi::test::ConsoleAttribute(3, 5), 0x07);
  ASSERT_TRUE(FillConsoleOutputCharacterA(out, 'z', 5, {80, 3}, &n));
  EXPECT_EQ(n, 0u) << "a start beyond the row writes nothing";
  EXPECT_FALSE(FillConsoleOutputCharacterA(out, 'z', 5, {-1, 3}, &n));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(ConsoleTest, WritesCellsWithoutMovingTheCursor) {
  DWORD n = 0;
  ASSERT_TRUE(SetConsoleCursorPosition(out, {5, 5}));
  ASSERT_TRUE(WriteConsoleOutputCharacterA(out, "abc", 3, {10, 2}, &n));
  EXPECT_EQ(ConsoleText(11, 3, 3), "abc");
  EXPECT_EQ(Cursor().X, 5);
  EXPECT_EQ(Cursor().Y, 5);
}

TEST_F(ConsoleTest, RefusesACursorOutsideTheBufferAndKeepsItWhereItWas) {
  ASSERT_TRUE(SetConsoleCursorPosition(out, {79, 24}));
  EXPECT_FALSE(SetConsoleCursorPosition(out, {-1, 4}));
  EXPECT_FALSE(SetConsoleCursorPosition(out, {80, 4}));
  EXPECT_FALSE(SetConsoleCursorPosition(out, {0, 25}));
  EXPECT_EQ(Cursor().X, 79);
  EXPECT_EQ(Cursor().Y, 24);
}

TEST_F(ConsoleTest, WritesTextAtTheCursorWrappingAndScrollingAtTheFoot) {
  ASSERT_TRUE(SetConsoleCursorPosition(out, {16, 2}));
  Write("Hello\xdc");
  EXPECT_EQ(ConsoleText(17, 3, 6), "Hello\xdc");
  EXPECT_EQ(Cursor().X, 22);
  ASSERT_TRUE(SetConsoleCursorPosition(out, {78, 3}));
  Write("abc");
  EXPECT_EQ(ConsoleText(79, 4, 2), "ab");
  EXPECT_EQ(ConsoleText(1, 5, 1), "c");
  Write("\rX\n\tY");
  EXPECT_EQ(ConsoleText(1, 5, 1), "X");
  EXPECT_EQ(ConsoleText(1, 6, 9), "        Y");
  ASSERT_TRUE(SetConsoleCursorPosition(out, {0, 24}));
  Write("bottom\n");
  EXPECT_EQ(ConsoleText(1, 24, 6), "bottom") << "the buffer moved up one row";
  EXPECT_EQ(ConsoleText(1, 25, 6), "      ");
  EXPECT_EQ(ConsoleText(1, 4, 1), "X");
}

TEST_F(ConsoleTest, KeepsStandardOutputOutOfTheBufferWhenItIsRedirected) {
  HANDLE std = GetStdHandle(STD_OUTPUT_HANDLE);
  CONSOLE_SCREEN_BUFFER_INFO info;
  EXPECT_NE(std, nullptr);
  EXPECT_FALSE(GetConsoleScreenBufferInfo(std, &info));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(ConsoleStdout, WritesIntoTheBufferInOrderWhenStandardOutputIsTheConsole) {
  winapi::test::UseTestConsole(80, 25, true);
  HANDLE std = GetStdHandle(STD_OUTPUT_HANDLE);
  CONSOLE_SCREEN_BUFFER_INFO info;
  ASSERT_TRUE(GetConsoleScreenBufferInfo(std, &info));
  ASSERT_TRUE(SetConsoleCursorPosition(std, {19, 2}));
  printf("%02X%02X%02X-%02X%02X%02X\n", 2, 0x0E, 0x5A, 0xA1, 0xB2, 0xC3);
  DWORD n;
  WriteConsoleA(std, "after", 5, &n, nullptr);
  EXPECT_EQ(ConsoleText(20, 3, 13), "020E5A-A1B2C3");
  EXPECT_EQ(ConsoleText(1, 4, 5), "after");
  winapi::test::UseNoConsole();
}

TEST_F(ConsoleTest, QueuesKeyDownAndUpForEveryKeyAndPeeksWithoutRemoving) {
  winapi::test::TypeOnConsole("\x1b[6~q");
  DWORD count = 0;
  ASSERT_TRUE(GetNumberOfConsoleInputEvents(in, &count));
  EXPECT_EQ(count, 4u);
  INPUT_RECORD records[8];
  DWORD n = 0;
  ASSERT_TRUE(PeekConsoleInputA(in, records, 8, &n));
  EXPECT_EQ(n, 4u);
  EXPECT_EQ(records[0].EventType, KEY_EVENT);
  EXPECT_TRUE(records[0].Event.KeyEvent.bKeyDown);
  EXPECT_EQ(records[0].Event.KeyEvent.wVirtualKeyCode, VK_NEXT);
  EXPECT_FALSE(records[1].Event.KeyEvent.bKeyDown);
  ASSERT_TRUE(ReadConsoleInputA(in, records, 3, &n));
  EXPECT_EQ(n, 3u);
  EXPECT_EQ(records[2].Event.KeyEvent.uChar.AsciiChar, 'q');
  ASSERT_TRUE(GetNumberOfConsoleInputEvents(in, &count));
  EXPECT_EQ(count, 1u);
  EXPECT_FALSE(GetNumberOfConsoleInputEvents(out, &count)) << "the screen buffer has no input";
}

TEST_F(ConsoleTest, KeepsTheModesOfEachBuffer) {
  DWORD mode = 0;
  ASSERT_TRUE(GetConsoleMode(in, &mode));
  EXPECT_TRUE(mode & ENABLE_PROCESSED_INPUT);
  ASSERT_TRUE(SetConsoleMode(in, 0));
  ASSERT_TRUE(GetConsoleMode(in, &mode));
  EXPECT_EQ(mode, 0u);
  EXPECT_FALSE(SetConsoleMode(in, 0x10000));
  ASSERT_TRUE(GetConsoleMode(out, &mode));
  EXPECT_EQ(mode, static_cast<DWORD>(ENABLE_PROCESSED_OUTPUT | ENABLE_WRAP_AT_EOL_OUTPUT));
  ASSERT_TRUE(SetConsoleMode(out, 0));
  Write("a\nb"); // not processed: the line feed is a character of its own
  EXPECT_EQ(ConsoleText(1, 1, 3), "a\nb");
}

TEST(NoConsole, ConsoleCallsFailAsWithoutAConsole) {
  winapi::test::UseNoConsole();
  EXPECT_NE(GetStdHandle(STD_OUTPUT_HANDLE), INVALID_HANDLE_VALUE) << "the file or pipe behind descriptor 1";
  HANDLE out = CreateFileA("CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(out, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  CONSOLE_SCREEN_BUFFER_INFO info;
  EXPECT_FALSE(GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info));
  DWORD count;
  EXPECT_FALSE(GetNumberOfConsoleInputEvents(GetStdHandle(STD_INPUT_HANDLE), &count));
}

} // namespace

// NT ends a sleep on a tick of its clock (15.625 ms apart on a multiprocessor
// system): a 4 ms sleep lasts until the next tick, so that twenty of them in a
// row take twenty ticks at least, never the 80 ms the arguments add up to.
TEST(Sleep, EndsOnATickOfTheSystemClock) {
  timespec start{}, end{};
  clock_gettime(CLOCK_MONOTONIC, &start);
  for (int i = 0; i < 20; ++i) Sleep(4);
  clock_gettime(CLOCK_MONOTONIC, &end);
  long long elapsedUs = (end.tv_sec - start.tv_sec) * 1000000LL + (end.tv_nsec - start.tv_nsec) / 1000;
  EXPECT_GE(elapsedUs, 19 * 15625) << "each sleep lasts until a tick";
}
