// cv_mon against a simulated adapter whose driver fails one object identifier
// with every driver status from 0 to 12 and a large one. In-process, on a test
// console, against the real simulated machine: a failed memory read stops
// every field pass with "Error reading Statistics" on row 25 and draws nothing
// else; status 0 counts as success and the screen is the one without a fault;
// the station address, whose request has no block to carry a status, is left
// out whatever the status. The built program without a configuration answer
// says the driver is not installed, and under tmux a cleared fault lets the
// screen recover.
#include <gtest/gtest.h>
#include <unistd.h>
#include <winapi/console_test.h>

#include <core/adapter.h>
#include <cvsim/adapter_store.h>
#include <cvsim/machine.h>

#include <fstream>
#include <functional>
#include <sstream>

#include "console_testing.h"
#include "monitor_testing.h"
#include "run_program.h"
#include "temp_machine.h"
#include "tmux_session.h"

namespace {

using namespace cvsim;

const uint32_t kStatuses[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 0xFFFFFFFF};

std::string StatusName(const testing::TestParamInfo<uint32_t> &info) {
  return info.param == 0xFFFFFFFF ? std::string("StatusMax") : "Status" + std::to_string(info.param);
}

long long g_nowMs = 0;
long long TestClock() { return g_nowMs; }

class CvMonFaults : public testing::TestWithParam<uint32_t> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(BuildMachine(machine.root(), MachineOptions{}));
    Change([](AdapterState &s) {
      Freeze(s);
      const uint8_t address[kAddressSize] = {0x00, 0xA0, 0xF8, 0x12, 0x34, 0x56};
      SetStationAddress(s, address);
    });
  }

  void Change(const std::function<void(AdapterState &)> &act) {
    ASSERT_EQ(WithAdapter(machine.root(), "cvlan1", act), AdapterAccess::kDone);
  }
  void FailFrom(uint32_t oid) {
    Change([&](AdapterState &s) {
      ClearFaults(s);
      SetFault(s, oid, GetParam());
    });
  }

  // The monitor in-process for three field and rate passes; its screen rows.
  static std::vector<std::string> Screen() {
    winapi::test::UseTestConsole(80, 25, true);
    ConsoleForgetHandles();
    MonitorReset();
    g_nowMs = 0;
    SetTickClock(TestClock);
    static char name[] = "cv_mon";
    char *argv[] = {name, nullptr};
    std::vector<std::string> rows;
    if (MonitorStart(1, argv) < 0) {
      MonitorBeginLoop();
      for (int tick = 19; tick <= 57; tick += 19) {
        g_nowMs = tick * 55;
        MonitorTurn();
      }
      CvlapiClose();
      for (int y = 0; y < 25; ++y) rows.push_back(winapi::test::ConsoleRow(y));
    }
    MonitorReset();
    ConsoleForgetHandles();
    winapi::test::UseNoConsole();
    SetTickClock(nullptr);
    return rows;
  }

  cvtest::TempMachine machine;
};

using CvMonMemoryFaults = CvMonFaults;
using CvMonAddressFaults = CvMonFaults;
using CvMonConfigurationFaults = CvMonFaults;

TEST_P(CvMonMemoryFaults, StopEveryFieldPassWithTheStatisticsError) {
  std::vector<std::string> answered = Screen();
  ASSERT_EQ(answered.size(), 25u);
  ASSERT_EQ(answered[2].substr(45, 4), " 101") << "the machine's Net_ID is drawn without a fault";
  FailFrom(kOidMemory);
  std::vector<std::string> shown = Screen();
  ASSERT_EQ(shown.size(), 25u);
  if (GetParam() == 0) {
    EXPECT_EQ(shown, answered);
    return;
  }
  EXPECT_EQ(shown[24].substr(0, 25), "Error reading Statistics ");
  // No field pass drew: the template's texts stand.
  EXPECT_EQ(shown[1].substr(0, 35), "Firmware" + std::string(27, ' '));
  EXPECT_EQ(shown[2].substr(0, 50), "IEEE Table  0      020E5A000000    Net_ID       0 ");
  EXPECT_EQ(shown[4].substr(0, 14), "Mode          ");
  EXPECT_EQ(shown[6].substr(0, 16), "Tx_Host       0 ");
}

TEST_P(CvMonMemoryFaults, OnACellApShowTheStationScreenWhenTheModeCannotBeRead) {
  ASSERT_TRUE(BuildMachine(machine.root(), MachineOptions{true}));
  Change([](AdapterState &s) { Freeze(s); });
  FailFrom(kOidMemory);
  std::vector<std::string> shown = Screen();
  ASSERT_EQ(shown.size(), 25u);
  if (GetParam() == 0) {
    EXPECT_NE(shown[0].find("Corvane CellAP Adapter Statistics"), std::string::npos);
    EXPECT_EQ(shown[24], std::string(80, ' '));
    return;
  }
  // The start-up reads failed too: the mode byte counts as 0, a station's.
  EXPECT_NE(shown[0].find("Corvane Monitor Utility"), std::string::npos);
  EXPECT_EQ(shown[24].substr(0, 25), "Error reading Statistics ");
}

TEST_P(CvMonAddressFaults, LeaveTheTemplatesAddressAndDrawTheRest) {
  std::vector<std::string> answered = Screen();
  ASSERT_EQ(answered.size(), 25u);
  ASSERT_EQ(answered[2].substr(19, 13), "00A0F8-123456");
  FailFrom(kOidCurrentAddress);
  std::vector<std::string> shown = Screen();
  ASSERT_EQ(shown.size(), 25u);
  std::vector<std::string> expected = answered;
  expected[2].replace(19, 13, "020E5A000000 ");
  EXPECT_EQ(shown, expected);
}

TEST_P(CvMonConfigurationFaults, MeanNoDriverIsInstalled) {
  if (access(cvtest::BinPath("cv_mon").c_str(), X_OK) != 0) GTEST_SKIP() << "cv_mon is not built";
  FailFrom(kOidConfig);
  cvtest::ProgramResult result = cvtest::RunProgram("cv_mon", {"all"});
  EXPECT_EQ(result.out, "Error - Corvane API is not installed.\n");
  EXPECT_EQ(result.status, 1);
}

INSTANTIATE_TEST_SUITE_P(EveryStatus, CvMonMemoryFaults, testing::ValuesIn(kStatuses), StatusName);
INSTANTIATE_TEST_SUITE_P(EveryStatus, CvMonAddressFaults, testing::ValuesIn(kStatuses), StatusName);
INSTANTIATE_TEST_SUITE_P(EveryStatus, CvMonConfigurationFaults, testing::ValuesIn(kStatuses), StatusName);

std::string ReadText(const std::string &path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(CvMonFaultsUnderTmux, ShowsTheErrorWhileReadsFailAndRecoversWhenTheyAnswer) {
  if (!cvtest::TmuxSession::Available()) GTEST_SKIP() << "tmux is not installed";
  if (access(cvtest::BinPath("cv_mon").c_str(), X_OK) != 0) GTEST_SKIP() << "cv_mon is not built";
  cvtest::TempMachine machine;
  ASSERT_TRUE(BuildMachine(machine.root(), MachineOptions{}));
  auto change = [&](const std::function<void(AdapterState &)> &act) {
    ASSERT_EQ(WithAdapter(machine.root(), "cvlan1", act), AdapterAccess::kDone);
  };
  change([](AdapterState &s) { Freeze(s); });
  cvtest::TmuxSession tmux;
  tmux.Start("cd " + machine.root() + " && " + cvtest::BinPath("cv_mon") + "; echo $? > status; exec sleep 600");
  ASSERT_TRUE(tmux.WaitFor([](const std::vector<std::string> &rows) {
    return rows[2].substr(45, 4) == " 101"; // the first field pass has drawn
  }));
  change([](AdapterState &s) { SetFault(s, kOidMemory, 12); });
  EXPECT_TRUE(tmux.WaitFor(
      [](const std::vector<std::string> &rows) { return rows[24].substr(0, 25) == "Error reading Statistics "; },
      2000));
  change([](AdapterState &s) {
    ClearFaults(s);
    SetNetId(s, 0x2B2B);
  });
  EXPECT_TRUE(tmux.WaitFor(
      [](const std::vector<std::string> &rows) {
        return rows[24] == std::string(80, ' ') && rows[2].substr(45, 4) == "2B2B";
      },
      2000));
  tmux.Keys("q");
  for (int i = 0; i < 50 && ReadText(machine.path("status")).empty(); ++i) usleep(100000);
  EXPECT_EQ(ReadText(machine.path("status")), "0\n");
}

} // namespace
