// What the setup library's tests share: a fresh page heap for each test (so that
// a test can see every unit come back), a scratch directory, and captured
// message boxes and debug output.
#pragma once

#include <windows.h>
#include <winapi/msgbox_hooks.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "page_heap.h"

namespace setuptest {

struct MessageBoxCall {
  std::string text;
  std::string caption;
  UINT type;
};

class SetupTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The first page of the library heap.
  PAGE_HEADER *FirstPage() const;
  // Units of every page of the library heap not in use, and the number of pages.
  LONG FreeUnitsOfHeap() const;
  int PagesOfHeap() const;

  // A path inside the scratch directory (POSIX form); Write makes the folders.
  std::string Path(const std::string &relative) const { return dir_ + "/" + relative; }
  void Write(const std::string &relative, const std::string &content) const;
  void MakeDirectory(const std::string &relative) const;
  // The Windows form of the scratch directory, as GetFullPathNameA gives it.
  std::string WindowsDir() const;

  std::vector<MessageBoxCall> boxes_;
  std::vector<std::string> debugOutput_;
  int messageBoxAnswer_ = IDOK;

 private:
  std::string dir_;
};

} // namespace setuptest
