// cv_mon's start-up, passes, keys and end.
#include "monitor_fixture.h"

namespace {

using MonitorLoop = MonitorTest;

size_t StatusReads(const AdapterMemory &memory) { return memory.ReadsOf(CVL_MEM_STATUS_BLOCK).size(); }

TEST_F(MonitorLoop, PrintsTheStartUpLines) {
  adapter->AnswerAlways(CVL_OID_CONFIG,
                        cvtest::Reply::Data(0, cvtest::Join({cvtest::Word(2), cvtest::Word(5), cvtest::Dword(10),
                                                             cvtest::Dword(0x300), cvtest::Dword(0xD0000)}))
                            .AndData(36, cvtest::Word(2))
                            .AndData(46, cvtest::Word(0x1A)));
  testing::internal::CaptureStdout();
  ASSERT_EQ(Start(), -1);
  std::string out = testing::internal::GetCapturedStdout();
  char expected[200];
  snprintf(expected, sizeof expected, "CVLAPI found at %08lX\n", (unsigned long)(DWORD)(UINT_PTR)&CvlapiCall);
  EXPECT_EQ(out.substr(0, 25), expected);
  EXPECT_NE(out.find("Version = 2.05, IRQ = 10, IO Address = 300, Memory Address = D000\nNet_ID = 1A, Rx_Info_Ptr = "),
            std::string::npos)
      << out;
  // The reads of start-up, in order.
  ASSERT_GE(adapter->reads.size(), 3u);
  EXPECT_EQ(adapter->reads[0].address, CVL_MEM_AP_TABLE_PTR);
  EXPECT_EQ(adapter->reads[1].address, CVL_MEM_ASSOC_TABLE_PTR);
  EXPECT_EQ(adapter->reads[2].address, CVL_MEM_MODE);
  EXPECT_EQ(adapter->reads[2].count, 1);
}

TEST_F(MonitorLoop, LeavesOutTheVersionLinesWhenTheConfigurationFails) {
  adapter->AnswerAlways(CVL_OID_CONFIG, cvtest::Reply::Data(0, cvtest::Word(2))); // accepted at connection
  adapter->Answer(CVL_OID_CONFIG, cvtest::Reply::Data(0, cvtest::Word(2)));
  adapter->Answer(CVL_OID_CONFIG, cvtest::Reply::Fail(2));
  testing::internal::CaptureStdout();
  ASSERT_EQ(Start(), -1);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out.find("Version"), std::string::npos) << out;
  FieldPass();
  EXPECT_EQ(At(8, 5, 6), "    IO");
}

TEST_F(MonitorLoop, EndsWithStatusOneWithoutADriver) {
  winapi::RemoveTestDriver("\\Device\\cvlan1");
  testing::internal::CaptureStdout();
  EXPECT_EQ(Start(), 1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error - Corvane API is not installed.\n");
  EXPECT_EQ(Row(1), std::string(80, ' ')) << "no screen is drawn";
}

TEST_F(MonitorLoop, EndsWithStatusOneForACellApWithoutAssociationTableAndClosesTheConnection) {
  adapter->Put<WORD>(CVL_MEM_ASSOC_TABLE_PTR, 0);
  adapter->Put<BYTE>(CVL_MEM_MODE, CVL_MODE_CELLAP);
  testing::internal::CaptureStdout();
  EXPECT_EQ(Start(), 1);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out.substr(0, 16), "CVLAPI found at ");
  EXPECT_EQ(out.substr(25), "Error - No association table pointer\n");
  EXPECT_TRUE(machine.ReadFile("dosdevices/cvlan1").empty()) << "the DOS device name is removed";
}

TEST_F(MonitorLoop, EndsWithStatusOneWithoutAConsole) {
  winapi::test::UseNoConsole();
  testing::internal::CaptureStdout();
  EXPECT_EQ(Start(), 1);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("Error - No console to show the statistics on\n"), std::string::npos) << out;
}

TEST_F(MonitorLoop, ChoosesTheStationScreenForAnyModeButFour) {
  for (BYTE mode : {3, 5}) {
    adapter->Put<BYTE>(CVL_MEM_MODE, mode);
    ASSERT_EQ(Start(), -1);
    EXPECT_EQ(At(24, 1, 7), "Corvane") << int(mode);
    CvlapiClose();
    MonitorReset();
  }
}

TEST_F(MonitorLoop, RunsFieldPassesEveryFiveTicksAndRatePassesEveryNineteen) {
  ASSERT_EQ(Start(), -1);
  SetStats([](CVL_STATUS_BLOCK &s) { s.TxBytes = 100; });
  ASSERT_TRUE(TurnAt(4));
  EXPECT_EQ(StatusReads(*adapter), 0u);
  ASSERT_TRUE(TurnAt(5));
  EXPECT_EQ(StatusReads(*adapter), 1u);
  ASSERT_TRUE(TurnAt(9));
  EXPECT_EQ(StatusReads(*adapter), 1u);
  ASSERT_TRUE(TurnAt(18));
  EXPECT_EQ(StatusReads(*adapter), 2u);
  EXPECT_EQ(At(28, 10, 5), "    0") << "no rate pass before 19 ticks";
  ASSERT_TRUE(TurnAt(19));
  EXPECT_EQ(At(28, 10, 5), "  100");
  EXPECT_EQ(StatusReads(*adapter), 2u) << "the rate pass reads nothing";
}

TEST_F(MonitorLoop, StartsBothPeriodsAgainWhenTheClockGoesBack) {
  ASSERT_EQ(Start(), -1);
  ASSERT_TRUE(TurnAt(1000));
  size_t reads = StatusReads(*adapter);
  SetStats([](CVL_STATUS_BLOCK &s) { s.TxBytes = 100; });
  ASSERT_TRUE(TurnAt(3));
  ASSERT_TRUE(TurnAt(4));
  EXPECT_EQ(StatusReads(*adapter), reads);
  ASSERT_TRUE(TurnAt(5));
  EXPECT_EQ(StatusReads(*adapter), reads + 1);
  ASSERT_TRUE(TurnAt(18));
  EXPECT_EQ(At(28, 10, 5), "    0");
  ASSERT_TRUE(TurnAt(19));
  EXPECT_EQ(At(28, 10, 5), "  100");
}

TEST_F(MonitorLoop, QuitsOnAnyKeyButThePageKeysAndNotOnModifiersOrReleases) {
  const char *quitting[] = {"\x1b[C", "\x1bOP", "q", "\x1b", "\r", " ", "\x1b[2~", "7", "\x1b[29~"};
  for (const char *key : quitting) {
    ASSERT_EQ(Start(), -1);
    Type(key);
    EXPECT_FALSE(TurnAt(1)) << testing::PrintToString(std::string(key));
    CvlapiClose();
    MonitorReset();
  }
  ASSERT_EQ(Start(), -1);
  INPUT_RECORD shift{};
  shift.EventType = KEY_EVENT;
  shift.Event.KeyEvent.bKeyDown = TRUE;
  shift.Event.KeyEvent.wVirtualKeyCode = VK_SHIFT;
  shift.Event.KeyEvent.wVirtualScanCode = 0x2A;
  winapi::test::QueueConsoleEvent(shift);
  INPUT_RECORD release = shift;
  release.Event.KeyEvent.bKeyDown = FALSE;
  release.Event.KeyEvent.wVirtualKeyCode = 'Q';
  release.Event.KeyEvent.uChar.AsciiChar = 'q';
  winapi::test::QueueConsoleEvent(release);
  EXPECT_TRUE(TurnAt(1));
  Type("\x1b[6~"); // Page Down, then its release, and the keypad's Page Down
  EXPECT_TRUE(TurnAt(2));
  Type("\x1b[5~");
  EXPECT_TRUE(TurnAt(3));
}

TEST_F(MonitorLoop, FindsAKeyBehindAHundredOtherEvents) {
  ASSERT_EQ(Start(), -1);
  INPUT_RECORD event{};
  for (int i = 0; i < 100; ++i) {
    event.EventType = i % 3 == 0 ? FOCUS_EVENT : i % 3 == 1 ? MOUSE_EVENT : WINDOW_BUFFER_SIZE_EVENT;
    winapi::test::QueueConsoleEvent(event);
  }
  EXPECT_TRUE(TurnAt(1)) << "no key yet";
  Type("q");
  EXPECT_FALSE(TurnAt(2)) << "the key after the other events quits";
}

TEST_F(MonitorLoop, CountsTheKeypadPageKeysByTheirScanCode) {
  ASSERT_EQ(Start(), -1);
  INPUT_RECORD keypad{};
  keypad.EventType = KEY_EVENT;
  keypad.Event.KeyEvent.bKeyDown = TRUE;
  keypad.Event.KeyEvent.wVirtualKeyCode = VK_NEXT; // keypad 3 with Num Lock off: no ENHANCED_KEY
  keypad.Event.KeyEvent.wVirtualScanCode = 0x51;
  winapi::test::QueueConsoleEvent(keypad);
  EXPECT_TRUE(TurnAt(1));
  adapter->reads.clear();
  FieldPass();
  EXPECT_FALSE(adapter->ReadsOf(kApTable + 500).empty());
}

TEST_F(MonitorLoop, EndsWithTheCursorOnRow24AndTheModeRestored) {
  ASSERT_EQ(Start(), -1);
  HANDLE in = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  SetConsoleMode(in, ENABLE_PROCESSED_INPUT | ENABLE_ECHO_INPUT);
  Pass();
  Type("x");
  EXPECT_FALSE(TurnAt(tick + 1));
  DWORD mode = 0;
  GetConsoleMode(in, &mode);
  EXPECT_EQ(mode, static_cast<DWORD>(ENABLE_PROCESSED_INPUT | ENABLE_ECHO_INPUT));
  CloseHandle(in);
  EXPECT_EQ(MonitorEnd(), 0);
  running = false;
  EXPECT_EQ(winapi::test::ConsoleCursor().X, 0);
  EXPECT_EQ(winapi::test::ConsoleCursor().Y, 23);
  EXPECT_EQ(At(1, 1, 5), "     ") << "the screen is not cleared";
  EXPECT_TRUE(machine.ReadFile("dosdevices/cvlan1").empty()) << "the connection is closed";
}

} // namespace
