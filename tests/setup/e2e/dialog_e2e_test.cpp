// cvsetup-host shows the configuration dialog on the terminal while its standard
// output goes to a file, as a setup script would read the result.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "run_program.h"
#include "temp_machine.h"
#include "tmux_session.h"

namespace {

class DialogOnTheTerminal : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!cvtest::TmuxSession::Available()) GTEST_SKIP() << "tmux is not installed";
  }

  // Starts cvsetup-host MODE with its output in result.txt of the machine;
  // environment goes before the command (VAR=value ... ).
  void Start(const std::string &mode, const std::string &environment = "") {
    session.Start(environment + "CVLAN_SYSROOT=" + machine.root() + " " + cvtest::BinPath("cvsetup-host") + " " + mode +
                  " > " + machine.path("result.txt") + "; echo finished > " + machine.path("done"));
    ASSERT_TRUE(Showing("Veltrane Systems Corvane NT Installation"));
  }

  bool Showing(const std::string &text) {
    return session.WaitFor([&](const std::vector<std::string> &rows) {
      for (const std::string &row : rows)
        if (row.find(text) != std::string::npos) return true;
      return false;
    });
  }

  bool Gone(const std::string &text) {
    return session.WaitFor([&](const std::vector<std::string> &rows) {
      for (const std::string &row : rows)
        if (row.find(text) != std::string::npos) return false;
      return true;
    });
  }

  std::string Result() {
    for (int i = 0; i < 50; ++i) {
      std::ifstream done(machine.path("done"));
      if (done) break;
      usleep(100 * 1000);
    }
    std::ifstream in(machine.path("result.txt"));
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  cvtest::TempMachine machine;
  cvtest::TmuxSession session;
};

TEST_F(DialogOnTheTerminal, EnterConfirmsTheDefaultsOfANewInstallation) {
  Start("0");
  std::vector<std::string> rows = session.Screen();
  EXPECT_NE(rows[3].find("Card Type:            PCMCIA"), std::string::npos) << rows[3];
  EXPECT_NE(rows[3].find("Net_ID: 0x101"), std::string::npos) << rows[3];
  session.Keys("Enter");
  EXPECT_EQ(Result(), "0,0,5,992,832,851968,257,0,1,0,\n");
}

TEST_F(DialogOnTheTerminal, EscapeCancels) {
  Start("0");
  session.Keys("Escape");
  EXPECT_EQ(Result(), "2,\n");
}

// Loaded under a name of its own, the library still finds its dialog and
// strings: in its own module, the handle the loader gave its entry point.
TEST_F(DialogOnTheTerminal, ALibraryLoadedUnderAnotherNameShowsItsDialog) {
  std::string copy = machine.path("libcvother.so");
  std::ifstream in(cvtest::BinPath("libcvsetup.so"), std::ios::binary);
  std::ofstream(copy, std::ios::binary) << in.rdbuf();
  Start("0", "CVSETUP_LIBRARY=" + copy + " ");
  EXPECT_TRUE(Showing("Card Type:"));
  session.Keys("Escape");
  EXPECT_EQ(Result(), "2,\n");
}

TEST_F(DialogOnTheTerminal, ReconfigurationShowsTheMachinesValues) {
  ASSERT_EQ(cvtest::RunProgram("cvsim", {"--root", machine.root(), "init"}).status, 0);
  Start("99999");
  ASSERT_TRUE(Showing("PCMCIA"));
  for (int field = 0; field < 5; ++field) session.Keys("Tab"); // to the Diversity check box
  session.Keys("Space");
  bool checked = Showing("Diversity:[X]");
  if (!checked)
    for (const std::string &row : session.Screen()) std::printf("%s\n", row.c_str());
  ASSERT_TRUE(checked);
  session.Keys("Enter");
  EXPECT_EQ(Result(), "0,0,5,992,832,851968,257,1,1,0,\n");
}

TEST_F(DialogOnTheTerminal, AnInvalidInterruptIsShownInTheStatusLineAndOkRefusedUntilCorrected) {
  Start("0");
  session.Keys("Tab");
  session.Keys("7");
  session.Keys("Enter");
  ASSERT_TRUE(Showing("ERROR - Interrupt Number is invalid. Click on HELP for valid values."));
  session.Keys("Enter");
  ASSERT_TRUE(Showing("ERROR - Interrupt Number is invalid."));
  std::ifstream done(machine.path("done"));
  EXPECT_FALSE(done) << "the dialog ended with an invalid interrupt";
  session.Keys("BSpace");
  session.Keys("1");
  session.Keys("2");
  session.Keys("Enter");
  EXPECT_EQ(Result(), "0,0,12,992,832,851968,257,0,1,0,\n");
}

// Ctrl+C ends the program as on a console; the terminal is left as Escape leaves
// it: blank, with no frame around the shell's prompt.
TEST_F(DialogOnTheTerminal, CtrlCLeavesTheScreenBlank) {
  Start("0");
  session.Keys("C-c");
  EXPECT_TRUE(Gone("Veltrane Systems Corvane NT Installation"));
  for (const std::string &row : session.Screen()) {
    EXPECT_EQ(row.find("\u2502"), std::string::npos) << row;
    EXPECT_EQ(row.find("Card Type:"), std::string::npos) << row;
  }
}

TEST_F(DialogOnTheTerminal, ASmallTerminalSaysTheSizeNeededAndTheDialogIsCentredAfterAResize) {
  Start("0");
  session.Resize(70, 20);
  ASSERT_TRUE(Showing("The dialog needs 80 x 24; this terminal is 70 x 20."))
      << testing::PrintToString(session.Screen());
  EXPECT_TRUE(Gone("Card Type:"));
  session.Keys("Enter"); // unseen: not taken for OK
  session.Resize(100, 30);
  ASSERT_TRUE(Showing("Veltrane Systems Corvane NT Installation"));
  std::vector<std::string> rows = session.Screen();
  EXPECT_EQ(rows[2].find_first_not_of(' '), std::string::npos) << "three rows above: (30 - 24) / 2";
  EXPECT_EQ(rows[4].find("\u2502"), 10u) << "ten columns to the left: (100 - 80) / 2";
  EXPECT_NE(rows[6].find("Card Type:"), std::string::npos) << rows[6];
  session.Keys("Enter");
  EXPECT_EQ(Result(), "0,0,5,992,832,851968,257,0,1,0,\n");
}

// NO_COLOR: no colour is sent, and the focus shows in reverse video.
TEST_F(DialogOnTheTerminal, NoColorSendsNoColourAndShowsTheFocusInReverse) {
  session.Start("NO_COLOR=1 CVLAN_SYSROOT=" + machine.root() + " " + cvtest::BinPath("cvsetup-host") + " 0 > " +
                machine.path("result.txt") + "; echo finished > " + machine.path("done"));
  ASSERT_TRUE(Showing("Card Type:"));
  bool reverse = false;
  for (const std::string &row : session.ScreenWithAttributes()) {
    for (size_t at = row.find("\x1b["); at != std::string::npos; at = row.find("\x1b[", at + 1)) {
      size_t end = row.find('m', at);
      std::string parameters = row.substr(at + 2, end - at - 2) + ";";
      for (size_t p = 0; p < parameters.size();) {
        size_t semicolon = parameters.find(';', p);
        int n = semicolon == p ? 0 : std::stoi(parameters.substr(p, semicolon - p));
        EXPECT_TRUE(n < 30 || n == 39 || n == 49) << "a colour: " << parameters;
        if (n == 7) reverse = true;
        p = semicolon + 1;
      }
    }
  }
  EXPECT_TRUE(reverse) << "the caption, the focused field's selection";
  session.Keys("Escape");
  EXPECT_EQ(Result(), "2,\n");
}

} // namespace
