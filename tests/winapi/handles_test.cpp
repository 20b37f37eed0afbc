#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

TEST(Handles, ClosingAHandleThatIsNotOpenFailsWithInvalidHandle) {
  SetLastError(0);
  EXPECT_FALSE(CloseHandle(reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(0x7ffc))));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE));
}

TEST(Handles, LastErrorIsPerThread) {
  SetLastError(ERROR_MORE_DATA);
  DWORD seen = 1;
  std::thread([&] { seen = GetLastError(); }).join();
  EXPECT_EQ(seen, 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MORE_DATA));
}
