#include <windows.h>
#include <winapi/device_driver.h>

#include <temp_machine.h>

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

// The targets of a DOS device name, current first; empty when the query fails.
std::vector<std::string> Targets(const char *name) {
  char buffer[8192];
  std::vector<std::string> targets;
  DWORD stored = QueryDosDeviceA(name, buffer, sizeof buffer);
  if (stored == 0) return targets;
  EXPECT_EQ(buffer[stored - 1], '\0');
  EXPECT_EQ(buffer[stored - 2], '\0');
  for (const char *p = buffer; *p; p += std::strlen(p) + 1) targets.push_back(p);
  return targets;
}

using Strings = std::vector<std::string>;
constexpr DWORD kRemoveExact = DDD_RAW_TARGET_PATH | DDD_REMOVE_DEFINITION | DDD_EXACT_MATCH_ON_REMOVE;

TEST(DosDevices, DefinitionsStackAndRemovalWithoutTargetPopsTheNewest) {
  cvtest::TempMachine machine;
  ASSERT_TRUE(DefineDosDeviceA(DDD_RAW_TARGET_PATH, "cvlan1", "\\Device\\first"));
  ASSERT_TRUE(DefineDosDeviceA(DDD_RAW_TARGET_PATH, "cvlan1", "\\Device\\second"));
  EXPECT_EQ(Targets("cvlan1"), (Strings{"\\Device\\second", "\\Device\\first"}));

  ASSERT_TRUE(DefineDosDeviceA(DDD_RAW_TARGET_PATH | DDD_REMOVE_DEFINITION, "cvlan1", nullptr));
  EXPECT_EQ(Targets("cvlan1"), Strings{"\\Device\\first"});
  ASSERT_TRUE(DefineDosDeviceA(DDD_REMOVE_DEFINITION, "cvlan1", ""));
  SetLastError(0);
  EXPECT_EQ(QueryDosDeviceA("cvlan1", nullptr, 0), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(DefineDosDeviceA(DDD_REMOVE_DEFINITION, "cvlan1", nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST(DosDevices, ExactMatchRemovesOnlyTheEqualTargetAndRefusesAnyOther) {
  cvtest::TempMachine machine;
  ASSERT_TRUE(DefineDosDeviceA(DDD_RAW_TARGET_PATH, "cvlan1", "\\Device\\cvlan1"));
  ASSERT_TRUE(DefineDosDeviceA(DDD_RAW_TARGET_PATH, "cvlan1", "\\Device\\other"));

  SetLastError(0);
  EXPECT_FALSE(DefineDosDeviceA(kRemoveExact, "cvlan1", "\\Device\\cvlan"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(Targets("cvlan1").size(), 2u);

  // The older definition goes; the newer one stays current.
  ASSERT_TRUE(DefineDosDeviceA(kRemoveExact, "CVLAN1", "\\device\\CVLAN1"));
  EXPECT_EQ(Targets("cvlan1"), Strings{"\\Device\\other"});
}

TEST(DosDevices, RemovalWithoutExactMatchTakesTheNewestTargetWithThePrefix) {
  cvtest::TempMachine machine;
  ASSERT_TRUE(DefineDosDeviceA(DDD_RAW_TARGET_PATH, "x", "\\Device\\cvlan1"));
  ASSERT_TRUE(DefineDosDeviceA(DDD_RAW_TARGET_PATH, "x", "\\Device\\cvlan12"));
  ASSERT_TRUE(DefineDosDeviceA(DDD_RAW_TARGET_PATH, "x", "\\Device\\other"));

  ASSERT_TRUE(DefineDosDeviceA(DDD_RAW_TARGET_PATH | DDD_REMOVE_DEFINITION, "x", "\\Device\\cvlan1"));
  EXPECT_EQ(Targets("x"), (Strings{"\\Device\\other", "\\Device\\cvlan1"}));
  EXPECT_FALSE(DefineDosDeviceA(DDD_RAW_TARGET_PATH | DDD_REMOVE_DEFINITION, "x", "\\Device\\none"));
  EXPECT_EQ(Targets("x").size(), 2u);
}

TEST(DosDevices, NamesCompareWithoutCaseAndKeepTheirFirstSpelling) {
  cvtest::TempMachine machine;
  ASSERT_TRUE(DefineDosDeviceA(DDD_RAW_TARGET_PATH, "CvLan2", "\\Device\\CvLan2"));
  ASSERT_TRUE(DefineDosDeviceA(DDD_RAW_TARGET_PATH, "CVLAN2", "\\Device\\again"));
  EXPECT_EQ(Targets("cvlan2"), (Strings{"\\Device\\again", "\\Device\\CvLan2"}));
  ASSERT_TRUE(DefineDosDeviceA(DDD_RAW_TARGET_PATH, "a.b/c", "\\Device\\odd"));

  char names[256];
  DWORD stored = QueryDosDeviceA(nullptr, names, sizeof names);
  ASSERT_GT(stored, 0u);
  std::set<std::string> listed;
  for (const char *p = names; *p; p += std::strlen(p) + 1) listed.insert(p);
  EXPECT_EQ(listed, (std::set<std::string>{"CvLan2", "a.b/c"}));
}

TEST(DosDevices, TargetsWithoutRawFlagAreDosPaths) {
  cvtest::TempMachine machine;
  ASSERT_TRUE(DefineDosDeviceA(0, "Q:", "C:\\temp"));
  EXPECT_EQ(Targets("q:"), Strings{"\\??\\C:\\temp"});
  ASSERT_TRUE(DefineDosDeviceA(DDD_REMOVE_DEFINITION | DDD_EXACT_MATCH_ON_REMOVE, "Q:", "C:\\temp"));
  EXPECT_TRUE(Targets("q:").empty());
}

TEST(DosDevices, FailureFlagMakesEveryRemovalFailWithAccessDenied) {
  cvtest::TempMachine machine;
  ASSERT_TRUE(DefineDosDeviceA(DDD_RAW_TARGET_PATH, "cvlan1", "\\Device\\cvlan1"));
  machine.WriteFile("dosdevices/.fail-removal", "");
  EXPECT_EQ(winapi::DosDeviceRemovalFailureFlag(machine.root()), machine.path("dosdevices/.fail-removal"));

  SetLastError(0);
  EXPECT_FALSE(DefineDosDeviceA(kRemoveExact, "cvlan1", "\\Device\\cvlan1"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_FALSE(DefineDosDeviceA(DDD_REMOVE_DEFINITION, "cvlan1", nullptr));
  EXPECT_TRUE(DefineDosDeviceA(DDD_RAW_TARGET_PATH, "cvlan1", "\\Device\\more")); // defining still works
  EXPECT_EQ(Targets("cvlan1").size(), 2u);

  std::remove(machine.path("dosdevices/.fail-removal").c_str());
  EXPECT_TRUE(DefineDosDeviceA(kRemoveExact, "cvlan1", "\\Device\\cvlan1"));
}

TEST(DosDevices, QueryWithAShortBufferFailsAndWritesNothing) {
  cvtest::TempMachine machine;
  ASSERT_TRUE(DefineDosDeviceA(DDD_RAW_TARGET_PATH, "cvlan1", "\\Device\\cvlan1")); // 14 characters
  char buffer[32];
  std::memset(buffer, 'z', sizeof buffer);
  SetLastError(0);
  EXPECT_EQ(QueryDosDeviceA("cvlan1", buffer, 15), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(buffer[0], 'z');
  EXPECT_EQ(QueryDosDeviceA("cvlan1", buffer, 16), 16u); // the target, its NUL, the closing NUL
  EXPECT_STREQ(buffer, "\\Device\\cvlan1");
  EXPECT_EQ(buffer[15], '\0');
}

TEST(DosDevices, BadArgumentsFailWithoutTouchingTheMachine) {
  cvtest::TempMachine machine;
  SetLastError(0);
  EXPECT_FALSE(DefineDosDeviceA(DDD_RAW_TARGET_PATH, "cvlan1", nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_FALSE(DefineDosDeviceA(DDD_RAW_TARGET_PATH, "", "\\Device\\x"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_FALSE(DefineDosDeviceA(0x100, "cvlan1", "\\Device\\x"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_FALSE(DefineDosDeviceA(DDD_RAW_TARGET_PATH, "cvlan1", "\\Device\\x\n\\Device\\y"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_FALSE(DefineDosDeviceA(DDD_RAW_TARGET_PATH, "a\\b", "\\Device\\x"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME));
  EXPECT_TRUE(Targets("cvlan1").empty());
}

TEST(DosDevices, HandEditedOrForeignFilesAreNoDefinitions) {
  cvtest::TempMachine machine;
  machine.WriteFile("dosdevices/CVLAN1", "cvlan1\n");                   // no target
  machine.WriteFile("dosdevices/CVLAN2", "cvlan3\n\\Device\\cvlan3\n"); // names another file
  machine.WriteFile("dosdevices/CVLAN4", "cvlan4\n\\Device\\cvl");      // torn
  EXPECT_TRUE(Targets("cvlan1").empty());
  EXPECT_TRUE(Targets("cvlan2").empty());
  EXPECT_TRUE(Targets("cvlan4").empty());
  ASSERT_TRUE(DefineDosDeviceA(DDD_RAW_TARGET_PATH, "cvlan4", "\\Device\\cvlan4"));
  EXPECT_EQ(Targets("cvlan4"), Strings{"\\Device\\cvlan4"});
}

TEST(DosDevices, ConcurrentDefinitionsAndRemovalsLoseNothing) {
  cvtest::TempMachine machine;
  constexpr int kProcesses = 4, kThreads = 4, kEach = 20;
  auto target = [](int who, int i) { return "\\Device\\t" + std::to_string(who) + "_" + std::to_string(i); };

  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      bool ok = true;
      for (int i = 0; i < kEach; ++i) ok &= DefineDosDeviceA(DDD_RAW_TARGET_PATH, "shared", target(p, i).c_str()) != 0;
      _exit(ok ? 0 : 1);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  Strings all = Targets("shared");
  EXPECT_EQ(all.size(), static_cast<size_t>(kProcesses * kEach));
  EXPECT_EQ(std::set<std::string>(all.begin(), all.end()).size(), all.size());

  // Threads remove every definition but one per process, each by its exact target.
  std::vector<std::thread> threads;
  std::atomic<int> failures{0};
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      for (int i = 1; i < kEach; ++i)
        if (!DefineDosDeviceA(kRemoveExact, "shared", target(t, i).c_str())) ++failures;
    });
  for (std::thread &thread : threads) thread.join();
  EXPECT_EQ(failures.load(), 0);
  Strings left = Targets("shared");
  EXPECT_EQ(std::set<std::string>(left.begin(), left.end()),
            (std::set<std::string>{target(0, 0), target(1, 0), target(2, 0), target(3, 0)}));
}

} // namespace
