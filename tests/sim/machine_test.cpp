// The POSIX glue: the machine's files, and the driver that winapi opens.
#include "machine_helpers.h"

#include <cvsim/adapter_store.h>
#include <temp_machine.h>
#include <winapi/sysroot.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

using namespace cvsim;
using simtest::Device;
using simtest::DeviceSend;

namespace {

bool BuildLocked(const std::string &root, const MachineOptions &options) {
  winapi::MachineLock lock(root);
  return BuildMachine(root, options);
}

TEST(Machine, DefaultMachineHasTheInstanceKeyAndALiveDevice) {
  cvtest::TempMachine machine;
  CreateDefaultMachine(machine.root());
  std::string reg = machine.ReadFile("registry.reg");
  EXPECT_EQ(reg.rfind("Windows Registry Editor Version 5.00\n", 0), 0u);
  const char *parameters =
      "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\cvlan1\\Parameters]\n"
      "\"CardType\"=dword:00000000\n"
      "\"Diversity\"=dword:00000000\n"
      "\"InterruptNumber\"=dword:00000005\n"
      "\"IoBaseAddress\"=dword:00000340\n"
      "\"CellAP\"=dword:00000000\n"
      "\"CellAP_BDelay\"=dword:0000000a\n"
      "\"CellAP_Hop_Seq\"=dword:000000ff\n"
      "\"CellAP_Id\"=dword:000000ff\n"
      "\"PCCARDAttributeMemoryAddress\"=dword:000d0000\n"
      "\"Net_Id\"=dword:00000101\n";
  EXPECT_NE(reg.find(parameters), std::string::npos) << reg;
  EXPECT_NE(reg.find("[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Tcpip]"), std::string::npos);
  EXPECT_TRUE(std::filesystem::is_empty(machine.path("dosdevices"))) << "no DOS device name is defined";
  EXPECT_EQ(ListDevices(machine.root()), std::vector<std::string>{"cvlan1"});

  auto driver = Device(machine.root());
  ASSERT_TRUE(driver);
  simtest::DeviceExchange e = DeviceSend(*driver, kOidConfig, kOpQuery, 60);
  ASSERT_EQ(e.error, ERROR_SUCCESS);
  EXPECT_EQ(e.bytesReturned, 72u);
  EXPECT_EQ(e.word(0), 2);
  EXPECT_EQ(e.word(46), 0x101);
  e = DeviceSend(*driver, kOidStatusBlock, kOpQuery, 191);
  EXPECT_TRUE(e.data()[kSbAssocStatus] & 0x80);
}

TEST(Machine, OptionsShapeTheMachine) {
  cvtest::TempMachine machine;
  MachineOptions options;
  options.instance = "CVLAN2";
  options.cellAp = true;
  ASSERT_TRUE(BuildLocked(machine.root(), options));
  std::string reg = machine.ReadFile("registry.reg");
  EXPECT_NE(reg.find("Services\\CVLAN2\\Parameters]"), std::string::npos);
  EXPECT_NE(reg.find("\"CellAP\"=dword:00000001"), std::string::npos);
  EXPECT_EQ(reg.find("Services\\cvlan1"), std::string::npos);
  auto driver = Device(machine.root(), "\\Device\\cvlan2"); // names compare without regard to case
  ASSERT_TRUE(driver);
  EXPECT_EQ(DeviceSend(*driver, kOidMemory, kOpQuery, 5, {0x86, 0x03, 1, 0}).data()[4], kModeCellAp);

  machine.WriteFile("dosdevices/cvlan2", "\\Device\\CVLAN2");
  machine.WriteFile("dosdevices/.fail-removal", "");
  options = MachineOptions{};
  options.instanceKey = false;
  options.device = false;
  ASSERT_TRUE(BuildLocked(machine.root(), options));
  EXPECT_TRUE(std::filesystem::is_empty(machine.path("dosdevices"))) << "a new machine starts without names";
  EXPECT_EQ(machine.ReadFile("registry.reg").find("Services\\cvlan1"), std::string::npos);
  EXPECT_FALSE(Device(machine.root()));
  EXPECT_FALSE(Device(machine.root(), "\\Device\\CVLAN2"));
}

TEST(Machine, OnlyKernelDeviceNamesOfExistingDevicesOpen) {
  cvtest::TempMachine machine;
  CreateDefaultMachine(machine.root());
  machine.WriteFile("devices/cvlan3.tmp.4242", "left behind by a killed process");
  EXPECT_TRUE(Device(machine.root(), "\\DEVICE\\CVLAN1"));
  EXPECT_FALSE(Device(machine.root(), "cvlan1"));
  EXPECT_FALSE(Device(machine.root(), "\\Device\\"));
  EXPECT_FALSE(Device(machine.root(), "\\Device\\cvlan3.tmp.4242"));
  EXPECT_FALSE(Device(machine.root(), "\\Device\\..\\registry.reg"));
}

TEST(Machine, DriverChecksTheControlCodeAndBuffers) {
  cvtest::TempMachine machine;
  CreateDefaultMachine(machine.root());
  auto driver = Device(machine.root());
  uint8_t in[4] = {0x33, 0x01, 0x01, 0xFF};
  uint8_t block[72] = {72, 0, 0, 0, 1, 0};
  DWORD returned = 77;
  EXPECT_EQ(driver->IoControl(0x00170006, in, 4, block, 72, &returned), static_cast<DWORD>(ERROR_INVALID_FUNCTION));
  EXPECT_EQ(driver->IoControl(0x00170002, nullptr, 0, block, 72, &returned),
            static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(driver->IoControl(0x00170002, in, 2, block, 72, &returned), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(driver->IoControl(0x00170002, in, 4, nullptr, 72, &returned), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(returned, 77u);

  simtest::DeviceExchange e = DeviceSend(*driver, 0xFF01AAAA, kOpQuery, 4);
  EXPECT_EQ(e.error, static_cast<DWORD>(ERROR_NOT_SUPPORTED));
  EXPECT_EQ(e.status(), kStatusNotSupported);
  EXPECT_EQ(e.bytesReturned, 0xFFFFFFFFu) << "bytes returned is not written on failure";
  e = DeviceSend(*driver, kOidConfig, kOpQuery, 10);
  EXPECT_EQ(e.error, static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(e.status(), kStatusBadLength);
}

TEST(Machine, StateLivesInTheMachineNotTheDriver) {
  cvtest::TempMachine machine;
  CreateDefaultMachine(machine.root());
  auto first = Device(machine.root());
  auto second = Device(machine.root());
  ASSERT_EQ(DeviceSend(*first, kOidNetId, kOpSet, 2, {0x34, 0x12}).error, ERROR_SUCCESS);
  EXPECT_EQ(DeviceSend(*second, kOidConfig, kOpQuery, 60).word(46), 0x1234);

  // A device removed while a handle is open, and a state file that is not one.
  std::filesystem::remove(machine.path("devices/cvlan1"));
  EXPECT_EQ(DeviceSend(*first, kOidConfig, kOpQuery, 60).error, static_cast<DWORD>(ERROR_DEV_NOT_EXIST));
  machine.WriteFile("devices/cvlan1", "not an adapter");
  simtest::DeviceExchange e = DeviceSend(*first, kOidConfig, kOpQuery, 60);
  EXPECT_EQ(e.error, static_cast<DWORD>(ERROR_GEN_FAILURE));
  EXPECT_EQ(e.status(), kStatusFailure);
  EXPECT_EQ(machine.ReadFile("devices/cvlan1"), "not an adapter") << "a damaged state is left for a person to see";
}

TEST(Machine, SimulatedTimeFollowsTheHostClock) {
  cvtest::TempMachine machine;
  CreateDefaultMachine(machine.root());
  auto driver = Device(machine.root());
  uint16_t before = DeviceSend(*driver, kOidStatusBlock, kOpQuery, 191).word(kSbRxHost);
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  uint16_t after = DeviceSend(*driver, kOidStatusBlock, kOpQuery, 191).word(kSbRxHost);
  EXPECT_NE(before, after);
}

} // namespace
