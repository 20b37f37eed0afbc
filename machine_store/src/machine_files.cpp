#include <winapi/machine_files.h>

#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace winapi {

std::string SystemRootPath() {
  const char *root = std::getenv("CVLAN_SYSROOT");
  if (root && *root) return root;
  std::string state;
  if (const char *xdg = std::getenv("XDG_STATE_HOME"); xdg && *xdg) {
    state = xdg;
  } else {
    const char *home = std::getenv("HOME");
    state = std::string(home && *home ? home : "/tmp") + "/.local/state";
  }
  return state + "/cvlan-nt";
}

RootContent ExamineRoot(const std::string &root) {
  std::error_code error;
  std::filesystem::file_status status = std::filesystem::status(root, error);
  if (status.type() == std::filesystem::file_type::not_found) return RootContent::kNothing;
  if (status.type() != std::filesystem::file_type::directory) return RootContent::kOther;
  bool empty = true;
  for (const auto &entry : std::filesystem::directory_iterator(root, error)) {
    std::string name = entry.path().filename().string();
    if (name == "registry.reg" || name == "dosdevices" || name == "devices") return RootContent::kMachine;
    if (name != ".lock") empty = false; // a lock taken before the machine was made
  }
  return empty && !error ? RootContent::kNothing : RootContent::kOther;
}

StopsHeldBack::StopsHeldBack() {
  sigset_t stops;
  sigemptyset(&stops);
  sigaddset(&stops, SIGTSTP);
  sigaddset(&stops, SIGTTIN);
  sigaddset(&stops, SIGTTOU);
  pthread_sigmask(SIG_BLOCK, &stops, &previousMask_);
}

StopsHeldBack::~StopsHeldBack() {
  pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr); // a stop that came meanwhile takes effect now
}

bool LockFile(int fd) {
  // Holders keep it for microseconds: a few tries, giving the processor to the
  // holder between them, spare a sleep and a wake-up in the kernel each time.
  for (int tries = 0; tries < 64; ++tries) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
    if (errno != EWOULDBLOCK && errno != EINTR) return false;
    sched_yield();
  }
  while (::flock(fd, LOCK_EX) != 0)
    if (errno != EINTR) return false;
  return true;
}

MachineLock::MachineLock(const std::string &root) {
  fd_ = ::open((root + "/.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd_ >= 0 && !LockFile(fd_)) {
    ::close(fd_);
    fd_ = -1;
  }
}

MachineLock::~MachineLock() {
  if (fd_ >= 0) ::close(fd_); // closing releases the lock, before the stops are let through
}

namespace {

// Temporary files that writers of `path` killed before their rename left beside
// it (`path`.tmp.PID.N): removed once their process no longer runs, so that kills
// do not pile them up. Another process's file stays while it may still rename it.
void RemoveLeftoversOfGoneWriters(const std::string &path) {
  std::filesystem::path file(path);
  std::string prefix = file.filename().string() + ".tmp.";
  std::error_code error;
  for (const auto &entry : std::filesystem::directory_iterator(file.parent_path(), error)) {
    std::string name = entry.path().filename().string();
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    char *end = nullptr;
    long pid = std::strtol(name.c_str() + prefix.size(), &end, 10);
    if (pid <= 0 || *end != '.' || pid == ::getpid()) continue;
    if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) ::unlink(entry.path().c_str());
  }
}

} // namespace

bool WriteFileAtomically(const std::string &path, const std::string &content) {
  // Unique per process and per call, so that two threads writing one path never
  // share a temporary file.
  static std::atomic<unsigned> serial{0};
  std::string temporary = path + ".tmp." + std::to_string(::getpid()) + "." + std::to_string(serial++);
  int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  size_t written = 0;
  while (written < content.size()) {
    ssize_t n = ::write(fd, content.data() + written, content.size() - written);
    if (n < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      ::unlink(temporary.c_str());
      return false;
    }
    written += static_cast<size_t>(n);
  }
  if (::fsync(fd) != 0 || ::close(fd) != 0 || ::rename(temporary.c_str(), path.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return false;
  }
  RemoveLeftoversOfGoneWriters(path);
  return true;
}

std::optional<std::string> ReadWholeFile(const std::string &path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::string content;
  char buffer[8192];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      return std::nullopt;
    }
    if (n == 0) break;
    content.append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  return content;
}

} // namespace winapi
