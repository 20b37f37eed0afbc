#include <windows.h>

#include <gtest/gtest.h>

#include "run_program.h"

#include <cstdlib>
#include <string>

namespace {

// The built setup library, in the Windows form of its name.
std::string SetupLibraryPath() {
  char full[MAX_PATH];
  GetFullPathNameA(cvtest::BinPath("cvsetup.dll").c_str(), sizeof(full), full, nullptr);
  return full;
}

TEST(Modules, AWindowsLibraryNameLoadsItsSharedObject) {
  std::string path = SetupLibraryPath();
  EXPECT_EQ(GetModuleHandleA("cvsetup.dll"), nullptr);
  HMODULE module = LoadLibraryA(path.c_str());
  ASSERT_NE(module, nullptr) << path;
  EXPECT_NE(GetProcAddress(module, "DoDialog"), nullptr);
  EXPECT_EQ(GetProcAddress(module, "PageHeapCreate"), nullptr); // the one export is DoDialog
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
  // Found by its bare name in any case, by the path it was loaded from, and not
  // by another path.
  EXPECT_EQ(GetModuleHandleA("CVSETUP.DLL"), module);
  EXPECT_EQ(GetModuleHandleA("cvsetup"), module);
  EXPECT_EQ(GetModuleHandleA(path.c_str()), module);
  EXPECT_EQ(GetModuleHandleA("a:\\winnt35\\i386\\cvsetup.dll"), nullptr);
  EXPECT_EQ(GetModuleHandleA("Z:\\tmp\\cvsetup.dll"), nullptr);
  char name[MAX_PATH];
  EXPECT_GT(GetModuleFileNameA(module, name, sizeof(name)), 0u);
  EXPECT_NE(std::string(name).find("libcvsetup.so"), std::string::npos);
  // A second load is the same module; freeing it drops that reference only (the
  // library stays loaded for the rest of the process, as its statics must).
  EXPECT_EQ(LoadLibraryA(path.c_str()), module);
  EXPECT_TRUE(FreeLibrary(module));
  EXPECT_EQ(GetModuleHandleA("cvsetup.dll"), module);
}

TEST(Modules, TheProgramItselfAndMissingLibraries) {
  HMODULE program = GetModuleHandleA(nullptr);
  EXPECT_NE(program, nullptr);
  HMODULE fromAddress = nullptr;
  EXPECT_TRUE(GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                 reinterpret_cast<LPCSTR>(&SetupLibraryPath), &fromAddress));
  EXPECT_EQ(fromAddress, program);
  SetLastError(0);
  EXPECT_EQ(LoadLibraryA("nosuchlibrary.dll"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  EXPECT_EQ(GetModuleHandleA("nosuchlibrary.dll"), nullptr);
  EXPECT_EQ(GetProcAddress(program, MAKEINTRESOURCEA(1)), nullptr);
}

} // namespace
