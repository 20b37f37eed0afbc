#include <winapi/sysroot.h>

#include <temp_machine.h>

#include <gtest/gtest.h>

#include <atomic>
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
  for (std::thread& writer : writers) writer.join();
  EXPECT_EQ(failures.load(), 0);
  std::string content = machine.ReadFile("shared.txt");
  ASSERT_EQ(content.size(), 64u * 1024);
  EXPECT_EQ(content.find_first_not_of(content[0]), std::string::npos);
}
