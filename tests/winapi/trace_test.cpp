// The trace of failing calls: one line each on standard error while
// CVLAN_DEBUG_OUTPUT is set, naming the call, its error and the cause; nothing
// when the variable is unset or "0", and nothing for calls that succeed.
#include <windows.h>
#include <winapi/device_driver.h>

#include <temp_machine.h>

#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>

namespace {

// What the call writes on standard error.
std::string StandardErrorOf(const std::function<void()> &call) {
  std::fflush(stderr);
  FILE *capture = std::tmpfile();
  int saved = dup(2);
  dup2(fileno(capture), 2);
  call();
  std::fflush(stderr);
  dup2(saved, 2);
  close(saved);
  std::string text;
  std::rewind(capture);
  for (int c; (c = std::fgetc(capture)) != EOF;) text += static_cast<char>(c);
  std::fclose(capture);
  return text;
}

class RefusingDriver : public winapi::DeviceDriver {
 public:
  DWORD IoControl(DWORD, const void *, DWORD, void *, DWORD, DWORD *) override { return ERROR_GEN_FAILURE; }
};

class Trace : public ::testing::Test {
 protected:
  void SetUp() override {
    machine_.WriteFile("registry.reg", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\SYSTEM\\Services\\cvlan1]\n\"Start\"=dword:2\n");
    setenv("CVLAN_DEBUG_OUTPUT", "1", 1);
  }
  void TearDown() override { unsetenv("CVLAN_DEBUG_OUTPUT"); }
  cvtest::TempMachine machine_;
};

TEST_F(Trace, RegistryFailuresNameTheKeyAndWhatIsMissing) {
  HKEY key = nullptr;
  EXPECT_EQ(StandardErrorOf([&] { RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\Services\\cvlan2", 0, KEY_READ, &key); }),
            "RegOpenKeyExA(HKEY_LOCAL_MACHINE, \"SYSTEM\\Services\\cvlan2\") failed: 2 (ERROR_FILE_NOT_FOUND): "
            "no such key: HKEY_LOCAL_MACHINE\\SYSTEM\\Services has no subkey \"cvlan2\"\n");
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "system\\services\\CVLAN1", 0, KEY_READ, &key), ERROR_SUCCESS);
  EXPECT_EQ(StandardErrorOf([&] { RegQueryValueExA(key, "Type", nullptr, nullptr, nullptr, nullptr); }),
            "RegQueryValueExA(HKEY_LOCAL_MACHINE\\SYSTEM\\Services\\cvlan1, \"Type\") failed: 2 "
            "(ERROR_FILE_NOT_FOUND): no such value\n");
  EXPECT_EQ(StandardErrorOf([&] { RegQueryValueExA(key, "Start", nullptr, nullptr, nullptr, nullptr); }), "");
  RegCloseKey(key);
  EXPECT_EQ(StandardErrorOf([&] { RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &key); }),
            "RegOpenKeyExA(HKEY_CURRENT_USER, \"Software\") failed: 6 (ERROR_INVALID_HANDLE): "
            "only HKEY_LOCAL_MACHINE exists on this machine\n");
}

TEST_F(Trace, DeviceAndModuleFailuresSayWhy) {
  EXPECT_EQ(StandardErrorOf([] { CreateFileA("\\\\.\\cvlan7", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr); }),
            "CreateFileA(\"\\\\.\\cvlan7\") failed: 2 (ERROR_FILE_NOT_FOUND): no DOS device name \"cvlan7\" is "
            "defined\n");
  EXPECT_EQ(StandardErrorOf([] { QueryDosDeviceA("cvlan7", nullptr, 0); }),
            "QueryDosDeviceA(\"cvlan7\", 0) failed: 2 (ERROR_FILE_NOT_FOUND): no such DOS device name is defined\n");
  EXPECT_EQ(StandardErrorOf([] { DefineDosDeviceA(DDD_RAW_TARGET_PATH, "bad\\name", "\\Device\\x"); }),
            "DefineDosDeviceA(0x1, \"bad\\name\", \"\\Device\\x\") failed: 123 (ERROR_INVALID_NAME): not a DOS "
            "device name\n");

  winapi::InstallTestDriver("\\Device\\TraceTest", std::make_shared<RefusingDriver>());
  ASSERT_TRUE(DefineDosDeviceA(DDD_RAW_TARGET_PATH, "TraceTest", "\\Device\\TraceTest"));
  HANDLE device = CreateFileA("\\\\.\\TraceTest", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  DWORD returned = 0;
  std::string refused =
      StandardErrorOf([&] { DeviceIoControl(device, 0x170002, nullptr, 0, nullptr, 0, &returned, nullptr); });
  EXPECT_NE(refused.find("DeviceIoControl("), std::string::npos) << refused;
  EXPECT_NE(refused.find(", 0x00170002, 0 bytes in, 0 bytes out) failed: 31 (ERROR_GEN_FAILURE): the driver refused "
                         "the request\n"),
            std::string::npos)
      << refused;
  CloseHandle(device);
  DefineDosDeviceA(DDD_RAW_TARGET_PATH | DDD_REMOVE_DEFINITION, "TraceTest", nullptr);
  winapi::RemoveTestDriver("\\Device\\TraceTest");

  std::string load = StandardErrorOf([] { LoadLibraryA("no_such_library_here.dll"); });
  EXPECT_EQ(load.rfind("LoadLibraryA(\"no_such_library_here.dll\") failed: 126 (ERROR_MOD_NOT_FOUND): ", 0), 0u)
      << load;
  std::string proc = StandardErrorOf([] { GetProcAddress(GetModuleHandleA(nullptr), "NoSuchExport"); });
  EXPECT_NE(proc.find(", \"NoSuchExport\") failed: 127 (ERROR_PROC_NOT_FOUND): the module exports no such name\n"),
            std::string::npos)
      << proc;
}

TEST_F(Trace, NothingIsWrittenWhenTheVariableIsUnsetOrZero) {
  for (const char *value : {static_cast<const char *>(nullptr), "0"}) {
    if (value) {
      setenv("CVLAN_DEBUG_OUTPUT", value, 1);
    } else {
      unsetenv("CVLAN_DEBUG_OUTPUT");
    }
    HKEY key = nullptr;
    EXPECT_EQ(StandardErrorOf([&] {
                RegOpenKeyExA(HKEY_LOCAL_MACHINE, "NoSuchKey", 0, KEY_READ, &key);
                CreateFileA("\\\\.\\cvlan7", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
                LoadLibraryA("no_such_library_here.dll");
              }),
              "");
  }
}

} // namespace
