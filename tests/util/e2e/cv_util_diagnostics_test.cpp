// Why the adapter is not found: with CVLAN_DEBUG_OUTPUT set, CV_UTIL's failing
// Win32 calls and the library's own word reach standard error, while standard
// output and the exit status stay what they are without it; unset, nothing more
// is written.
#include "run_program.h"
#include "temp_machine.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

using cvtest::ProgramResult;
using cvtest::RunProgram;

const char kNotInstalled[] = "Error - Corvane API is not installed.\n";

class Diagnostics : public ::testing::Test {
 protected:
  void SetUp() override {
    if (access(cvtest::BinPath("cvsim").c_str(), X_OK) != 0) GTEST_SKIP() << "cvsim is not built";
  }
  void TearDown() override { unsetenv("CVLAN_DEBUG_OUTPUT"); }

  void Init(const std::vector<std::string> &options) {
    std::vector<std::string> args = {"init"};
    args.insert(args.end(), options.begin(), options.end());
    ProgramResult result = RunProgram("cvsim", args);
    ASSERT_EQ(result.status, 0) << result.err;
  }

  // CV_UTIL I all, traced; the same run untraced must differ only on standard error,
  // where it writes nothing.
  ProgramResult Traced(const std::string &expectedOut, int expectedStatus) {
    unsetenv("CVLAN_DEBUG_OUTPUT");
    ProgramResult quiet = RunProgram("CV_UTIL", {"I", "all"});
    setenv("CVLAN_DEBUG_OUTPUT", "1", 1);
    ProgramResult traced = RunProgram("CV_UTIL", {"I", "all"});
    unsetenv("CVLAN_DEBUG_OUTPUT");
    EXPECT_EQ(quiet.err, "");
    EXPECT_EQ(traced.out, quiet.out);
    EXPECT_EQ(traced.status, quiet.status);
    if (!expectedOut.empty()) {
      EXPECT_EQ(quiet.out, expectedOut);
    }
    EXPECT_EQ(quiet.status, expectedStatus);
    return traced;
  }

  cvtest::TempMachine machine_;
};

std::string ReplaceLine(const std::string &text, int number, const std::string &line) {
  std::istringstream in(text);
  std::string out, current;
  for (int n = 1; std::getline(in, current); ++n) out += (n == number ? line : current) + "\n";
  return out;
}

TEST_F(Diagnostics, ATypoInTheRegistryNamesTheFileTheLineAndWhatIsWrong) {
  Init({});
  machine_.WriteFile("registry.reg", ReplaceLine(machine_.ReadFile("registry.reg"), 12, "Type\"=dword:1"));
  ProgramResult traced = Traced(kNotInstalled, 1);
  EXPECT_NE(traced.err.find("RegOpenKeyExA(HKEY_LOCAL_MACHINE, \"SYSTEM\\CurrentControlSet\\Services\") failed: "
                            "1009 (ERROR_BADDB): " +
                            machine_.path("registry.reg") +
                            ":12: neither a [key] section nor a \"name\"=data value: found 'Type\"=dword:1'\n"),
            std::string::npos)
      << traced.err;
}

TEST_F(Diagnostics, AMissingInstanceKeyEndsTheServicesEnumeration) {
  Init({"--no-instance"});
  ProgramResult traced = Traced(kNotInstalled, 1);
  EXPECT_NE(traced.err.find("RegEnumKeyA(HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services, "), std::string::npos)
      << traced.err;
  EXPECT_NE(traced.err.find("failed: 259 (ERROR_NO_MORE_ITEMS)"), std::string::npos) << traced.err;
  EXPECT_NE(traced.err.find("CVLAPI: no adapter instance key (cvlan1 to cvlan4) under "
                            "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\n"),
            std::string::npos)
      << traced.err;
}

TEST_F(Diagnostics, AMachineWithoutTheDeviceFailsItsOpen) {
  Init({"--no-device"});
  ProgramResult traced = Traced(kNotInstalled, 1);
  EXPECT_NE(traced.err.find("CreateFileA(\"\\\\.\\cvlan1\") failed: 2 (ERROR_FILE_NOT_FOUND): no driver serves "
                            "\\Device\\cvlan1 (no such device on this machine)\n"),
            std::string::npos)
      << traced.err;
}

TEST_F(Diagnostics, ADriverTooOldIsNamedWithItsVersion) {
  Init({"--driver-version", "1.02"});
  ProgramResult traced = Traced(kNotInstalled, 1);
  EXPECT_NE(traced.err.find("CVLAPI: driver version 1.2 is too old (major version 2 or minor version 4 at least)\n"),
            std::string::npos)
      << traced.err;
}

TEST_F(Diagnostics, AFoundAdapterPrintsTheSameWithTheTraceOn) {
  Init({"--frozen"});
  ProgramResult traced = Traced("", 0);
  EXPECT_EQ(traced.err.find("CVLAPI:"), std::string::npos) << traced.err;
  EXPECT_EQ(traced.err.find("CreateFileA"), std::string::npos) << traced.err;
}

} // namespace
