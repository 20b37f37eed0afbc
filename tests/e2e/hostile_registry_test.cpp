// A hostile registry.reg against the three programs that read the registry:
// CV_UTIL, cv_mon and cvsetup-host. A file that cannot be read as a registry
// (empty, cut in a line, binary, no file at all) hides the adapter: CV_UTIL and
// cv_mon say it is not installed, a reconfiguration answers 3. One that reads
// finds it, whatever its values' types. Nothing crashes or waits: RunProgram
// kills a program after its timeout, and that would show as status 137.
#include <run_program.h>
#include <temp_machine.h>
#include <tmux_session.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using cvtest::RunProgram;

const char kParameters[] = "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\cvlan1\\Parameters]\n";

std::string Noise(size_t size) {
  std::mt19937 random(1009);
  std::string noise;
  for (size_t i = 0; i < size; ++i) noise += static_cast<char>(random());
  return noise;
}

// The text of a machine's registry with the instance's ten values replaced.
std::string WithParameters(const std::string &text, const std::string &values) {
  size_t start = text.find(kParameters);
  if (start == std::string::npos) return text;
  start += sizeof kParameters - 1;
  size_t end = text.find("\n\n", start);
  return text.substr(0, start) + values + text.substr(end == std::string::npos ? text.size() : end + 1);
}

// Every value of a type other than REG_DWORD, each of which still holds a
// number in its first bytes (least significant first, missing bytes zero).
const char kWrongTypes[] =
    "\"CardType\"=hex:01\n"                           // REG_BINARY, one byte: 1
    "\"Diversity\"=hex(b):01,00,00,00,00,00,00,00\n"  // REG_QWORD: 1
    "\"InterruptNumber\"=hex(0):0a\n"                 // REG_NONE: 10
    "\"IoBaseAddress\"=hex:00,03\n"                   // two bytes: 0x300
    "\"CellAP\"=hex(4):01,00\n"                       // a REG_DWORD of two bytes: 1
    "\"CellAP_BDelay\"=hex(3):05\n"                   // 5
    "\"CellAP_Hop_Seq\"=hex:0c,00,00,00,ff,ff\n"      // six bytes, the first four count: 12
    "\"CellAP_Id\"=hex(2):41,00,00,00\n"              // REG_EXPAND_SZ "A": its bytes 41 00: 0x41
    "\"PCCARDAttributeMemoryAddress\"=hex:00,00,0d\n" // 0xD0000
    "\"Net_Id\"=\"A\"\n";                             // REG_SZ "A": 0x41

enum class Answer {
  kNoAdapter, // CV_UTIL and cv_mon: not installed, 1; cvsetup-host 99999: "3,"
  kAdapter,   // CV_UTIL as on the intact machine; cv_mon starts; 99999 reads and wants a terminal: "2,"
};

struct RegistryCase {
  const char *name;
  // Puts the hostile registry.reg in place, given the intact text and the root.
  std::function<void(const std::string &intact, const cvtest::TempMachine &machine)> make;
  Answer answer;
};

void Write(const cvtest::TempMachine &machine, const std::string &text) { machine.WriteFile("registry.reg", text); }

std::string CutAt(const std::string &text, const std::string &marker, size_t into) {
  size_t at = text.find(marker);
  return at == std::string::npos ? text : text.substr(0, at + into);
}

const RegistryCase kCases[] = {
    {"empty", [](auto &, auto &m) { Write(m, ""); }, Answer::kNoAdapter},
    {"only the header", [](auto &, auto &m) { Write(m, "REGEDIT4\n"); }, Answer::kNoAdapter},
    {"cut inside a line of the instance", [](auto &t, auto &m) { Write(m, CutAt(t, "\"InterruptNumber\"", 6)); },
     Answer::kNoAdapter},
    {"cut inside a continued hex value",
     [](auto &t, auto &m) { Write(m, t + "\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\X]\n\"Blob\"=hex:01,02,\\\n"); },
     Answer::kNoAdapter},
    {"cut at a line end before the instance",
     [](auto &t, auto &m) {
       Write(m, CutAt(t, "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\cvlan1]", 0));
     },
     Answer::kNoAdapter},
    {"cut at a line end among the instance's values",
     [](auto &t, auto &m) { Write(m, CutAt(t, "\"IoBaseAddress\"", 0)); }, Answer::kAdapter},
    {"binary", [](auto &, auto &m) { Write(m, Noise(65536)); }, Answer::kNoAdapter},
    {"a header and then binary", [](auto &, auto &m) { Write(m, "REGEDIT4\n" + Noise(65536)); }, Answer::kNoAdapter},
    {"NUL bytes after a value",
     [](auto &t, auto &m) {
       std::string text = t;
       text.insert(text.find("\n\"Diversity\""), std::string(3, '\0'));
       Write(m, text);
     },
     Answer::kNoAdapter},
    {"a key name of a megabyte",
     [](auto &t, auto &m) { Write(m, t + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\" + std::string(1 << 20, 'k') + "]\n"); },
     Answer::kNoAdapter},
    // Deeper than NT's 512 levels: the keys' destruction used to overflow the stack.
    {"a key 500,000 levels deep",
     [](auto &t, auto &m) {
       std::string path = "[HKEY_LOCAL_MACHINE\\SOFTWARE";
       for (int level = 0; level < 500000; ++level) path += "\\k";
       Write(m, t + path + "]\n");
     },
     Answer::kNoAdapter},
    {"UTF-16 as the registry editor writes it",
     [](auto &t, auto &m) {
       std::string wide = "\xFF\xFE";
       for (char c : t) wide += std::string{c, '\0'};
       Write(m, wide);
     },
     Answer::kAdapter},
    {"values of every other type", [](auto &t, auto &m) { Write(m, WithParameters(t, kWrongTypes)); },
     Answer::kAdapter},
    {"a value of a megabyte",
     [](auto &t, auto &m) {
       std::string hex = "\"Net_Id\"=hex:01,01";
       for (int i = 0; i < 1 << 20; ++i) hex += ",ff";
       Write(m, WithParameters(t, hex + "\n"));
     },
     Answer::kAdapter},
    // The values of a key used to be looked up one by one as the file was read,
    // which made a parse take minutes.
    {"200,000 values in the instance's parameters",
     [](auto &t, auto &m) {
       std::string values = kWrongTypes;
       for (int i = 0; i < 200000; ++i) values += "\"V" + std::to_string(i) + "\"=dword:00000001\n";
       Write(m, WithParameters(t, values));
     },
     Answer::kAdapter},
    {"100,000 keys out of order",
     [](auto &t, auto &m) {
       std::vector<int> order(100000);
       for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
       std::shuffle(order.begin(), order.end(), std::mt19937(1009));
       std::string sections = t;
       for (int key : order) sections += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\K" + std::to_string(key) + "]\n";
       Write(m, sections);
     },
     Answer::kAdapter},
    // Sorted before cvlan1, and too long for the adapter library's 128-character
    // key name: it used to end the search there, as if there were no instance.
    {"a service of 200 characters before the instance",
     [](auto &t, auto &m) {
       Write(m, t + "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\" + std::string(200, 'A') + "]\n");
     },
     Answer::kAdapter},
    {"a directory", [](auto &, auto &m) { std::filesystem::create_directory(m.path("registry.reg")); },
     Answer::kNoAdapter},
    // Its open used to wait for a writer for ever.
    {"a FIFO", [](auto &, auto &m) { mkfifo(m.path("registry.reg").c_str(), 0644); }, Answer::kNoAdapter},
    {"a symbolic link loop",
     [](auto &, auto &m) {
       std::filesystem::create_symlink(m.path("loop"), m.path("registry.reg"));
       std::filesystem::create_symlink(m.path("registry.reg"), m.path("loop"));
     },
     Answer::kNoAdapter},
    {"a dangling symbolic link (no registry)",
     [](auto &, auto &m) { std::filesystem::create_symlink(m.path("gone.reg"), m.path("registry.reg")); },
     Answer::kNoAdapter},
};

class HostileRegistry : public ::testing::Test {
 protected:
  void SetUp() override {
    if (access(cvtest::BinPath("cvsim").c_str(), X_OK) != 0) GTEST_SKIP() << "cvsim is not built";
    Init();
    intact_ = machine.ReadFile("registry.reg");
    ASSERT_NE(intact_.find(kParameters), std::string::npos);
    utilIntact_ = Run("CV_UTIL", {"I"});
    ASSERT_EQ(utilIntact_.status, 0);
    monitorIntact_ = Masked(Run("cv_mon", {}).out);
  }
  void Init() {
    ASSERT_EQ(RunProgram("cvsim", {"init"}).status, 0);
    ASSERT_EQ(RunProgram("cvsim", {"freeze"}).status, 0);
  }
  static cvtest::ProgramResult Run(const std::string &program, const std::vector<std::string> &args) {
    return RunProgram(program, args, "", 20);
  }
  // cv_mon's start-up lines show addresses in its own process, which differ
  // from run to run.
  static std::string Masked(std::string text) {
    for (const char *label : {"CVLAPI found at ", "Rx_Info_Ptr = "}) {
      size_t at = text.find(label);
      if (at != std::string::npos) text.replace(at + strlen(label), 8, "XXXXXXXX");
    }
    return text;
  }

  void Expect(const RegistryCase &c) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(machine.path("registry.reg")); // a directory the last case left
    Init();
    std::filesystem::remove(machine.path("registry.reg"));
    c.make(intact_, machine);
    cvtest::ProgramResult util = Run("CV_UTIL", {"I"});
    cvtest::ProgramResult monitor = Run("cv_mon", {});
    cvtest::ProgramResult setup = Run("cvsetup-host", {"99999"});
    EXPECT_EQ(setup.status, 0) << setup.err;
    if (c.answer == Answer::kNoAdapter) {
      EXPECT_EQ(util.status, 1);
      EXPECT_EQ(util.out, "Error - Corvane API is not installed.\n");
      EXPECT_EQ(monitor.status, 1);
      EXPECT_EQ(monitor.out, "Error - Corvane API is not installed.\n");
      EXPECT_EQ(setup.out, "3,\n");
    } else {
      EXPECT_EQ(util.status, 0);
      EXPECT_EQ(util.out, utilIntact_.out);
      // No terminal in a test: cv_mon starts and then says it has no screen.
      EXPECT_EQ(monitor.status, 1);
      EXPECT_EQ(Masked(monitor.out), monitorIntact_);
      EXPECT_EQ(setup.out, "2,\n");
    }
  }

  cvtest::TempMachine machine;
  std::string intact_;
  cvtest::ProgramResult utilIntact_;
  std::string monitorIntact_;
};

TEST_F(HostileRegistry, EachFileGetsItsAnswerFromEveryProgram) {
  ASSERT_EQ(monitorIntact_.rfind("CVLAPI found at XXXXXXXX\n", 0), 0u) << monitorIntact_;
  ASSERT_NE(monitorIntact_.find("Error - No console to show the statistics on\n"), std::string::npos);
  for (const RegistryCase &c : kCases) Expect(c);
}

TEST_F(HostileRegistry, AnUnreadableFileHidesTheAdapter) {
  if (geteuid() == 0) GTEST_SKIP() << "running as root: mode 000 does not stop reading";
  Expect({"unreadable",
          [](auto &t, auto &m) {
            Write(m, t);
            chmod(m.path("registry.reg").c_str(), 0);
          },
          Answer::kNoAdapter});
}

TEST_F(HostileRegistry, AFileRewrittenInPlaceWhileReadGivesOneOfTheTwoAnswers) {
  // As an editor saves: truncate, then write the text in pieces. A reader sees
  // the whole file, a part that reads, or a part that does not.
  pid_t writer = fork();
  ASSERT_GE(writer, 0);
  if (writer == 0) {
    for (;;) {
      int fd = open(machine.path("registry.reg").c_str(), O_WRONLY | O_TRUNC);
      for (size_t at = 0; fd >= 0 && at < intact_.size(); at += 200) {
        if (write(fd, intact_.data() + at, std::min<size_t>(200, intact_.size() - at)) < 0) break;
        usleep(50);
      }
      if (fd >= 0) close(fd);
    }
  }
  struct Stop {
    pid_t pid;
    ~Stop() {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  } stop{writer};
  std::set<std::string> answers;
  for (int run = 0; run < 30; ++run) {
    cvtest::ProgramResult util = Run("CV_UTIL", {"I"});
    bool whole = util.status == 0 && util.out == utilIntact_.out;
    bool none = util.status == 1 && util.out == "Error - Corvane API is not installed.\n";
    EXPECT_TRUE(whole || none) << util.status << ": " << util.out;
    answers.insert(whole ? "adapter" : "none");
    cvtest::ProgramResult setup = Run("cvsetup-host", {"99999"});
    EXPECT_TRUE(setup.status == 0 && (setup.out == "2,\n" || setup.out == "3,\n")) << setup.status << ": " << setup.out;
  }
  std::printf("answers seen: %s\n", testing::PrintToString(answers).c_str());
}

// The values of other types on the terminal: the dialog shows the numbers their
// first bytes hold, and OK hands them back.
TEST_F(HostileRegistry, ValuesOfOtherTypesPresetTheDialogWithTheirFirstBytes) {
  if (!cvtest::TmuxSession::Available()) GTEST_SKIP() << "tmux is not installed";
  Write(machine, WithParameters(intact_, kWrongTypes));
  cvtest::TmuxSession session;
  session.Start("CVLAN_SYSROOT=" + machine.root() + " " + cvtest::BinPath("cvsetup-host") + " 99999 > " +
                machine.path("result.txt") + "; echo finished > " + machine.path("done"));
  ASSERT_TRUE(session.WaitFor([](const std::vector<std::string> &rows) {
    return rows[13].find("Access Point Id: 0x41") != std::string::npos;
  })) << testing::PrintToString(session.Screen());
  std::vector<std::string> rows = session.Screen();
  EXPECT_NE(rows[3].find("Card Type:            WPOS/ISA"), std::string::npos) << rows[3];
  EXPECT_NE(rows[3].find("Net_ID: 0x41"), std::string::npos) << rows[3];
  EXPECT_NE(rows[3].find("Diversity:[X]"), std::string::npos) << rows[3];
  EXPECT_NE(rows[6].find("Interrupt Number:     10"), std::string::npos) << rows[6];
  EXPECT_NE(rows[8].find("IO Port Address:      0x300"), std::string::npos) << rows[8];
  EXPECT_NE(rows[8].find("Beacon Delay:    5"), std::string::npos) << rows[8];
  EXPECT_NE(rows[11].find("Memory Base Address:  0xD0000"), std::string::npos) << rows[11];
  EXPECT_NE(rows[11].find("Hopping Sequence 12"), std::string::npos) << rows[11];
  session.Keys("Enter");
  for (int i = 0; i < 50 && access(machine.path("done").c_str(), F_OK) != 0; ++i) usleep(100 * 1000);
  EXPECT_EQ(machine.ReadFile("result.txt"), "0,1,10,992,768,851968,65,1,1,1,5,12,65,\n");
}

} // namespace
