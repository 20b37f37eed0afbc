// Processes killed (SIGKILL) in the middle of their requests leave the machine
// usable: the lock goes with the process, the adapter's state is the old or the
// new one and never a torn one, and the next programs answer as before.
#include "load_journal.h"

#include <cvsim/adapter_store.h>
#include <cvsim/machine.h>
#include <run_program.h>
#include <temp_machine.h>
#include <winapi/sysroot.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using cvtest::RunProgram;

pid_t Spawn(const std::string &program, const std::vector<std::string> &args) {
  std::string path = cvtest::BinPath(program);
  pid_t pid = fork();
  if (pid == 0) {
    std::vector<char *> argv{const_cast<char *>(program.c_str())};
    for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    setsid();
    int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    execv(path.c_str(), argv.data());
    _exit(127);
  }
  return pid;
}

void Kill(pid_t pid) {
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

std::set<std::string> Files(const std::string &directory) {
  std::set<std::string> names;
  std::error_code error;
  for (const auto &entry : std::filesystem::directory_iterator(directory, error))
    names.insert(entry.path().filename().string());
  return names;
}

class KilledRequests : public testing::Test {
 protected:
  void SetUp() override {
    for (const char *program : {"CV_UTIL", "cv_load"})
      if (access(cvtest::BinPath(program).c_str(), X_OK) != 0) GTEST_SKIP() << program << " is not built";
    cvsim::MachineOptions options;
    options.cellAp = true;
    ASSERT_TRUE(cvsim::BuildMachine(machine.root(), options));
  }

  // After the kills: the device is whole and answers, the list is one that the
  // killed requests could have left, and the programs work as on a fresh machine.
  void ExpectUsable() {
    EXPECT_EQ(cvsim::ListDevices(machine.root()), std::vector<std::string>{"cvlan1"});
    bool whole = false;
    EXPECT_EQ(
        cvsim::WithAdapter(machine.root(), "cvlan1", [&](cvsim::AdapterState &s) { whole = cvsim::IsAdapterState(s); }),
        cvsim::AdapterAccess::kDone);
    EXPECT_TRUE(whole);
    cvtest::ProgramResult status = RunProgram("CV_UTIL", {"I", "all"}, "", 10);
    EXPECT_EQ(status.status, 0);
    EXPECT_NE(status.out.find("Host Transmit "), std::string::npos) << status.out;
    EXPECT_EQ(RunProgram("CV_UTIL", {"Z"}, "", 10).out, "ACL cleared\n");
    EXPECT_EQ(RunProgram("CV_UTIL", {"X", "02", "0E", "5A", "01", "02", "03"}, "", 10).out, "ACL updated\n");
    EXPECT_EQ(RunProgram("CV_UTIL", {"W"}, "", 10).out, "ACL contains 1 entries:\n02 0E 5A 01 02 03\n");
    // What the killed writers left half-written went with the next whole write.
    EXPECT_EQ(Files(machine.path("devices")), std::set<std::string>{"cvlan1"});
  }

  cvtest::TempMachine machine;
};

TEST_F(KilledRequests, WorkersKilledAtRandomMomentsOfTheirRequests) {
  // A worker makes requests back to back, so a kill almost always lands inside
  // one: waiting for the lock, loading, answering, writing or renaming the state.
  std::mt19937 random(12345);
  for (int round = 0; round < 40; ++round) {
    pid_t pid = Spawn("cv_load", {"worker", std::to_string(round % cvload::kWorkers), "30", machine.path("journal")});
    std::this_thread::sleep_for(std::chrono::milliseconds(30 + random() % 120));
    Kill(pid);
  }
  ExpectUsable();
}

TEST_F(KilledRequests, UtilityRunsKilledAtEveryStage) {
  // CV_UTIL killed while it finds the driver, defines the DOS device name, makes
  // its request or removes the name: every moment from 0 to 20 ms of its run.
  for (int round = 0; round < 60; ++round) {
    pid_t pid = Spawn("CV_UTIL", {round % 2 ? "X" : "Y", "02", "0E", "5A", "01", "02", "03"});
    std::this_thread::sleep_for(std::chrono::microseconds(333 * round));
    Kill(pid);
  }
  ExpectUsable();
  // A DOS device name that a killed run defined may stay behind (Windows keeps
  // it too); the next runs use it and leave it as they found it. A definition
  // that a killed run left half-written is no name.
  char names[4096] = {};
  DWORD length = QueryDosDeviceA(nullptr, names, sizeof names);
  std::string listed(names, length);
  EXPECT_TRUE(listed == std::string("cvlan1\0\0", 8) || listed == std::string("\0", 1) || length == 0)
      << testing::PrintToString(listed);
}

TEST_F(KilledRequests, ALockHolderKilledReleasesTheMachine) {
  pid_t holder = fork();
  if (holder == 0) {
    winapi::MachineLock lock(machine.root());
    pause();
    _exit(0);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  Kill(holder);
  cvtest::ProgramResult result = RunProgram("CV_UTIL", {"Z"}, "", 10);
  EXPECT_EQ(result.out, "ACL cleared\n");
  EXPECT_EQ(result.status, 0);
}

TEST_F(KilledRequests, AProcessStoppedWhileItHoldsTheLockStopsOnlyAfterIt) {
  // Ctrl+Z on CV_UTIL in one terminal must not freeze cv_mon in another.
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  pid_t holder = fork();
  if (holder == 0) {
    // A group of its own under this process: a stop sent to a process of an
    // orphaned group (as a test runner may leave it) would be discarded.
    setpgid(0, 0);
    {
      winapi::MachineLock lock(machine.root());
      char c = 1;
      (void)!write(ready[1], &c, 1);
      usleep(300000); // the stop arrives now
    }
    pause();
    _exit(0);
  }
  char c;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  kill(holder, SIGTSTP);
  cvtest::ProgramResult result = RunProgram("CV_UTIL", {"Z"}, "", 5);
  EXPECT_EQ(result.out, "ACL cleared\n");
  int status = 0;
  pid_t waited = 0;
  for (int i = 0; i < 50 && waited == 0; ++i) {
    waited = waitpid(holder, &status, WUNTRACED | WNOHANG);
    if (waited == 0) usleep(100000);
  }
  EXPECT_EQ(waited, holder);
  EXPECT_TRUE(waited == holder && WIFSTOPPED(status)) << "the stop takes effect once the lock is free";
  Kill(holder);
  close(ready[0]);
  close(ready[1]);
}

} // namespace
