// The errors of the file calls where the Windows test tier found winapi and
// Windows apart (the probes in tests/probes compare the rest).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

TEST(FileErrors, EmptyNamesFailAsOnWindows) {
  char buffer[MAX_PATH];
  SetLastError(12345);
  EXPECT_EQ(GetFullPathNameA("", sizeof buffer, buffer, nullptr), 0u);
  EXPECT_EQ(GetLastError(), 12345u); // no error is set

  WIN32_FIND_DATAA data;
  EXPECT_EQ(FindFirstFileA("", &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST(FileErrors, OpenFileInAMissingFolderIsAFileNotFound) {
  OFSTRUCT of;
  std::string path = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/no-such-folder-cv/x.txt";
  EXPECT_EQ(OpenFile(path.c_str(), &of, OF_READ), HFILE_ERROR);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(of.nErrCode, ERROR_FILE_NOT_FOUND);
  // A file cannot be made there: that is the folder's fault.
  EXPECT_EQ(OpenFile(path.c_str(), &of, OF_CREATE | OF_WRITE), HFILE_ERROR);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

} // namespace
