#include <winapi/sysroot.h>

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "temp_machine.h"

namespace {

// Processes that start at the same moment on a machine that does not exist yet
// all end up with the one machine, and no half-made copy is left beside it.
TEST(SystemRoot, FirstUseFromManyProcessesLeavesOneWholeMachine) {
  cvtest::TempMachine parent;
  std::string root = parent.path("machine");
  setenv("CVLAN_SYSROOT", root.c_str(), 1);
  std::vector<pid_t> children;
  for (int i = 0; i < 6; ++i) {
    pid_t pid = fork();
    if (pid == 0) _exit(winapi::SystemRoot() == root ? 0 : 1);
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  EXPECT_TRUE(std::filesystem::is_directory(root));
  for (const auto &entry : std::filesystem::directory_iterator(parent.root()))
    EXPECT_EQ(entry.path().filename(), "machine") << "left behind: " << entry.path();
}

TEST(SystemRoot, PathFollowsTheEnvironment) {
  setenv("CVLAN_SYSROOT", "/x/y", 1);
  EXPECT_EQ(winapi::SystemRootPath(), "/x/y");
  unsetenv("CVLAN_SYSROOT");
  setenv("XDG_STATE_HOME", "/state", 1);
  EXPECT_EQ(winapi::SystemRootPath(), "/state/cvlan-nt");
  unsetenv("XDG_STATE_HOME");
}

} // namespace
