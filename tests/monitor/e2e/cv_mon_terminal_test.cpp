// cv_mon on terminals of many kinds, each a pseudo-terminal of its own: what
// reaches the terminal for its type and locale, a terminal that cannot be drawn
// on, and a terminal that hangs up while the hang-up signal is ignored.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <vector>

#include "run_program.h"
#include "temp_machine.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string ReadText(const std::string &path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// cv_mon on the slave side of a pseudo-terminal of 80 x 25, with the hang-up
// signal ignored (as nohup starts it); all it sends is kept.
class PtyMonitor {
 public:
  PtyMonitor(const std::string &term, const std::string &locale, const std::string &errorFile = "",
             const std::vector<std::string> &command = {"cv_mon"}) {
    winsize size{};
    size.ws_col = 80;
    size.ws_row = 25;
    pid_ = forkpty(&master_, nullptr, nullptr, &size);
    if (pid_ == 0) {
      signal(SIGHUP, SIG_IGN);
      if (term.empty())
        unsetenv("TERM");
      else
        setenv("TERM", term.c_str(), 1);
      setenv("LC_ALL", locale.c_str(), 1);
      if (!errorFile.empty()) freopen(errorFile.c_str(), "w", stderr);
      std::string program = command[0][0] == '/' ? command[0] : cvtest::BinPath(command[0]);
      std::vector<char *> argv;
      for (const std::string &arg : command) argv.push_back(const_cast<char *>(arg.c_str()));
      argv.push_back(nullptr);
      execv(program.c_str(), argv.data());
      _exit(127);
    }
  }
  ~PtyMonitor() {
    if (pid_ > 0 && !exited_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (master_ >= 0) close(master_);
  }
  bool Started() const { return pid_ > 0; }

  // Reads what the program sends until the text appears or the time is up.
  bool ReadUntil(const std::string &text, int timeoutMs) {
    auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (output.find(text) == std::string::npos) {
      int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count());
      if (left <= 0 || !ReadSome(left)) return output.find(text) != std::string::npos;
    }
    return true;
  }
  void ReadFor(int ms) { ReadUntil(std::string(1, '\x7f') + "never", ms); }
  void Type(const std::string &keys) { ASSERT_EQ(write(master_, keys.data(), keys.size()), (ssize_t)keys.size()); }
  void CloseTerminal() {
    close(master_);
    master_ = -1;
  }
  // The exit status (128 + signal when killed); -1 when still running at the time.
  int WaitExit(int timeoutMs) {
    auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Clock::now() < end) {
      if (master_ >= 0) ReadSome(10); // a full terminal would hold the program up
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        exited_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      usleep(10000);
    }
    return -1;
  }

  std::string output;

 private:
  bool ReadSome(int timeoutMs) {
    pollfd p{master_, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0) return timeoutMs > 0 && !(p.revents & (POLLHUP | POLLERR));
    char buffer[4096];
    ssize_t n = read(master_, buffer, sizeof buffer);
    if (n <= 0) return false;
    output.append(buffer, static_cast<size_t>(n));
    return true;
  }
  int master_ = -1;
  pid_t pid_ = -1;
  bool exited_ = false;
};

bool AnyHighByte(const std::string &bytes) {
  for (char c : bytes)
    if (static_cast<unsigned char>(c) >= 0x80) return true;
  return false;
}

class CvMonTerminals : public testing::Test {
 protected:
  void SetUp() override {
    if (access(cvtest::BinPath("cvsim").c_str(), X_OK) != 0) GTEST_SKIP() << "cvsim is not built";
    ASSERT_EQ(cvtest::RunProgram("cvsim", {"init"}).status, 0);
  }
  cvtest::TempMachine machine;
};

TEST_F(CvMonTerminals, SendNoPaddingAndNoByteTheLocaleCannotShow) {
  struct Case {
    const char *term;
    const char *locale;
    bool highBytes;
  };
  for (Case c : {Case{"xterm", "C.UTF-8", true}, Case{"xterm", "C", false}, Case{"vt100", "C", false},
                 Case{"vt102", "POSIX", false}}) {
    SCOPED_TRACE(std::string(c.term) + " " + c.locale);
    PtyMonitor monitor(c.term, c.locale);
    ASSERT_TRUE(monitor.Started());
    ASSERT_TRUE(monitor.ReadUntil("Corvane Monitor Utility", 10000)) << monitor.output;
    monitor.ReadFor(2500); // two rate passes: bars, rates and tables drawn
    monitor.Type("q");
    EXPECT_EQ(monitor.WaitExit(5000), 0);
    EXPECT_EQ(monitor.output.find("$<"), std::string::npos) << "padding sent as text";
    EXPECT_EQ(AnyHighByte(monitor.output), c.highBytes);
  }
}

TEST_F(CvMonTerminals, HangUpEndsTheMonitorAndRemovesItsDosName) {
  PtyMonitor monitor("xterm", "C.UTF-8");
  ASSERT_TRUE(monitor.Started());
  ASSERT_TRUE(monitor.ReadUntil("Corvane Monitor Utility", 10000)) << monitor.output;
  ASSERT_FALSE(ReadText(machine.path("dosdevices/CVLAN1")).empty()) << "the monitor defines its DOS name";
  auto closed = Clock::now();
  monitor.CloseTerminal();
  int status = monitor.WaitExit(3000);
  EXPECT_EQ(status, 128 + SIGHUP) << "ends as a hang-up ends a program";
  EXPECT_LT(Clock::now() - closed, std::chrono::milliseconds(1500));
  EXPECT_TRUE(ReadText(machine.path("dosdevices/CVLAN1")).empty()) << "no DOS device name stays behind";
}

TEST_F(CvMonTerminals, SayWhyATerminalCannotShowTheStatistics) {
  struct Case {
    const char *term;
    const char *reason;
  };
  for (Case c :
       {Case{"dumb", "cv_mon: terminal type \"dumb\" cannot address the cursor (no cup capability)\n"},
        Case{"no-such-terminal", "cv_mon: terminal type \"no-such-terminal\" is not in the terminfo database\n"},
        Case{"", "cv_mon: TERM is not set, so the terminal type is unknown\n"}}) {
    SCOPED_TRACE(c.term);
    std::string errors = machine.path("stderr.txt");
    PtyMonitor monitor(c.term, "C.UTF-8", errors);
    ASSERT_TRUE(monitor.Started());
    EXPECT_EQ(monitor.WaitExit(10000), 1);
    EXPECT_NE(monitor.output.find("Error - No console to show the statistics on"), std::string::npos) << monitor.output;
    EXPECT_EQ(ReadText(errors), c.reason);
  }
  // Without a controlling terminal at all: a session of its own, output to files.
  pid_t pid = fork();
  if (pid == 0) {
    setsid();
    freopen(machine.path("stdout.txt").c_str(), "w", stdout);
    freopen(machine.path("stderr.txt").c_str(), "w", stderr);
    std::string program = cvtest::BinPath("cv_mon");
    execl(program.c_str(), "cv_mon", static_cast<char *>(nullptr));
    _exit(127);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_NE(ReadText(machine.path("stdout.txt")).find("Error - No console to show the statistics on\n"),
            std::string::npos);
  EXPECT_EQ(ReadText(machine.path("stderr.txt")), "cv_mon: no controlling terminal to draw on\n");
}

// An idle monitor (the adapter frozen, the screen drawn) turns every few
// milliseconds: each turn waits once on the terminal, which is also its look for
// keys, and a screen drawn again as it was sends nothing.
TEST_F(CvMonTerminals, AnIdleTurnWaitsOnceAndSendsNothing) {
  const std::string strace = "/usr/bin/strace";
  if (access(strace.c_str(), X_OK) != 0) GTEST_SKIP() << "strace is not installed";
  ASSERT_EQ(cvtest::RunProgram("cvsim", {"freeze"}).status, 0);
  std::string trace = machine.path("trace.txt");
  PtyMonitor monitor("xterm", "C.UTF-8", "",
                     {strace, "-f", "-y", "-ttt", "-e", "trace=poll,ppoll,nanosleep,clock_nanosleep,write", "-o", trace,
                      cvtest::BinPath("cv_mon")});
  ASSERT_TRUE(monitor.Started());
  bool drawn = monitor.ReadUntil("Corvane Monitor Utility", 10000);
  if (!drawn && monitor.output.find("strace: ") != std::string::npos)
    GTEST_SKIP() << "strace cannot trace here: " << monitor.output;
  ASSERT_TRUE(drawn) << monitor.output;
  monitor.ReadFor(4000);
  monitor.Type("q");
  // Ended, whatever its status: a sanitizer's leak check cannot run under the tracer.
  ASSERT_NE(monitor.WaitExit(5000), -1);
  std::ifstream in(trace);
  std::vector<std::pair<double, std::string>> calls;
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    std::string pid, call;
    double when = 0;
    if (fields >> pid >> when >> call) calls.emplace_back(when, call);
  }
  if (calls.empty()) GTEST_SKIP() << "strace may not trace here: " << ReadText(trace);
  // The last two seconds before the key: the first rate passes have drawn
  // their figures, the frozen counters stay as they are.
  double end = calls.back().first - 0.2, start = end - 2.0;
  int waits = 0, sleeps = 0, terminalWrites = 0;
  for (const auto &[when, call] : calls) {
    if (when < start || when > end) continue;
    if (call.rfind("poll(", 0) == 0 || call.rfind("ppoll(", 0) == 0) ++waits;
    if (call.find("nanosleep(") != std::string::npos) ++sleeps;
    if (call.rfind("write(", 0) == 0 && call.find("</dev/pts/") != std::string::npos) ++terminalWrites;
  }
  EXPECT_GT(waits, 100) << "a turn every few milliseconds";
  EXPECT_EQ(sleeps, 0) << "the wait on the terminal is the sleep";
  EXPECT_EQ(terminalWrites, 0) << "an unchanged screen sends nothing";
}

TEST_F(CvMonTerminals, TheDialogEndsOnHangUpAndSaysWhatTheTerminalLacks) {
  if (access(cvtest::BinPath("cvsetup-host").c_str(), X_OK) != 0) GTEST_SKIP() << "cvsetup-host is not built";
  {
    PtyMonitor dialog("xterm", "C.UTF-8", "", {"cvsetup-host", "0"});
    ASSERT_TRUE(dialog.Started());
    ASSERT_TRUE(dialog.ReadUntil("OK", 10000)) << dialog.output;
    auto closed = Clock::now();
    dialog.CloseTerminal();
    EXPECT_EQ(dialog.WaitExit(3000), 128 + SIGHUP);
    EXPECT_LT(Clock::now() - closed, std::chrono::milliseconds(1500));
  }
  std::string errors = machine.path("stderr.txt");
  PtyMonitor dumb("dumb", "C.UTF-8", errors, {"cvsetup-host", "0"});
  ASSERT_TRUE(dumb.Started());
  dumb.WaitExit(10000);
  EXPECT_NE(dumb.output.find("2,"), std::string::npos) << dumb.output;
  EXPECT_EQ(ReadText(errors), "cvsetup-host: terminal type \"dumb\" cannot address the cursor (no cup capability)\n");
}

} // namespace
