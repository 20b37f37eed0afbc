// cvsetup-host 1 on hostile files and paths: each gets a definite answer and
// the program ends on its own (RunProgram kills it after its timeout).
#include <run_program.h>

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include <gtest/gtest.h>

namespace {

class HostileFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/cvsetup-hostile-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Write(const std::string &name, const std::string &content) {
    std::string path = dir_ + "/" + name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }
  static std::string Mode1(const std::string &path) {
    cvtest::ProgramResult result = cvtest::RunProgram("cvsetup-host", {"1", path}, "", 20);
    EXPECT_EQ(result.status, 0) << path.substr(0, 80) << ": " << result.err;
    return result.out;
  }
  std::string dir_;
};

TEST_F(HostileFiles, BinaryContentIsReadAsLines) {
  std::mt19937 random(8);
  std::string noise;
  for (int i = 0; i < 200000; ++i) {
    char c = static_cast<char>(random());
    noise += (c == '\n') ? '\r' : c; // no line feed: 512-byte pieces
  }
  EXPECT_EQ(Mode1(Write("noise.bin", noise)), "0\n");
  // A piece of a long line starts every 512 bytes, and each is judged as a line.
  EXPECT_EQ(Mode1(Write("piece.bin", noise.substr(0, 1024) + "CVLAN" + noise.substr(0, 100))), "2\n");
}

TEST_F(HostileFiles, ALineEndsAtItsFirstNulByte) {
  EXPECT_EQ(Mode1(Write("nul-first.txt", std::string("x\0CVLAN\n", 8))), "0\n");
  EXPECT_EQ(Mode1(Write("nul-after.txt", std::string("CVLAN\0x\n", 8))), "2\n");
  EXPECT_EQ(Mode1(Write("nul-only.txt", std::string(4096, '\0'))), "0\n");
}

TEST_F(HostileFiles, MegabyteLinesComeInPiecesOf512Bytes) {
  std::string megabyte(1 << 20, 'x');
  EXPECT_EQ(Mode1(Write("mb.txt", megabyte + "\n" + megabyte + "\n")), "0\n");
  EXPECT_EQ(Mode1(Write("mb-then.txt", megabyte + "\ncvlan\n")), "2\n");
  // CVLAN inside a piece, not at its start: no match.
  EXPECT_EQ(Mode1(Write("mb-inside.txt", std::string(700, 'x') + "CVLAN" + megabyte + "\n")), "0\n");
}

TEST_F(HostileFiles, SymbolicLinkLoopsAndDanglingLinksNameNothing) {
  std::string a = dir_ + "/loop-a", b = dir_ + "/loop-b";
  ASSERT_EQ(symlink(b.c_str(), a.c_str()), 0);
  ASSERT_EQ(symlink(a.c_str(), b.c_str()), 0);
  EXPECT_EQ(Mode1(a), "0\n");
  ASSERT_EQ(symlink((dir_ + "/gone").c_str(), (dir_ + "/dangling").c_str()), 0);
  EXPECT_EQ(Mode1(dir_ + "/dangling"), "0\n");
  // A loop inside a scanned directory does not stop the walk to its first file.
  std::filesystem::create_directory(dir_ + "/tree");
  ASSERT_EQ(symlink((dir_ + "/tree").c_str(), (dir_ + "/tree/self").c_str()), 0);
  Write("tree/a.txt", "CVLAN\n");
  EXPECT_EQ(Mode1(dir_ + "/tree"), "2\n");
}

TEST_F(HostileFiles, UnreadableFilesGive0) {
  // A directory where a file is expected cannot be read as one: an empty walk.
  std::filesystem::create_directories(dir_ + "/empty-dir");
  EXPECT_EQ(Mode1(dir_ + "/empty-dir"), "0\n");
  std::string path = Write("locked.txt", "CVLAN\n");
  ASSERT_EQ(chmod(path.c_str(), 0), 0);
  if (geteuid() == 0) GTEST_SKIP() << "running as root: mode 000 does not stop reading";
  EXPECT_EQ(Mode1(path), "0\n");
}

TEST_F(HostileFiles, LongPathsAreRefusedNotShortened) {
  // dir_/x...x with the whole path 259, 260 and 4,000 characters; a file of that
  // name cannot exist beyond 255 characters of one component, so a nested one.
  auto PathOf = [&](size_t total) {
    std::string path = dir_;
    while (path.size() + 1 < total) {
      size_t part = std::min<size_t>(100, total - path.size() - 1);
      path += "/" + std::string(part, 'd');
    }
    return path;
  };
  std::string p259 = PathOf(259), p260 = PathOf(260), p4000 = PathOf(4000);
  ASSERT_EQ(p259.size(), 259u);
  ASSERT_EQ(p260.size(), 260u);
  ASSERT_EQ(p4000.size(), 4000u);
  // A path names a file: its content would match; only its length decides.
  for (const std::string *path : {&p259, &p260}) {
    std::filesystem::create_directories(std::filesystem::path(*path).parent_path());
    std::ofstream(*path) << "CVLAN\n";
  }
  // 259 characters fit the path but not the scan's 256-character full form.
  EXPECT_EQ(Mode1(p259), "0\n");
  EXPECT_EQ(Mode1(p260), "0\n");
  EXPECT_EQ(Mode1(p4000), "0\n");
  std::string shortPath = Write("ok.txt", "CVLAN\n");
  EXPECT_EQ(Mode1(shortPath), "2\n");
}

TEST_F(HostileFiles, AFifoWithoutAWriterIsAnEmptyFile) {
  std::string path = dir_ + "/fifo";
  ASSERT_EQ(mkfifo(path.c_str(), 0644), 0);
  EXPECT_EQ(Mode1(path), "0\n");
}

// Devices and pipes may never end: only files on disk are read, and anything
// else is answered at once.
TEST_F(HostileFiles, DevicesAndFedPipesAreNotReadAndAnswer0AtOnce) {
  std::string fifo = dir_ + "/fed";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
  pid_t writer = fork();
  ASSERT_GE(writer, 0);
  if (writer == 0) {
    // Waits for each reader, then feeds it lines for as long as it reads.
    signal(SIGPIPE, SIG_IGN);
    static const char line[] = "no driver named here\n";
    for (;;) {
      int fd = open(fifo.c_str(), O_WRONLY);
      if (fd < 0) _exit(1);
      while (write(fd, line, sizeof(line) - 1) > 0) {}
      close(fd);
    }
  }
  auto startedAt = std::chrono::steady_clock::now();
  for (const std::string &path : {std::string("/dev/zero"), std::string("/dev/null"), fifo}) {
    cvtest::ProgramResult result = cvtest::RunProgram("cvsetup-host", {"1", path}, "", 10);
    EXPECT_EQ(result.status, 0) << path;
    EXPECT_EQ(result.out, "0\n") << path;
  }
  EXPECT_LT(std::chrono::steady_clock::now() - startedAt, std::chrono::seconds(8));
  kill(writer, SIGKILL);
  waitpid(writer, nullptr, 0);
}

TEST_F(HostileFiles, AFileRemovedOrTruncatedAfterTheScanGivesAnAnswer) {
  // The scan names the file first and opens it later; a file that changes between
  // the two is read as it is when opened. Removal and truncation races run many
  // times, and every answer must be one of the two possible.
  std::string path = dir_ + "/moving.txt";
  for (int round = 0; round < 20; ++round) {
    Write("moving.txt", std::string(100000, 'x') + "\nCVLAN\n");
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      usleep(1000 * (round % 5));
      if (round % 2)
        unlink(path.c_str());
      else
        truncate(path.c_str(), 10);
      _exit(0);
    }
    std::string out = Mode1(path);
    waitpid(pid, nullptr, 0);
    EXPECT_TRUE(out == "0\n" || out == "2\n") << out;
  }
}

} // namespace
