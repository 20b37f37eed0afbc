#include "setup_fixture.h"

#include <winapi/memory_hooks.h>

#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

namespace setuptest {

void SetupTest::SetUp() {
  char pattern[] = "/tmp/cvsetup-test-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  dir_ = pattern;
  LibraryHeap = PageHeapCreate();
  ASSERT_NE(LibraryHeap, nullptr);
  winapi::SetMessageBoxHandler([this](HWND, const char *text, const char *caption, UINT type) {
    boxes_.push_back({text ? text : "", caption ? caption : "", type});
    return messageBoxAnswer_;
  });
  winapi::SetDebugOutputListener([this](const char *text) { debugOutput_.push_back(text); });
}

void SetupTest::TearDown() {
  winapi::FailNextAllocations(0);
  winapi::FailNextLocks(0);
  winapi::SetMessageBoxHandler(nullptr);
  winapi::SetDebugOutputListener(nullptr);
  std::error_code error;
  std::filesystem::permissions(dir_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, error);
  std::filesystem::remove_all(dir_, error);
}

PAGE_HEADER *SetupTest::FirstPage() const {
  auto *page = static_cast<PAGE_HEADER *>(GlobalLock(LibraryHeap));
  GlobalUnlock(LibraryHeap);
  return page;
}

LONG SetupTest::FreeUnitsOfHeap() const {
  LONG units = 0;
  for (PAGE_HEADER *page = FirstPage(); page; page = page->Next) units += page->FreeUnits;
  return units;
}

int SetupTest::PagesOfHeap() const {
  int pages = 0;
  for (PAGE_HEADER *page = FirstPage(); page; page = page->Next) ++pages;
  return pages;
}

void SetupTest::Write(const std::string &relative, const std::string &content) const {
  std::filesystem::path path(Path(relative));
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << content;
}

void SetupTest::MakeDirectory(const std::string &relative) const {
  std::filesystem::create_directories(Path(relative));
}

std::string SetupTest::WindowsDir() const {
  char full[MAX_PATH];
  GetFullPathNameA(dir_.c_str(), sizeof(full), full, nullptr);
  return full;
}

} // namespace setuptest
