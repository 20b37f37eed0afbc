// Writers replace registry.reg atomically (a rename), so a reader takes no lock:
// it opens the file, and the open file is one whole version of it. The identity of
// that version (device, inode, size, change times) decides whether the parse that
// the process holds is still current. File times are coarse (a clock tick), so a
// file changed in place within the last seconds could look unchanged: such a
// recent file is parsed afresh on every call instead of being trusted.
#include "registry_machine.h"

#include <winapi/sysroot.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>
#include <tuple>

namespace winapi {
namespace {

struct FileVersion {
  std::string path;
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = -1;
  long long modified = 0, changed = 0; // nanoseconds
  bool operator==(const FileVersion &) const = default;
};

FileVersion VersionOf(const std::string &path, const struct stat &st) {
  auto ns = [](const timespec &t) { return static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec; };
  return {path, st.st_dev, st.st_ino, st.st_size, ns(st.st_mtim), ns(st.st_ctim)};
}

FILETIME FileTimeOf(const struct stat &st) {
  // 100-nanosecond intervals since 1601-01-01.
  unsigned long long ticks = (static_cast<unsigned long long>(st.st_mtim.tv_sec) + 11644473600ULL) * 10000000ULL +
                             static_cast<unsigned long long>(st.st_mtim.tv_nsec) / 100;
  return {static_cast<DWORD>(ticks & 0xFFFFFFFFu), static_cast<DWORD>(ticks >> 32)};
}

bool ReadAll(int fd, std::string *content) {
  char buffer[16384];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    content->append(buffer, static_cast<size_t>(n));
  }
}

struct Cache {
  std::mutex mutex;
  bool valid = false;
  FileVersion version;
  RegistrySnapshot snapshot;
};

Cache &TheCache() {
  static Cache *cache = new Cache; // never destroyed: registry calls may run from atexit code
  return *cache;
}

RegistrySnapshot Failed(DWORD error, std::string problem) {
  RegistrySnapshot snapshot;
  snapshot.error = error;
  snapshot.problem = std::move(problem);
  return snapshot;
}

} // namespace

RegistrySnapshot CurrentRegistry() {
  std::string path = SystemRoot() + "/registry.reg";
  // Non-blocking, so that a FIFO in the file's place fails below instead of
  // waiting for a writer; on a regular file the flag changes nothing.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    if (errno != ENOENT && errno != ENOTDIR)
      return Failed(ERROR_REGISTRY_IO_FAILED, path + ": " + std::strerror(errno));
    RegistrySnapshot empty;
    empty.machine = std::make_shared<RegistryKey>();
    return empty;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return Failed(ERROR_REGISTRY_IO_FAILED, path + ": not a regular file");
  }
  FileVersion version = VersionOf(path, st);
  Cache &cache = TheCache();
  {
    std::lock_guard lock(cache.mutex);
    if (cache.valid && cache.version == version) {
      ::close(fd);
      return cache.snapshot;
    }
  }
  std::string text;
  bool read = ReadAll(fd, &text);
  ::close(fd);
  if (!read) return Failed(ERROR_REGISTRY_IO_FAILED, path + ": " + std::strerror(errno));

  RegistrySnapshot snapshot;
  RegistryFile file;
  RegistryTextError problem;
  if (ParseRegistryText(text, &file, &problem)) {
    snapshot.machine = std::make_shared<RegistryKey>(std::move(file.machine));
    snapshot.lastWrite = FileTimeOf(st);
  } else {
    snapshot.error = ERROR_BADDB;
    snapshot.problem = path + ":" + std::to_string(problem.line) + ": " + problem.problem;
  }
  std::lock_guard lock(cache.mutex);
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  cache.valid = st.st_mtim.tv_sec < now.tv_sec - 2 && st.st_ctim.tv_sec < now.tv_sec - 2;
  if (!cache.valid) return snapshot;
  cache.version = version;
  cache.snapshot = snapshot;
  return snapshot;
}

} // namespace winapi
