#include <windows.h>
#include <winapi/device_driver.h>

#include <temp_machine.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// Answers each request by echoing its input, upper-cased, into the output, and
// records what it was asked; fails with `failWith` after writing, when set.
class EchoDriver : public winapi::DeviceDriver {
 public:
  DWORD IoControl(DWORD code, const void *in, DWORD inSize, void *out, DWORD outSize, DWORD *bytesReturned) override {
    lastCode = code;
    lastInput.assign(static_cast<const char *>(in), inSize);
    DWORD n = inSize < outSize ? inSize : outSize;
    for (DWORD i = 0; i < n; ++i) static_cast<char *>(out)[i] = static_cast<char>(std::toupper(lastInput[i]));
    *bytesReturned = n;
    return failWith;
  }
  DWORD lastCode = 0;
  std::string lastInput;
  DWORD failWith = ERROR_SUCCESS;
};

class DeviceIo : public ::testing::Test {
 protected:
  void SetUp() override {
    winapi::InstallTestDriver("\\Device\\Echo1", driver_);
    ASSERT_TRUE(DefineDosDeviceA(DDD_RAW_TARGET_PATH, "echo", "\\DEVICE\\echo1"));
  }
  void TearDown() override { winapi::RemoveTestDriver("\\device\\ECHO1"); }
  HANDLE Open(const char *path) {
    return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                       INVALID_HANDLE_VALUE);
  }

  cvtest::TempMachine machine_;
  std::shared_ptr<EchoDriver> driver_ = std::make_shared<EchoDriver>();
};

TEST_F(DeviceIo, OpenIoctlAndCloseReachTheDriverBehindTheDosName) {
  HANDLE device = Open("\\\\.\\ECHO");
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  char in[] = "abc";
  char out[8] = {};
  DWORD returned = 99;
  ASSERT_TRUE(DeviceIoControl(device, 0x00170002, in, 3, out, sizeof out, &returned, nullptr));
  EXPECT_EQ(driver_->lastCode, 0x00170002u);
  EXPECT_EQ(driver_->lastInput, "abc");
  EXPECT_STREQ(out, "ABC");
  EXPECT_EQ(returned, 3u);
  EXPECT_TRUE(CloseHandle(device));
  SetLastError(0);
  EXPECT_FALSE(DeviceIoControl(device, 0x00170002, in, 3, out, sizeof out, &returned, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(DeviceIo, AFailingRequestKeepsTheCountButNotWhatTheDriverWrote) {
  HANDLE device = Open("\\\\.\\echo");
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  driver_->failWith = ERROR_GEN_FAILURE;
  char in[] = "st";
  char out[4] = {};
  DWORD returned = 77;
  SetLastError(0);
  EXPECT_FALSE(DeviceIoControl(device, 1, in, 2, out, sizeof out, &returned, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_GEN_FAILURE));
  EXPECT_EQ(returned, 77u);
  EXPECT_STREQ(out, "ST"); // a driver's status reaches the caller's buffer
  CloseHandle(device);
}

TEST_F(DeviceIo, OverlappedAndMissingBuffersAreRefusedBeforeTheDriver) {
  HANDLE device = Open("\\\\.\\echo");
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  DWORD returned = 5;
  SetLastError(0);
  EXPECT_FALSE(DeviceIoControl(device, 9, nullptr, 4, nullptr, 0, &returned, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  alignas(8) char overlapped[64] = {};
  EXPECT_FALSE(
      DeviceIoControl(device, 9, nullptr, 0, nullptr, 0, &returned, reinterpret_cast<LPOVERLAPPED>(overlapped)));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(driver_->lastCode, 0u);
  EXPECT_EQ(returned, 5u);
  CloseHandle(device);
}

TEST_F(DeviceIo, TheHandleKeepsItsDriverAfterTheNameAndDriverGo) {
  HANDLE device = Open("\\\\.\\echo");
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(DefineDosDeviceA(DDD_REMOVE_DEFINITION, "echo", nullptr));
  winapi::RemoveTestDriver("\\Device\\Echo1");
  char in[] = "x";
  char out[1];
  DWORD returned = 0;
  EXPECT_TRUE(DeviceIoControl(device, 2, in, 1, out, 1, &returned, nullptr));
  EXPECT_EQ(out[0], 'X');
  EXPECT_TRUE(CloseHandle(device));
}

TEST_F(DeviceIo, NamesWithoutADeviceDoNotOpen) {
  ASSERT_TRUE(DefineDosDeviceA(DDD_RAW_TARGET_PATH, "nodriver", "\\Device\\nodriver"));
  ASSERT_TRUE(DefineDosDeviceA(0, "dospath", "C:\\echo1"));
  for (const char *path : {"\\\\.\\missing", "\\\\.\\nodriver", "\\\\.\\dospath", "\\\\.\\"}) {
    SetLastError(0);
    EXPECT_EQ(Open(path), INVALID_HANDLE_VALUE) << path;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND)) << path;
  }
}

} // namespace
