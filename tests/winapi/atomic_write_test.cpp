#include <winapi/sysroot.h>

#include <temp_machine.h>

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

TEST(WriteFileAtomically, ThreadsWritingOnePathEachLeaveAWholeFile) {
  cvtest::TempMachine machine;
  const std::string path = machine.path("shared.txt");
  std::atomic<int> failures{0};
  std::vector<std::thread> writers;
  for (int t = 0; t < 4; ++t)
    writers.emplace_back([&, t] {
      std::string content(64 * 1024, static_cast<char>('a' + t));
      for (int i = 0; i < 20; ++i)
        if (!winapi::WriteFileAtomically(path, content)) ++failures;
    });
  for (std::thread &writer : writers) writer.join();
  EXPECT_EQ(failures.load(), 0);
  std::string content = machine.ReadFile("shared.txt");
  ASSERT_EQ(content.size(), 64u * 1024);
  EXPECT_EQ(content.find_first_not_of(content[0]), std::string::npos);
}

TEST(WriteFileAtomically, RemovesWhatKilledWritersOfThePathLeft) {
  cvtest::TempMachine machine;
  pid_t gone = fork();
  if (gone == 0) _exit(0);
  waitpid(gone, nullptr, 0);
  const std::string left = "state.tmp." + std::to_string(gone) + ".3";
  const std::string running = "state.tmp." + std::to_string(getppid()) + ".0"; // its writer still runs
  const std::string other = "other.tmp." + std::to_string(gone) + ".0";        // another path's
  for (const std::string &name : {left, running, other}) machine.WriteFile(name, "half");
  ASSERT_TRUE(winapi::WriteFileAtomically(machine.path("state"), "whole"));
  EXPECT_EQ(machine.ReadFile("state"), "whole");
  EXPECT_FALSE(std::filesystem::exists(machine.path(left)));
  EXPECT_TRUE(std::filesystem::exists(machine.path(running)));
  EXPECT_TRUE(std::filesystem::exists(machine.path(other)));
}
