// The simulated NT machine on disk: one directory, the system root, and the
// ways its files are shared by every process of the machine.
#pragma once

#include <signal.h>

#include <optional>
#include <string>

namespace winapi {

// $CVLAN_SYSROOT, else ${XDG_STATE_HOME:-$HOME/.local/state}/cvlan-nt. Creates nothing.
std::string SystemRootPath();

// What a system root holds. kNothing: it does not exist, or it is a directory
// with nothing in it (what `mktemp -d` gives), so that the default machine may
// be made there. kMachine: a registry, DOS device names or devices. kOther: files
// that are no machine's, or not a directory: left as they are.
enum class RootContent { kNothing, kMachine, kOther };
RootContent ExamineRoot(const std::string &root);

// While it lives, the job-control stops (SIGTSTP, SIGTTIN, SIGTTOU) of the
// calling thread wait; a stop that came meanwhile takes effect when it ends.
class StopsHeldBack {
 public:
  StopsHeldBack();
  ~StopsHeldBack();
  StopsHeldBack(const StopsHeldBack &) = delete;
  StopsHeldBack &operator=(const StopsHeldBack &) = delete;

 private:
  sigset_t previousMask_;
};

// An exclusive flock on an open file, waited for; false on an error. A process
// that dies holding it releases it.
bool LockFile(int fd);

// An exclusive lock on the machine, shared by every process that uses it: each
// request, registry write and DOS device change happens under it, so no state is
// ever torn. The lock is a file lock on <root>/.lock, so a process that dies
// holding it releases it. While a thread holds it (or waits for it), the
// job-control stops (SIGTSTP, SIGTTIN, SIGTTOU) wait, so that a process stopped
// at the terminal never stops every other program of the machine with it.
class MachineLock {
 public:
  explicit MachineLock(const std::string &root);
  ~MachineLock();
  MachineLock(const MachineLock &) = delete;
  MachineLock &operator=(const MachineLock &) = delete;
  bool held() const { return fd_ >= 0; }

 private:
  StopsHeldBack stops_; // first made, last ended
  int fd_ = -1;
};

// Writes a file so that readers see either the old or the new content, never a
// mix: a temporary file beside it, flushed, then renamed over it.
bool WriteFileAtomically(const std::string &path, const std::string &content);

// The whole content of a file, or nothing when it cannot be opened or read.
std::optional<std::string> ReadWholeFile(const std::string &path);

} // namespace winapi
