// cvsim check: one line for each step of a console program's search, and the
// status that says whether CV_UTIL would find the adapter.
#include "machine_helpers.h"

#include <temp_machine.h>

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

using simtest::Cvsim;

namespace {

struct CheckResult {
  int status;
  std::string out;
};

CheckResult Check(const std::vector<std::string> &before = {}) {
  std::vector<std::string> args = before;
  args.push_back("check");
  cvtest::ProgramResult r = cvtest::RunProgram("cvsim", args);
  EXPECT_EQ(r.err, "");
  return {r.status, r.out};
}

bool Has(const CheckResult &r, const std::string &line) { return r.out.find(line + "\n") != std::string::npos; }

TEST(CvsimCheck, AWorkingMachineShowsEveryStepAndItsDosNames) {
  cvtest::TempMachine machine;
  Cvsim({"init"});
  CheckResult r = Check();
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out, "machine: " + machine.root() + "\n" + "registry: " + machine.root() + "/registry.reg parses\n" +
                       "instance: cvlan1 (HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\cvlan1)\n"
                       "device: \\Device\\cvlan1\n"
                       "driver version: 2.10, accepted\n"
                       "DOS device names: none defined\n"
                       "result: CV_UTIL finds the adapter\n");

  // A name left defined is used as it is; one that leads elsewhere loses the device.
  ASSERT_TRUE(DefineDosDeviceA(DDD_RAW_TARGET_PATH, "cvlan1", "\\Device\\cvlan1"));
  r = Check();
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(Has(r, "device: \\Device\\cvlan1 (the target of the DOS device name cvlan1)")) << r.out;
  EXPECT_TRUE(Has(r, "DOS device names: left defined: cvlan1 -> \\Device\\cvlan1")) << r.out;
  ASSERT_TRUE(DefineDosDeviceA(DDD_RAW_TARGET_PATH, "cvlan1", "\\Device\\gone"));
  r = Check();
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Has(r, "device: \\Device\\gone does not exist (the target of the DOS device name cvlan1)")) << r.out;

  Cvsim({"init"});
  Cvsim({"fail-dos-removal", "on"});
  r = Check();
  EXPECT_EQ(r.status, 0) << "CV_UTIL finds the adapter, and only its ending fails";
  EXPECT_NE(r.out.find("every removal fails"), std::string::npos) << r.out;
}

TEST(CvsimCheck, EachCauseOfANotInstalledAdapter) {
  cvtest::TempMachine machine;
  struct Case {
    std::vector<std::string> init;
    std::string line;
    int status;
  };
  const std::vector<Case> cases = {
      {{"--driver-version", "1.03"}, "driver version: 1.03, refused: the library needs 1.04 or later", 1},
      {{"--driver-version", "1.04"}, "driver version: 1.04, accepted", 0},
      {{"--driver-version", "2.00"}, "driver version: 2.00, accepted", 0},
      {{"--driver-version", "0.04"}, "driver version: 0.04, accepted", 0},
      {{"--no-device"}, "device: \\Device\\cvlan1 does not exist", 1},
      {{"--no-instance"},
       "instance: no key cvlan1 to cvlan4 under HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services",
       1},
      {{"--instance", "CVLAN3"},
       "instance: CVLAN3 (HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\CVLAN3)",
       0},
      {{"--instance", "cvlan5"},
       "instance: no key cvlan1 to cvlan4 under HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services",
       1},
  };
  for (const Case &c : cases) {
    std::vector<std::string> init{"init"};
    init.insert(init.end(), c.init.begin(), c.init.end());
    Cvsim(init);
    CheckResult r = Check();
    EXPECT_EQ(r.status, c.status) << testing::PrintToString(c.init) << "\n" << r.out;
    EXPECT_TRUE(Has(r, c.line)) << r.out;
    // The check agrees with the program it speaks for.
    EXPECT_EQ(cvtest::RunProgram("CV_UTIL", {"A"}).status == 0, c.status == 0) << testing::PrintToString(c.init);
  }

  Cvsim({"init"});
  Cvsim({"fail", "FF010133", "7"});
  CheckResult r = Check();
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Has(r, "driver version: 2.10, but the version request fails (status 7, see 'cvsim fail')")) << r.out;

  Cvsim({"init"});
  std::string registry = machine.ReadFile("registry.reg");
  machine.WriteFile("registry.reg", registry.substr(0, registry.find('\n') + 1) + "\n[HKEY_LOCAL_MACHINE\\SYSTEM\n");
  r = Check();
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out.find("registry: " + machine.root() + "/registry.reg line 3: "), r.out.find('\n') + 1) << r.out;
  EXPECT_EQ(r.out.find("instance:"), std::string::npos) << "a registry that does not parse hides every key";
}

TEST(CvsimCheck, RootsWithoutAMachineAreLeftAsTheyAre) {
  cvtest::TempMachine machine;
  std::string missing = machine.path("not-yet");
  CheckResult r = Check({"--root", missing});
  EXPECT_EQ(r.status, 0) << "the first program run makes the default machine there";
  EXPECT_TRUE(Has(r, "no machine there yet: the first program run makes the default machine, with its adapter"));
  EXPECT_FALSE(std::filesystem::exists(missing));

  r = Check(); // the temporary root: empty
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(std::filesystem::is_empty(machine.root()));

  machine.WriteFile("notes.txt", "mine\n");
  r = Check();
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("no machine there: the folder holds other files"), std::string::npos) << r.out;
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(machine.root()), {}), 1);

  r = Check({"--root", machine.path("notes.txt")});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Has(r, "no machine there: it is not a folder")) << r.out;
}

TEST(CvsimArguments, AddressesInEveryFormCvsimPrints) {
  cvtest::TempMachine machine;
  Cvsim({"init", "--cellap"});
  Cvsim({"acl", "add", "020E5A010203"});
  Cvsim({"acl", "add", "02:0e:5A:0A:0B:0C"});
  Cvsim({"acl", "add", "02", "0E", "5A", "0D", "0E", "0F"});
  Cvsim({"acl", "add", "02 0E 5A 10 11 12"});
  EXPECT_EQ(Cvsim({"acl"}), "02 0E 5A 01 02 03\n02 0E 5A 0A 0B 0C\n02 0E 5A 0D 0E 0F\n02 0E 5A 10 11 12\n");
  // What acl prints, given back: the same address.
  std::string first = Cvsim({"acl"}).substr(0, 17);
  Cvsim({"set", "ap-address", first});
  Cvsim({"set", "address", "00", "A0", "C9", "11", "22", "33"});
  EXPECT_EQ(Cvsim({"peek", "0", "1"}).size(), 3u); // the machine still answers
  for (const std::vector<std::string> &bad :
       std::vector<std::vector<std::string>>{{"acl", "add", "02:0E:5A:01:02"},
                                             {"acl", "add", "02:0E-5A:01:02:03"},
                                             {"acl", "add", "02", "0E", "5A", "01", "02"},
                                             {"acl", "add", "02", "0E", "5A", "01", "02", "3"},
                                             {"acl", "add", "02", "0E", "5A", "01", "02", "03", "04"},
                                             {"set", "address", "02:0E:5A:01:02:0G"}}) {
    cvtest::ProgramResult r = cvtest::RunProgram("cvsim", bad);
    EXPECT_EQ(r.status, 2) << testing::PrintToString(bad);
  }
  EXPECT_EQ(Cvsim({"acl"}).size(), 4u * 18u) << "refused addresses change nothing";
}

TEST(CvsimArguments, EachUsageErrorNamesTheArgumentAtFault) {
  cvtest::TempMachine machine;
  Cvsim({"init"});
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{}, "(missing COMMAND)"},
      {{"frobnicate"}, "(no command 'frobnicate')"},
      {{"--root"}, "(missing DIR after --root)"},
      {{"peek", "500"}, "(missing COUNT)"},
      {{"peek", "G00", "1"}, "('G00': ADDR is"},
      {{"peek", "500", "1A"}, "('1A': COUNT is"},
      {{"peek", "FFFF", "2"}, "('2': COUNT bytes from ADDR pass the end"},
      {{"poke", "FFFF", "1", "2"}, "('2': this BYTE passes the end"},
      {{"poke", "500", "1", "zz"}, "('zz': a BYTE is"},
      {{"set", "netid", "10000"}, "('10000': netid is"},
      {{"set", "colour", "blue"}, "('colour': no such KEY)"},
      {{"set", "netid", "12", "34"}, "(unexpected '34')"},
      {{"set", "address", "02", "0E", "5A"}, "('02 0E 5A': an address is"},
      {{"init", "--station", "--cellap"}, "(--station and --cellap together)"},
      {{"init", "--instance", "cv/lan"}, "('cv/lan': NAME is"},
      {{"init", "--bogus"}, "(unexpected '--bogus')"},
      {{"acl", "remove", "020E5A010203"}, "(unexpected 'remove')"},
      {{"fail", "FF020192", "x"}, "('x': STATUS is decimal)"},
      {{"fail-dos-removal", "maybe"}, "('maybe': on or off)"},
      {{"advance", "-100"}, "('-100': MS is"},
      {{"log", "--clear", "now"}, "(unexpected 'now')"},
      {{"check", "now"}, "(unexpected 'now')"},
      {{"--version", "now"}, "(unexpected 'now')"},
  };
  for (const auto &[args, fault] : cases) {
    cvtest::ProgramResult r = cvtest::RunProgram("cvsim", args);
    EXPECT_EQ(r.status, 2) << testing::PrintToString(args);
    EXPECT_NE(r.err.find(fault), std::string::npos) << testing::PrintToString(args) << "\n" << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  }
}

TEST(CvsimArguments, HelpAndVersionOnStandardOutput) {
  cvtest::TempMachine machine;
  cvtest::ProgramResult help = cvtest::RunProgram("cvsim", {"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.err, "");
  EXPECT_EQ(help.out.rfind("usage: cvsim [--root DIR] COMMAND ...\n", 0), 0u) << help.out;
  EXPECT_NE(help.out.find("\n  check\n"), std::string::npos) << help.out;
  cvtest::ProgramResult version = cvtest::RunProgram("cvsim", {"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_TRUE(std::regex_match(version.out, std::regex("cvsim [0-9]+\\.[0-9]+(\\.[0-9]+)*\n"))) << version.out;
  EXPECT_TRUE(std::filesystem::is_empty(machine.root())) << "neither makes a machine";
}

} // namespace
