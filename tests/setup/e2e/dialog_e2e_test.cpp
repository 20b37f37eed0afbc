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
  void Start(const std::string& mode, const std::string& environment = "") {
    session.Start(environment + "CVLAN_SYSROOT=" + machine.root() + " " + cvtest::BinPath("cvsetup-host") + " " +
                  mode + " > " + machine.path("result.txt") + "; echo finished > " + machine.path("done"));
    ASSERT_TRUE(Showing("Veltrane Systems Corvane NT Installation"));
  }

  bool Showing(const std::string& text) {
    return session.WaitFor([&](const std::vector<std::string>& rows) {
      for (const std::string& row : rows)
        if (row.find(text) != std::string::npos) return true;
      return false;
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
  for (int field = 0; field < 5; ++field) session.Keys("Tab");  // to the Diversity check box
  session.Keys("Space");
  bool checked = Showing("Diversity:[X]");
  if (!checked)
    for (const std::string& row : session.Screen()) std::printf("%s\n", row.c_str());
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

}  // namespace
