#include <windows.h>
#include <winapi/msgbox_hooks.h>

#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

std::string FullPath(const char *name, const char **filePart = nullptr) {
  char buffer[MAX_PATH];
  LPSTR part = nullptr;
  DWORD length = GetFullPathNameA(name, sizeof(buffer), buffer, &part);
  EXPECT_EQ(length, std::strlen(buffer));
  if (filePart) *filePart = part;
  return buffer;
}

TEST(FullPath, PosixPathsAreOnDriveZ) {
  EXPECT_EQ(FullPath("/a/b"), "Z:\\a\\b");
  EXPECT_EQ(FullPath("z:\\a\\b"), "z:\\a\\b"); // the case given is kept
  EXPECT_EQ(FullPath("Z:/a/b/"), "Z:\\a\\b\\");
  EXPECT_EQ(FullPath("\\x\\y"), "Z:\\x\\y");
  EXPECT_EQ(FullPath("c:x"), "c:\\x");
}

TEST(FullPath, FoldsDotsAndSeparatorsLexically) {
  EXPECT_EQ(FullPath("Z:\\a\\.\\b\\..\\c"), "Z:\\a\\c");
  EXPECT_EQ(FullPath("Z:\\a\\\\b"), "Z:\\a\\b");
  EXPECT_EQ(FullPath("Z:\\..\\..\\x"), "Z:\\x");
  EXPECT_EQ(FullPath("Z:\\a\\b."), "Z:\\a\\b");
  EXPECT_EQ(FullPath("Z:\\a\\b. ."), "Z:\\a\\b");
  EXPECT_EQ(FullPath("Z:\\a\\..."), "Z:\\a\\");
  EXPECT_EQ(FullPath("Z:\\a\\."), "Z:\\a");
  EXPECT_EQ(FullPath("Z:\\a\\.."), "Z:\\");
  EXPECT_EQ(FullPath("\\\\srv\\share\\a\\..\\b"), "\\\\srv\\share\\b");
}

TEST(FullPath, RelativeNamesStartAtTheCurrentDirectory) {
  char cwd[PATH_MAX];
  ASSERT_NE(getcwd(cwd, sizeof(cwd)), nullptr);
  std::string here = FullPath(cwd);
  EXPECT_EQ(FullPath("rel\\f"), here + "\\rel\\f");
  EXPECT_EQ(FullPath("Z:"), here);
  const char *part = nullptr;
  FullPath("Z:\\dir\\file.txt", &part);
  EXPECT_STREQ(part, "file.txt");
  FullPath("Z:\\dir\\", &part);
  EXPECT_EQ(part, nullptr);
}

TEST(FullPath, ATooSmallBufferGetsTheSizeNeeded) {
  char small[10];
  EXPECT_EQ(GetFullPathNameA("Z:\\abcdefghijk", sizeof(small), small, nullptr), 15u);
  EXPECT_EQ(GetFullPathNameA("", sizeof(small), small, nullptr), 0u);
}

class Files : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/winapi-files-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    std::error_code error;
    std::filesystem::remove_all(dir_, error);
  }
  std::string Path(const std::string &relative) const { return dir_ + "/" + relative; }
  std::string Windows(const std::string &relative) const { return FullPath(Path(relative).c_str()); }
  void Write(const std::string &relative, const std::string &content) const {
    std::filesystem::create_directories(std::filesystem::path(Path(relative)).parent_path());
    std::ofstream(Path(relative), std::ios::binary) << content;
  }
  std::string dir_;
};

TEST_F(Files, OpenFileReadsSeeksAndClosesWhateverTheCase) {
  Write("Setup/OemSetup.INF", "0123456789");
  OFSTRUCT of{};
  std::string asked = Windows("SETUP\\oemsetup.inf");
  HFILE file = OpenFile(asked.c_str(), &of, OF_READ | OF_SHARE_DENY_NONE);
  ASSERT_NE(file, HFILE_ERROR);
  EXPECT_EQ(of.cBytes, sizeof(OFSTRUCT));
  EXPECT_EQ(std::string(of.szPathName), asked);
  EXPECT_EQ(GetFileSize(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(file)), nullptr), 10u);
  char buffer[8] = {};
  EXPECT_EQ(_lread(file, buffer, 4), 4u);
  EXPECT_STREQ(buffer, "0123");
  EXPECT_EQ(_llseek(file, 8, FILE_BEGIN), 8);
  EXPECT_EQ(_lread(file, buffer, 8), 2u); // the rest
  EXPECT_EQ(_llseek(file, -3, FILE_END), 7);
  EXPECT_EQ(_llseek(file, -1, FILE_BEGIN), HFILE_ERROR);
  EXPECT_EQ(_lclose(file), 0);
  EXPECT_EQ(_lclose(file), HFILE_ERROR);
  EXPECT_EQ(_lread(file, buffer, 1), static_cast<UINT>(HFILE_ERROR));
}

TEST_F(Files, OpenFileFailuresSayWhy) {
  OFSTRUCT of{};
  EXPECT_EQ(OpenFile(Path("missing").c_str(), &of, OF_READ), HFILE_ERROR);
  EXPECT_EQ(of.nErrCode, ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(OpenFile(Path("no/dir/f").c_str(), &of, OF_READ), HFILE_ERROR);
  EXPECT_EQ(of.nErrCode, ERROR_FILE_NOT_FOUND); // OpenFile searches: a missing folder is a missing file
  EXPECT_EQ(OpenFile(dir_.c_str(), &of, OF_READ), HFILE_ERROR);
  EXPECT_EQ(of.nErrCode, ERROR_ACCESS_DENIED); // a directory
  std::string longName(140, 'n');
  Write(longName, "x");
  EXPECT_EQ(OpenFile(Path(longName).c_str(), &of, OF_READ), HFILE_ERROR);
  EXPECT_EQ(of.nErrCode, ERROR_INVALID_DATA); // OpenFile's 128-character limit
  EXPECT_EQ(OpenFile("x", nullptr, OF_READ), HFILE_ERROR);
  // CreateFileA has no such limit.
  HANDLE handle =
      CreateFileA(Path(longName).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(handle, INVALID_HANDLE_VALUE);
  CloseHandle(handle);
}

TEST_F(Files, CreateFileOnDiskFollowsItsDispositions) {
  std::string name = Path("new.txt");
  HANDLE missing = CreateFileA(name.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(missing, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  HANDLE created = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(created, INVALID_HANDLE_VALUE);
  CloseHandle(created);
  EXPECT_EQ(CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
  HANDLE again = CreateFileA(Windows("NEW.TXT").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(again, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  CloseHandle(again);
  EXPECT_FALSE(std::filesystem::exists(Path("NEW.TXT"))); // the existing name was found, not a new one made
}

TEST_F(Files, AttributesReadOnlyAndDeletion) {
  Write("f.txt", "abc");
  Write("sub/g.txt", "");
  EXPECT_EQ(GetFileAttributesA(Path("f.txt").c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_EQ(GetFileAttributesA(Windows("SUB").c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_EQ(GetFileAttributesA(Path("none").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(GetFileAttributesA(Path("none/x").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

  ASSERT_TRUE(SetFileAttributesA(Path("F.TXT").c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_TRUE(GetFileAttributesA(Path("f.txt").c_str()) & FILE_ATTRIBUTE_READONLY);
  EXPECT_FALSE(DeleteFileA(Path("f.txt").c_str())); // a read-only file stays
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  ASSERT_TRUE(SetFileAttributesA(Path("f.txt").c_str(), FILE_ATTRIBUTE_NORMAL));
  EXPECT_TRUE(DeleteFileA(Windows("F.txt").c_str()));
  EXPECT_FALSE(std::filesystem::exists(Path("f.txt")));
  EXPECT_FALSE(DeleteFileA(Path("sub").c_str())); // a directory is no file
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(Files, FindListsEveryNameInOrderWithDotEntriesFirst) {
  Write("d/b.txt", "12345");
  Write("d/A.txt", "");
  Write("d/noext", "");
  Write("d/Sub/x", "");
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((Windows("d") + "\\*.*").c_str(), &found);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  std::vector<std::string> names{found.cFileName};
  DWORD sizeOfB = 0, attributesOfSub = 0;
  while (FindNextFileA(search, &found)) {
    names.push_back(found.cFileName);
    if (names.back() == "b.txt") sizeOfB = found.nFileSizeLow;
    if (names.back() == "Sub") attributesOfSub = found.dwFileAttributes;
  }
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
  EXPECT_TRUE(FindClose(search));
  EXPECT_EQ(names, (std::vector<std::string>{".", "..", "A.txt", "b.txt", "noext", "Sub"}));
  EXPECT_EQ(sizeOfB, 5u);
  EXPECT_EQ(attributesOfSub, static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_FALSE(FindClose(search));
}

TEST_F(Files, FindMatchesWildcardsWithoutRegardToCase) {
  Write("d/one.TXT", "");
  Write("d/two.txt", "");
  Write("d/three.doc", "");
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((Path("D") + "/*.txt").c_str(), &found);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  EXPECT_STREQ(found.cFileName, "one.TXT");
  ASSERT_TRUE(FindNextFileA(search, &found));
  EXPECT_STREQ(found.cFileName, "two.txt");
  EXPECT_FALSE(FindNextFileA(search, &found));
  FindClose(search);
  EXPECT_EQ(FindFirstFileA((Path("d") + "/t?o.*").c_str(), &found) != INVALID_HANDLE_VALUE, true);
  EXPECT_EQ(FindFirstFileA((Path("d") + "/*.zip").c_str(), &found), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(FindFirstFileA((Path("none") + "/*.*").c_str(), &found), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST(CharLower, FollowsTheAnsiCodePage) {
  char text[] = "ABC xyz \xC0\xD7\xDE\x8A\x9F";
  EXPECT_EQ(CharLowerBuffA(text, 5), 5u); // only as far as asked
  EXPECT_STREQ(text, "abc xyz \xC0\xD7\xDE\x8A\x9F");
  CharLowerBuffA(text, sizeof(text) - 1);
  EXPECT_STREQ(text, "abc xyz \xE0\xD7\xFE\x9A\xFF");
}

TEST(MessageBox, WithoutATerminalTheDefaultButtonAnswers) {
  EXPECT_EQ(winapi::DefaultMessageBoxAnswer(MB_ABORTRETRYIGNORE | MB_ICONERROR), IDABORT);
  EXPECT_EQ(winapi::DefaultMessageBoxAnswer(MB_YESNO | MB_DEFBUTTON2), IDNO);
  EXPECT_EQ(winapi::DefaultMessageBoxAnswer(MB_OK | MB_DEFBUTTON3), IDOK); // no third button: the first
  EXPECT_EQ(winapi::DefaultMessageBoxAnswer(MB_RETRYCANCEL), IDRETRY);
}

TEST(DebugOutput, GoesToTheListenerWhenThereIsOne) {
  std::vector<std::string> seen;
  winapi::SetDebugOutputListener([&](const char *text) { seen.push_back(text); });
  OutputDebugStringA("GlobalAlloc failed!!\n");
  OutputDebugStringA(nullptr);
  winapi::SetDebugOutputListener(nullptr);
  EXPECT_EQ(seen, std::vector<std::string>{"GlobalAlloc failed!!\n"});
}

} // namespace
