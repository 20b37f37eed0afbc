// cvsetup-host end to end: the built program loads the built library.
#include <run_program.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

namespace {

class CvsetupHost : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/cvsetup-host-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Write(const std::string &name, const std::string &content) {
    std::filesystem::path path = dir_ + "/" + name;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
    return path.string();
  }
  static cvtest::ProgramResult Host(const std::vector<std::string> &args) {
    return cvtest::RunProgram("cvsetup-host", args);
  }
  static std::string Mode1(const std::string &path) {
    cvtest::ProgramResult result = Host({"1", path});
    EXPECT_EQ(result.status, 0) << result.err;
    return result.out;
  }
  std::string dir_;
};

TEST_F(CvsetupHost, AThirdLineBeginningWithCvlan2Gives2) {
  EXPECT_EQ(Mode1(Write("oemsetup.inf", "[Identification]\nOptionType = NetAdapter\ncvlan2 = 1\n")), "2\n");
}

TEST_F(CvsetupHost, EverythingElseGives0) {
  EXPECT_EQ(Mode1(Write("after.txt", "driver CVLAN\n")), "0\n");
  EXPECT_EQ(Mode1(Write("short.txt", "CVLA\n")), "0\n");
  EXPECT_EQ(Mode1(Write("empty.txt", "")), "0\n");
  EXPECT_EQ(Mode1(dir_ + "/missing.txt"), "0\n");
  EXPECT_EQ(Mode1(dir_ + "/" + std::string(300 - dir_.size() - 1, 'x')), "0\n");
}

TEST_F(CvsetupHost, ADirectoryIsJudgedByItsFirstFile) {
  Write("first/a.txt", "no\n");
  Write("first/b.txt", "CVLAN\n");
  EXPECT_EQ(Mode1(dir_ + "/first"), "0\n");
  Write("second/a.txt", "CVLAN\n");
  Write("second/b.txt", "no\n");
  EXPECT_EQ(Mode1(dir_ + "/second"), "2\n");
}

TEST_F(CvsetupHost, AnUnknownModeIsRefusedWithoutADialog) {
  cvtest::ProgramResult result = Host({"7"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, "2,\n");
}

TEST_F(CvsetupHost, UsageAndAMissingLibrary) {
  cvtest::ProgramResult usage = Host({});
  EXPECT_EQ(usage.status, 2);
  EXPECT_NE(usage.err.find("usage: cvsetup-host MODE [ARG]"), std::string::npos);
  EXPECT_EQ(usage.out, "");

  setenv("CVSETUP_LIBRARY", (dir_ + "/nowhere/cvsetup.dll").c_str(), 1);
  cvtest::ProgramResult missing = Host({"1", dir_});
  unsetenv("CVSETUP_LIBRARY");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("cannot load"), std::string::npos);
  EXPECT_EQ(missing.out, "");
}

TEST_F(CvsetupHost, ALoadFailureNamesTheHostFileAndTheLoadersReason) {
  // The Windows name given stands for the shared object in that folder.
  setenv("CVSETUP_LIBRARY", (dir_ + "/nowhere/cvsetup.dll").c_str(), 1);
  cvtest::ProgramResult missing = Host({"1", dir_});
  EXPECT_EQ(missing.err, "cvsetup-host: cannot load " + dir_ +
                             "/nowhere/libcvsetup.so: cannot open shared object file: No such file or directory\n");
  // A file that is no library, named relative to the current folder: the full path.
  std::string notLibrary = Write("libcvsetup.so", "not a library\n");
  setenv("CVSETUP_LIBRARY", std::filesystem::relative(notLibrary).c_str(), 1);
  cvtest::ProgramResult broken = Host({"1", dir_});
  unsetenv("CVSETUP_LIBRARY");
  EXPECT_EQ(broken.status, 1);
  EXPECT_EQ(broken.err.rfind("cvsetup-host: cannot load " + notLibrary + ": ", 0), 0u) << broken.err;
  EXPECT_EQ(broken.err.find("error "), std::string::npos) << "no Win32 error number on this host";
  EXPECT_EQ(broken.out, "");
}

TEST_F(CvsetupHost, HelpAndVersionOnStandardOutput) {
  cvtest::ProgramResult help = Host({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("usage: cvsetup-host MODE [ARG]\n", 0), 0u) << help.out;
  EXPECT_EQ(help.out, Host({}).err) << "the same text as the usage error";
  cvtest::ProgramResult version = Host({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, cvtest::RunProgram("cvsim", {"--version"}).out.replace(0, 5, "cvsetup-host"))
      << "one version for the tools";
}

TEST_F(CvsetupHost, TheLibraryNamedByTheEnvironmentIsTheOneLoaded) {
  std::string library = cvtest::BinPath("libcvsetup.so");
  setenv("CVSETUP_LIBRARY", library.c_str(), 1);
  std::string out = Mode1(Write("f.txt", "CVLAN\n"));
  unsetenv("CVSETUP_LIBRARY");
  EXPECT_EQ(out, "2\n");
}

} // namespace
