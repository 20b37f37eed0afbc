// cvsim end to end: each command, and command lines it must refuse untouched.
#include "machine_helpers.h"

#include <temp_machine.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

using namespace cvsim;
using simtest::Cvsim;
using simtest::Device;
using simtest::DeviceSend;

namespace {

TEST(Cvsim, InitMakesTheMachineItIsAskedFor) {
  cvtest::TempMachine machine;
  Cvsim({"init"});
  EXPECT_EQ(Cvsim({"peek", "386", "1"}), "01\n");
  EXPECT_EQ(Cvsim({"peek", "176", "2"}), "00 0C\n");
  EXPECT_NE(machine.ReadFile("registry.reg").find("Services\\cvlan1\\Parameters]"), std::string::npos);

  Cvsim({"init", "--cellap", "--driver-version", "1.03"});
  EXPECT_EQ(Cvsim({"peek", "386", "1"}), "04\n");
  EXPECT_EQ(Cvsim({"peek", "17C", "2"}), "02 14\n");
  simtest::DeviceExchange e = DeviceSend(*Device(machine.root()), kOidConfig, kOpQuery, 60);
  EXPECT_EQ(e.word(0), 1);
  EXPECT_EQ(e.word(2), 3);

  Cvsim({"init", "--station", "--instance", "CVLAN2", "--no-instance"});
  EXPECT_TRUE(std::filesystem::exists(machine.path("devices/CVLAN2")));
  EXPECT_EQ(machine.ReadFile("registry.reg").find("CVLAN2"), std::string::npos);
  EXPECT_EQ(Cvsim({"peek", "386", "1"}), "01\n") << "commands act on the machine's device";

  Cvsim({"init", "--no-device"});
  EXPECT_NE(machine.ReadFile("registry.reg").find("Services\\cvlan1\\Parameters]"), std::string::npos);
  cvtest::ProgramResult r = cvtest::RunProgram("cvsim", {"peek", "500", "1"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("no simulated adapter"), std::string::npos) << r.err;
  EXPECT_EQ(Cvsim({"log"}), "") << "a machine without an adapter has received nothing";
  Cvsim({"log", "--clear"});
}

TEST(Cvsim, RootOptionAndTheDefaultMachine) {
  cvtest::TempMachine machine;
  std::string other = machine.path("elsewhere");
  // A root that does not exist yet gets the default machine, as any program run would make it.
  EXPECT_EQ(Cvsim({"--root", other, "peek", "386", "1"}), "01\n");
  EXPECT_TRUE(std::filesystem::exists(other + "/registry.reg"));
  EXPECT_FALSE(std::filesystem::exists(machine.path("registry.reg")));
}

TEST(Cvsim, PeekAndPokeAdapterMemory) {
  cvtest::TempMachine machine;
  Cvsim({"init"});
  Cvsim({"poke", "FFFD", "1", "0a", "FF"});
  EXPECT_EQ(Cvsim({"peek", "FFFD", "3"}), "01 0A FF\n");
  Cvsim({"freeze"});
  Cvsim({"poke", "50C", "0"});
  simtest::DeviceExchange e = DeviceSend(*Device(machine.root()), kOidStatusBlock, kOpQuery, 50);
  EXPECT_EQ(e.data()[kSbAssocStatus], 0) << "the status block is adapter memory";
}

TEST(Cvsim, SetChangesWhatTheDriverAnswers) {
  cvtest::TempMachine machine;
  Cvsim({"init"});
  for (const std::vector<std::string> &args : std::vector<std::vector<std::string>>{{"irq", "65546"},
                                                                                    {"io", "300"},
                                                                                    {"membase", "C8000"},
                                                                                    {"access-mode", "1"},
                                                                                    {"netid", "BEEF"},
                                                                                    {"address", "00A0C9112233"},
                                                                                    {"ap-address", "020E5A99AABB"},
                                                                                    {"firmware-version", "V9.99Z"},
                                                                                    {"firmware-date", "123199"},
                                                                                    {"driver-version", "3.07"}}) {
    std::vector<std::string> command{"set"};
    command.insert(command.end(), args.begin(), args.end());
    Cvsim(command);
  }
  auto driver = Device(machine.root());
  simtest::DeviceExchange e = DeviceSend(*driver, kOidConfig, kOpQuery, 60);
  EXPECT_EQ(e.word(0), 3);
  EXPECT_EQ(e.word(2), 7);
  EXPECT_EQ(Load32(e.data() + 4), 0x1000Au);
  EXPECT_EQ(Load32(e.data() + 8), 0x300u);
  EXPECT_EQ(Load32(e.data() + 12), 0xC8000u);
  EXPECT_EQ(e.word(36), 1);
  EXPECT_EQ(e.word(46), 0xBEEF);
  EXPECT_EQ(Cvsim({"peek", "518", "2"}), "EF BE\n");

  uint8_t address[6];
  uint8_t in[4];
  Store32(in, kOidCurrentAddress);
  DWORD returned = 0;
  ASSERT_EQ(driver->IoControl(0x00170002, in, 4, address, 6, &returned), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(address[0], 0x00);
  EXPECT_EQ(address[5], 0x33);
  e = DeviceSend(*driver, kOidApAddress, kOpQuery, 6);
  EXPECT_EQ(e.data()[3], 0x99);
  EXPECT_EQ(e.data()[5], 0xBB);
  std::vector<uint8_t> firmware(32, 0);
  firmware[16] = 64;
  e = DeviceSend(*driver, kOidFirmware, kOpQuery, 96, firmware);
  EXPECT_EQ(std::string(reinterpret_cast<const char *>(e.data() + 16 + Load32(e.data() + 20)), 12), "V9.99Z123199");

  Cvsim({"set", "mode", "cellap"});
  EXPECT_EQ(Cvsim({"peek", "386", "1"}), "04\n");
  Cvsim({"set", "mode", "station"});
  EXPECT_EQ(Cvsim({"peek", "386", "1"}), "01\n");
}

TEST(Cvsim, AccessControlList) {
  cvtest::TempMachine machine;
  Cvsim({"init", "--cellap"});
  EXPECT_EQ(Cvsim({"acl"}), "");
  Cvsim({"acl", "add", "020E5A010203"});
  Cvsim({"acl", "add", "020e5a0a0b0c"});
  EXPECT_EQ(Cvsim({"acl"}), "02 0E 5A 01 02 03\n02 0E 5A 0A 0B 0C\n");
  Cvsim({"acl", "clear"});
  EXPECT_EQ(Cvsim({"acl"}), "");
  for (int i = 0; i < 32; ++i) {
    char address[13];
    std::snprintf(address, sizeof address, "020E5A0000%02X", i);
    Cvsim({"acl", "add", address});
  }
  cvtest::ProgramResult r = cvtest::RunProgram("cvsim", {"acl", "add", "020E5A00FFFF"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("full"), std::string::npos);
  std::string list = Cvsim({"acl"});
  EXPECT_EQ(std::count(list.begin(), list.end(), '\n'), 32);
}

TEST(Cvsim, FaultsFailRequestsWithTheirStatus) {
  cvtest::TempMachine machine;
  Cvsim({"init"});
  Cvsim({"fail", "FF020192", "12"});
  Cvsim({"fail", "1010102", "2"});
  auto driver = Device(machine.root());
  simtest::DeviceExchange e = DeviceSend(*driver, kOidStatusBlock, kOpQuery, 50);
  EXPECT_NE(e.error, static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(e.status(), 12u);
  uint8_t address[6], in[4];
  Store32(in, kOidCurrentAddress);
  DWORD returned = 0;
  EXPECT_NE(driver->IoControl(0x00170002, in, 4, address, 6, &returned), static_cast<DWORD>(ERROR_SUCCESS));
  Cvsim({"fail", "--clear"});
  EXPECT_EQ(DeviceSend(*driver, kOidStatusBlock, kOpQuery, 50).error, static_cast<DWORD>(ERROR_SUCCESS));
}

TEST(Cvsim, DosRemovalFlag) {
  cvtest::TempMachine machine;
  Cvsim({"init"});
  Cvsim({"fail-dos-removal", "on"});
  EXPECT_TRUE(std::filesystem::exists(machine.path("dosdevices/.fail-removal")));
  Cvsim({"fail-dos-removal", "on"});
  Cvsim({"fail-dos-removal", "off"});
  EXPECT_FALSE(std::filesystem::exists(machine.path("dosdevices/.fail-removal")));
  Cvsim({"fail-dos-removal", "off"});
}

TEST(Cvsim, FreezeAdvanceThaw) {
  cvtest::TempMachine machine;
  Cvsim({"init"});
  Cvsim({"freeze"});
  std::string counters = Cvsim({"peek", "561", "12"});
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(Cvsim({"peek", "561", "12"}), counters);
  Cvsim({"advance", "1000"});
  std::string advanced = Cvsim({"peek", "561", "12"});
  EXPECT_NE(advanced, counters);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(Cvsim({"peek", "561", "12"}), advanced) << "advance steps time without thawing it";
  Cvsim({"thaw"});
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_NE(Cvsim({"peek", "561", "12"}), advanced);
}

// A frozen adapter from the start is the same adapter wherever and whenever it
// is made: what scenarios on two hosts compare.
TEST(Cvsim, InitFrozenMakesTheSameAdapterEveryTime) {
  cvtest::TempMachine machine;
  Cvsim({"init", "--frozen"});
  std::string status = Cvsim({"peek", "500", "191"});
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(Cvsim({"peek", "500", "191"}), status);
  Cvsim({"init", "--frozen"});
  EXPECT_EQ(Cvsim({"peek", "500", "191"}), status);
  Cvsim({"thaw"});
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_NE(Cvsim({"peek", "500", "191"}), status);
}

TEST(Cvsim, LogShowsEachRequestOnALine) {
  cvtest::TempMachine machine;
  Cvsim({"init"});
  auto driver = Device(machine.root());
  Cvsim({"log", "--clear"});
  DeviceSend(*driver, kOidPreferredAp, kOpSet, 8, {0x1A, 0, 5, 0, 4, 0, 1, 0});
  uint8_t address[6], in[4];
  Store32(in, kOidCurrentAddress);
  DWORD returned = 0;
  driver->IoControl(0x00170002, in, 4, address, 6, &returned);
  DeviceSend(*driver, kOidAcl, kOpSet, 0);
  DeviceSend(*driver, kOidMemory, kOpQuery, 6, {0x76, 0x01, 0x02, 0x00});
  EXPECT_EQ(Cvsim({"log"}),
            "FF010136 2 20 1A00050004000100\n"
            "01010102 - 6 -\n"
            "FF010150 2 12\n"
            "FF010171 1 18 760102000000\n");
  Cvsim({"log", "--clear"});
  EXPECT_EQ(Cvsim({"log"}), "");
}

TEST(Cvsim, BadCommandLinesChangeNothing) {
  cvtest::TempMachine machine;
  Cvsim({"init"});
  Cvsim({"freeze"});
  Cvsim({"fail-dos-removal", "on"});
  const std::vector<std::vector<std::string>> bad = {
      {},
      {"frobnicate"},
      {"--root"},
      {"init", "--station", "--cellap"},
      {"init", "--instance"},
      {"init", "--instance", "cv/lan"},
      {"init", "--driver-version", "2"},
      {"init", "--driver-version", "2.1"},
      {"init", "--driver-version", "x.10"},
      {"init", "--bogus"},
      {"peek", "500"},
      {"peek", "500", "0"},
      {"peek", "FFFF", "2"},
      {"peek", "10000", "1"},
      {"peek", "G00", "1"},
      {"peek", "500", "1A"},
      {"peek", "500", "-1"},
      {"poke", "500"},
      {"poke", "500", "100"},
      {"poke", "FFFF", "1", "2"},
      {"poke", "500", "zz"},
      {"set", "netid"},
      {"set", "netid", "10000"},
      {"set", "irq", "A"},
      {"set", "irq", "4294967296"},
      {"set", "address", "020E5A01020"},
      {"set", "address", "020E5A0102033"},
      {"set", "ap-address", "020E5A01020G"},
      {"set", "firmware-version", "V1.2"},
      {"set", "firmware-date", "1234567"},
      {"set", "driver-version", "2.100000"},
      {"set", "mode", "adhoc"},
      {"set", "colour", "blue"},
      {"set", "netid", "12", "34"},
      {"acl", "add"},
      {"acl", "add", "nothex000000"},
      {"acl", "remove", "020E5A010203"},
      {"acl", "clear", "now"},
      {"fail", "FF020192"},
      {"fail", "FF020192", "x"},
      {"fail", "1FF020192", "2"},
      {"fail", "--clear", "2"},
      {"fail-dos-removal"},
      {"fail-dos-removal", "maybe"},
      {"freeze", "now"},
      {"thaw", "1"},
      {"advance"},
      {"advance", "1.5"},
      {"advance", "-100"},
      {"log", "--all"},
  };
  std::string state = machine.ReadFile("devices/cvlan1");
  std::string registry = machine.ReadFile("registry.reg");
  for (const std::vector<std::string> &args : bad) {
    cvtest::ProgramResult r = cvtest::RunProgram("cvsim", args);
    EXPECT_EQ(r.status, 2) << testing::PrintToString(args);
    EXPECT_EQ(r.err.rfind("usage: cvsim [--root DIR] ", 0), 0u) << testing::PrintToString(args) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << "one usage line";
    EXPECT_EQ(r.out, "");
  }
  EXPECT_EQ(machine.ReadFile("devices/cvlan1"), state);
  EXPECT_EQ(machine.ReadFile("registry.reg"), registry);
  EXPECT_TRUE(std::filesystem::exists(machine.path("dosdevices/.fail-removal")));
}

} // namespace
