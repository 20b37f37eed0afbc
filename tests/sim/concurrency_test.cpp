// Several processes on one machine: every request atomic, nothing lost, never torn.
#include "machine_helpers.h"

#include <cvsim/adapter_store.h>
#include <temp_machine.h>

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

using namespace cvsim;
using simtest::Cvsim;

namespace {

std::string AclAddress(int i) {
  char text[13];
  std::snprintf(text, sizeof text, "020E5A00%04X", i);
  return text;
}

std::set<std::string> AclLines(const std::string &out) {
  std::set<std::string> lines;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) lines.insert(line);
  return lines;
}

std::string Spaced(const std::string &hex) {
  std::string text;
  for (size_t i = 0; i < hex.size(); i += 2) text += (i ? " " : "") + hex.substr(i, 2);
  return text;
}

// Runs `program` with each argument list at once, one process each.
void RunAllAtOnce(const std::string &program, const std::vector<std::vector<std::string>> &runs) {
  std::vector<std::thread> threads;
  std::vector<int> statuses(runs.size(), -1);
  for (size_t i = 0; i < runs.size(); ++i)
    threads.emplace_back([&, i] { statuses[i] = cvtest::RunProgram(program, runs[i]).status; });
  for (std::thread &t : threads) t.join();
  for (size_t i = 0; i < runs.size(); ++i) EXPECT_EQ(statuses[i], 0) << testing::PrintToString(runs[i]);
}

TEST(Concurrency, ParallelAclAddsAllLand) {
  cvtest::TempMachine machine;
  Cvsim({"init", "--cellap"});
  std::vector<std::vector<std::string>> runs;
  std::set<std::string> expected;
  for (int i = 0; i < 24; ++i) {
    runs.push_back({"acl", "add", AclAddress(i)});
    expected.insert(Spaced(AclAddress(i)));
  }
  RunAllAtOnce("cvsim", runs);
  EXPECT_EQ(AclLines(Cvsim({"acl"})), expected);
}

TEST(Concurrency, ParallelUtilityAclAddsAllLand) {
  if (!std::filesystem::exists(cvtest::BinPath("CV_UTIL"))) GTEST_SKIP() << "CV_UTIL is not built";
  cvtest::TempMachine machine;
  Cvsim({"init", "--cellap"});
  std::vector<std::vector<std::string>> runs;
  std::set<std::string> expected;
  for (int i = 0; i < 16; ++i) {
    std::string hex = AclAddress(0x100 + i);
    std::vector<std::string> args{"X"};
    for (size_t b = 0; b < 12; b += 2) args.push_back(hex.substr(b, 2));
    runs.push_back(args);
    expected.insert(Spaced(hex));
  }
  RunAllAtOnce("CV_UTIL", runs);
  EXPECT_EQ(AclLines(Cvsim({"acl"})), expected);
}

// The model keeps TxHost = TxDirUni + TxNonDirUni (and the same for receive) at
// every step; a reader that saw half of one step would see the sum broken.
void ExpectConsistent(const uint8_t *block, const std::string &who) {
  uint16_t txHost = Load16(block + kSbTxHost), rxHost = Load16(block + kSbRxHost);
  EXPECT_EQ(txHost, static_cast<uint16_t>(Load16(block + kSbTxDirUni) + Load16(block + kSbTxNonDirUni))) << who;
  EXPECT_EQ(rxHost, static_cast<uint16_t>(Load16(block + kSbRxDirUni) + Load16(block + kSbRxNonDirUni))) << who;
}

TEST(Concurrency, ReadersNeverSeeATornStatusBlock) {
  cvtest::TempMachine machine;
  Cvsim({"init"});
  std::atomic<bool> done{false};
  // Writers: processes stepping time and changing settings, as fast as they can.
  std::thread writer([&] {
    for (int i = 0; i < 40; ++i) Cvsim({"advance", "250"});
    done = true;
  });
  std::thread setter([&] {
    for (int i = 0; !done; ++i) Cvsim({"set", "netid", i % 2 ? "1111" : "2222"});
  });
  // Readers: the driver in this process, and cvsim peek in others.
  std::thread driverReader([&] {
    auto driver = simtest::Device(machine.root());
    while (!done) {
      simtest::DeviceExchange e = simtest::DeviceSend(*driver, kOidStatusBlock, kOpQuery, 191);
      ASSERT_EQ(e.error, static_cast<DWORD>(ERROR_SUCCESS));
      ExpectConsistent(e.data(), "driver");
    }
  });
  // And the utility, when it is built: its I all lines must add up as well.
  std::thread utilityReader([&] {
    if (!std::filesystem::exists(cvtest::BinPath("CV_UTIL"))) return;
    while (!done) {
      cvtest::ProgramResult r = cvtest::RunProgram("CV_UTIL", {"I", "all"});
      unsigned host = 0, dir = 0, nonDir = 0, poll = 0;
      size_t at = r.out.find("Host Transmit ");
      ASSERT_NE(at, std::string::npos) << r.out;
      ASSERT_EQ(std::sscanf(r.out.c_str() + at, "Host Transmit %u, Dir_Uni %u, Non_Dir_Uni %u, Tx_Poll %u", &host, &dir,
                            &nonDir, &poll),
                4);
      EXPECT_EQ(host, (dir + nonDir) % 65536) << r.out;
    }
  });
  int peeks = 0;
  while (!done) {
    std::string out = Cvsim({"peek", "500", "191"});
    uint8_t block[191];
    for (int i = 0; i < 191; ++i) block[i] = static_cast<uint8_t>(std::stoi(out.substr(3 * i, 2), nullptr, 16));
    ExpectConsistent(block, "peek");
    ++peeks;
  }
  writer.join();
  setter.join();
  driverReader.join();
  utilityReader.join();
  EXPECT_GT(peeks, 0);
}

TEST(Concurrency, AKilledProcessLeavesTheMachineUsable) {
  cvtest::TempMachine machine;
  Cvsim({"init"});
  std::string cvsim = cvtest::BinPath("cvsim");
  // Each run steps an hour of network time and writes the state; it is killed at
  // a different moment each round: computing, writing the new file, renaming it.
  for (int round = 0; round < 30; ++round) {
    pid_t pid = fork();
    if (pid == 0) {
      execl(cvsim.c_str(), "cvsim", "advance", "3600000", static_cast<char *>(nullptr));
      _exit(127);
    }
    std::this_thread::sleep_for(std::chrono::microseconds(1500 * round));
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
  std::string out = Cvsim({"peek", "500", "191"});
  EXPECT_EQ(out.size(), 191u * 3);
  EXPECT_EQ(ListDevices(machine.root()), std::vector<std::string>{"cvlan1"});
}

} // namespace
