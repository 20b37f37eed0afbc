// cv_mon end to end: the built program in tmux against frozen simulated
// machines made with cvsim, its screen compared row by row with the screen
// buffer that the same monitor draws in-process against the same machine.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>
#include <winapi/console_test.h>

#include <fstream>
#include <sstream>

#include "../../../winapi/src/terminal.h"
#include "console_testing.h"
#include "monitor_testing.h"
#include "run_program.h"
#include "temp_machine.h"
#include "tmux_session.h"

namespace {

using cvtest::RunProgram;

std::string ReadText(const std::string &path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

long long g_nowMs = 0;
long long TestClock() { return g_nowMs; }

class CvMonEndToEnd : public testing::Test {
 protected:
  void SetUp() override {
    if (!cvtest::TmuxSession::Available()) GTEST_SKIP() << "tmux is not installed";
    if (access(cvtest::BinPath("cvsim").c_str(), X_OK) != 0) GTEST_SKIP() << "cvsim is not built";
  }
  void Sim(const std::vector<std::string> &args) {
    auto result = RunProgram("cvsim", args);
    ASSERT_EQ(result.status, 0) << "cvsim " << testing::PrintToString(args) << ": " << result.err;
  }
  // cv_mon in the session; its exit status goes to a file (the last one
  // written), and the pane keeps what it left on the screen.
  void Run(const std::string &args = "") {
    // The shell goes on after an interrupted cv_mon, to write down what it left.
    tmux.Start("trap 'true' INT; cd " + machine.root() + " && stty -a > stty.before; " + cvtest::BinPath("cv_mon") +
               " " + args + "; s=$?; stty -a > stty.after; echo $s > status; exec sleep 600");
  }
  std::string Status() {
    for (int i = 0; i < 50 && ReadText(machine.path("status")).empty(); ++i) usleep(100000);
    std::string status = ReadText(machine.path("status"));
    return status.empty() ? "none" : status.substr(0, status.find('\n'));
  }
  bool TitleShown(const char *title) {
    return tmux.WaitFor([&](const std::vector<std::string> &rows) { return rows[0].find(title) != std::string::npos; });
  }
  // The monitor's pid: the one child of the pane's shell.
  pid_t MonitorPid() {
    std::string shell = std::to_string(tmux.PanePid());
    return static_cast<pid_t>(atoi(ReadText("/proc/" + shell + "/task/" + shell + "/children").c_str()));
  }

  // The screen that the monitor draws in-process after three rate passes
  // against the same machine, with standard output on the console as in tmux.
  std::vector<std::string> ExpectedScreen(std::vector<std::string> args) {
    winapi::test::UseTestConsole(80, 25, true);
    ConsoleForgetHandles();
    MonitorReset();
    g_nowMs = 0;
    SetTickClock(TestClock);
    std::vector<char *> argv;
    static char name[] = "cv_mon";
    argv.push_back(name);
    for (std::string &arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::vector<std::string> rows;
    if (MonitorStart(static_cast<int>(args.size() + 1), argv.data()) < 0) {
      MonitorBeginLoop();
      for (int tick = 19; tick <= 57; tick += 19) {
        g_nowMs = tick * 55;
        MonitorTurn();
      }
      CvlapiClose();
      for (int y = 0; y < 25; ++y) {
        std::string row;
        for (unsigned char ch : winapi::test::ConsoleRow(y))
          winapi::terminal::AppendUtf8(row, winapi::terminal::Cp437ToUnicode(ch));
        rows.push_back(row);
      }
    }
    MonitorReset();
    ConsoleForgetHandles();
    winapi::test::UseNoConsole();
    SetTickClock(nullptr);
    return rows;
  }

  void ExpectSameScreen(const std::vector<std::string> &expected) {
    ASSERT_EQ(expected.size(), 25u);
    std::vector<std::string> shown;
    // Three rate passes have run after some 3.2 seconds; the machine is frozen.
    bool same = tmux.WaitFor(
        [&](const std::vector<std::string> &rows) {
          shown = rows;
          return rows == expected;
        },
        6000);
    if (!same) {
      for (int y = 0; y < 25; ++y) EXPECT_EQ(shown[y], expected[y]) << "row " << y + 1;
    }
  }

  cvtest::TempMachine machine;
  cvtest::TmuxSession tmux;
};

TEST_F(CvMonEndToEnd, StationScreenRowByRow) {
  Sim({"init"});
  Sim({"freeze"});
  auto expected = ExpectedScreen({});
  EXPECT_NE(expected[0].find("Corvane Monitor Utility V3.00 8/10/96"), std::string::npos);
  Run();
  ASSERT_TRUE(TitleShown("Corvane Monitor Utility"));
  ExpectSameScreen(expected);
}

TEST_F(CvMonEndToEnd, StationScreenWithAllRowByRow) {
  Sim({"init"});
  Sim({"freeze"});
  auto expected = ExpectedScreen({"all"});
  EXPECT_NE(expected[14].find("--- Other Statistics ---"), std::string::npos);
  Run("all");
  ASSERT_TRUE(TitleShown("Corvane Monitor Utility"));
  ExpectSameScreen(expected);
}

TEST_F(CvMonEndToEnd, CellApScreenRowByRow) {
  Sim({"init", "--cellap"});
  Sim({"freeze"});
  auto expected = ExpectedScreen({"all"});
  EXPECT_NE(expected[0].find("Corvane CellAP Adapter Statistics"), std::string::npos);
  Run("all");
  ASSERT_TRUE(TitleShown("Corvane CellAP Adapter Statistics"));
  ExpectSameScreen(expected);
}

TEST_F(CvMonEndToEnd, FollowsAPokedCounterWithinASecond) {
  Sim({"init"});
  Sim({"freeze"});
  Run();
  ASSERT_TRUE(TitleShown("Corvane Monitor Utility"));
  usleep(600000);
  Sim({"poke", "561", "39", "30"}); // TxHost, 0x500 + 0x61: 12345
  EXPECT_TRUE(
      tmux.WaitFor([](const std::vector<std::string> &rows) { return rows[6].substr(10, 5) == "12345"; }, 1000));
  Sim({"poke", "561", "07", "00"});
  EXPECT_TRUE(
      tmux.WaitFor([](const std::vector<std::string> &rows) { return rows[6].substr(10, 5) == "    7"; }, 1000));
}

TEST_F(CvMonEndToEnd, PagesDownAndUp) {
  Sim({"init"});
  Sim({"freeze"});
  Run();
  ASSERT_TRUE(TitleShown("Corvane Monitor Utility"));
  tmux.Keys("NPage");
  EXPECT_TRUE(tmux.WaitFor(
      [](const std::vector<std::string> &rows) {
        return rows[19].substr(0, 3) == " 11" && rows[23].substr(0, 3) == " 15" && rows[23].substr(37, 3) == " 20";
      },
      2500));
  tmux.Keys("PPage");
  EXPECT_TRUE(tmux.WaitFor(
      [](const std::vector<std::string> &rows) {
        return rows[19].substr(0, 3) == "  1" && rows[23].substr(37, 3) == " 10";
      },
      2500));
  tmux.Keys("PPage"); // on page 0: nothing
  usleep(300000);
  tmux.Keys("q");
  EXPECT_EQ(Status(), "0");
}

TEST_F(CvMonEndToEnd, EscapeLetterArrowAndFunctionKeyQuitWithTheCursorOnRow24) {
  Sim({"init"});
  Sim({"freeze"});
  for (const char *key : {"Escape", "q", "Right", "F1"}) {
    SCOPED_TRACE(key);
    unlink(machine.path("status").c_str());
    Run();
    ASSERT_TRUE(TitleShown("Corvane Monitor Utility"));
    tmux.Keys(key);
    EXPECT_EQ(Status(), "0");
    EXPECT_EQ(tmux.CursorY(), 23);
    EXPECT_EQ(tmux.CursorX(), 0);
    EXPECT_EQ(ReadText(machine.path("stty.after")), ReadText(machine.path("stty.before"))) << "terminal restored";
    auto rows = tmux.Screen();
    EXPECT_NE(rows[0].find("Corvane Monitor Utility"), std::string::npos) << "the screen stays";
    tmux.Stop();
  }
}

TEST_F(CvMonEndToEnd, RestoresTheTerminalOnSignals) {
  Sim({"init"});
  Sim({"freeze"});
  const std::pair<int, const char *> signals[] = {{SIGTERM, "143"}, {SIGHUP, "129"}, {SIGINT, "130"}};
  for (auto [signal, status] : signals) {
    SCOPED_TRACE(signal);
    unlink(machine.path("status").c_str());
    Run();
    ASSERT_TRUE(TitleShown("Corvane Monitor Utility"));
    pid_t pid = MonitorPid();
    ASSERT_GT(pid, 0);
    kill(pid, signal);
    EXPECT_EQ(Status(), status);
    EXPECT_EQ(ReadText(machine.path("stty.after")), ReadText(machine.path("stty.before")));
    tmux.Stop();
  }
}

TEST_F(CvMonEndToEnd, CtrlCInterrupts) {
  Sim({"init"});
  Sim({"freeze"});
  Run();
  ASSERT_TRUE(TitleShown("Corvane Monitor Utility"));
  tmux.Keys("C-c");
  std::string status = Status();
  // SIGINT, or (pressed while the key is read with the console mode 0) a quitting key.
  EXPECT_TRUE(status == "130" || status == "0") << status;
  EXPECT_EQ(ReadText(machine.path("stty.after")), ReadText(machine.path("stty.before")));
}

TEST_F(CvMonEndToEnd, ClipsToATerminalSmallerThan80By25) {
  Sim({"init"});
  Sim({"freeze"});
  tmux.Start("cd " + machine.root() + " && stty cols 60 rows 20; " + cvtest::BinPath("cv_mon") +
             "; echo $? > status; exec sleep 600");
  ASSERT_TRUE(TitleShown("Corvane Monitor Utility"));
  usleep(1500000);
  auto rows = tmux.Screen();
  EXPECT_EQ(rows[1].substr(0, 8), "Firmware");
  EXPECT_EQ(rows[6].substr(60, 20), std::string(20, ' ')) << "nothing beyond the terminal's 60 columns";
  EXPECT_EQ(rows[20], std::string(80, ' ')) << "nothing below its 20 rows";
  tmux.Keys("q");
  EXPECT_EQ(Status(), "0");
}

TEST_F(CvMonEndToEnd, QuitsWithTheCursorOnTheLastRowOfATerminalOfAnotherSize) {
  Sim({"init"});
  Sim({"freeze"});
  for (const char *size : {"cols 60 rows 20", "cols 70 rows 22"}) {
    SCOPED_TRACE(size);
    unlink(machine.path("status").c_str());
    tmux.Start("cd " + machine.root() + " && stty " + size + "; " + cvtest::BinPath("cv_mon") +
               "; echo $? > status; exec sleep 600");
    ASSERT_TRUE(TitleShown("Corvane Monitor Utility"));
    usleep(600000);
    auto before = tmux.Screen();
    tmux.Keys("q");
    EXPECT_EQ(Status(), "0");
    int lastRow = std::string(size) == "cols 60 rows 20" ? 19 : 21;
    EXPECT_EQ(tmux.CursorY(), lastRow) << "below the screen, where the prompt overwrites nothing of it";
    EXPECT_EQ(tmux.CursorX(), 0);
    auto after = tmux.Screen();
    for (int y = 0; y < lastRow; ++y) EXPECT_EQ(after[y], before[y]) << "the screen stays";
    tmux.Stop();
  }
}

TEST_F(CvMonEndToEnd, NoDriverEndsWithItsLineAndStatus1) {
  Sim({"init", "--no-device"});
  auto result = RunProgram("cv_mon", {});
  EXPECT_EQ(result.out, "Error - Corvane API is not installed.\n");
  EXPECT_EQ(result.status, 1);
}

TEST_F(CvMonEndToEnd, CellApWithoutAssociationTableEndsWithItsLineAndStatus1) {
  Sim({"init", "--cellap"});
  Sim({"poke", "17C", "00", "00"});
  Run();
  EXPECT_EQ(Status(), "1");
  auto rows = tmux.Screen();
  EXPECT_EQ(rows[0].substr(0, 16), "CVLAPI found at ");
  EXPECT_EQ(rows[1].substr(0, 37), "Error - No association table pointer ");
  auto again = RunProgram("cv_mon", {});
  EXPECT_EQ(again.status, 1);
  EXPECT_NE(again.out.find("Error - No association table pointer\n"), std::string::npos);
  EXPECT_TRUE(ReadText(machine.path("dosdevices/cvlan1")).empty()) << "no DOS device name stays behind";
}

TEST_F(CvMonEndToEnd, WithoutATerminalEndsWithAMessageInsteadOfWaiting) {
  Sim({"init"});
  auto result = RunProgram("cv_mon", {}, "", 10);
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.out.find("CVLAPI found at "), std::string::npos);
  EXPECT_NE(result.out.find("Error - No console to show the statistics on\n"), std::string::npos) << result.out;
}

TEST_F(CvMonEndToEnd, StandardOutputRedirectedKeepsTheScreenAndGetsTheLines) {
  Sim({"init"});
  Sim({"freeze"});
  tmux.Start("cd " + machine.root() + " && " + cvtest::BinPath("cv_mon") +
             " > out.txt; echo $? > status; exec sleep 600");
  ASSERT_TRUE(TitleShown("Corvane Monitor Utility"));
  usleep(800000);
  auto rows = tmux.Screen();
  EXPECT_EQ(rows[2].substr(19, 13), "020E5A000000 ") << "the address went to the file";
  tmux.Keys("q");
  EXPECT_EQ(Status(), "0");
  std::string out = ReadText(machine.path("out.txt"));
  EXPECT_EQ(out.substr(0, 16), "CVLAPI found at ");
  EXPECT_NE(out.find("Version = "), std::string::npos);
  EXPECT_EQ(out.back(), '\n');
  EXPECT_EQ(out.substr(out.size() - 14, 7).find('-'), 6u) << "the station address line ends the file: " << out;
}

} // namespace
