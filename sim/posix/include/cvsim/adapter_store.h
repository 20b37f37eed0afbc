// The adapter state of a machine's device: the file devices/<instance>, mapped
// into every process that uses the device and changed there in place.
//
// The file: a header page (layout version, sizes, a checksum of them, the undo
// flag, the count of steps done and the lock of the steps), the state, and an
// undo area. A step (one request, or one control of cvsim) runs under the lock,
// a robust mutex shared by the processes that map the file: it first copies the
// parts of the state it may change into the undo area and raises the undo flag,
// then changes the state, then lowers the flag. A process killed inside a step
// leaves the flag raised and the lock to the next holder, which copies the undo
// area back before anything else. So every step is atomic across processes and
// threads, and the state is never torn.
#pragma once

#include <core/adapter.h>

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace cvsim {

// The devices of the machine, in name order.
std::vector<std::string> ListDevices(const std::string &root);
// The device of that instance name, compared without regard to case.
std::optional<std::string> FindDevice(const std::string &root, const std::string &instance);
std::string DevicePath(const std::string &root, const std::string &device);

// Milliseconds of the host clock, shared by every process.
uint64_t HostMilliseconds();

std::unique_ptr<AdapterState> NewAdapterState(const AdapterSetup &setup);
// Writes a new state file at path (atomically: old or new file, never a mix).
bool SaveAdapterState(const std::string &path, const AdapterState &state);

enum class AdapterAccess { kDone, kNoDevice, kDamaged, kNotSaved };

// A part of the state, as a byte range.
struct StateRange {
  uint32_t offset, size;
};
// At most this many ranges a step.
constexpr int kMaxUndoRanges = 4;
struct UndoPlan {
  int count = 0;
  StateRange ranges[kMaxUndoRanges];
};

// What a request with that identifier and buffer (the request block as sent)
// may change, its clock catching up with hostNowMs included: the state but
// adapter memory from 0x2000 and the log's ring, the ring's bytes where its
// record goes, and all of adapter memory for the requests that address it. A
// query while the adapter's time does not move keeps only the clock and the log.
UndoPlan RequestUndoPlan(const AdapterState &state, uint64_t hostNowMs, uint32_t oid, const uint8_t *buffer,
                         uint32_t size);

// One device's state file, mapped while the object lives. Threads may share it.
class MappedAdapter {
 public:
  explicit MappedAdapter(std::string path);
  ~MappedAdapter();
  MappedAdapter(const MappedAdapter &) = delete;
  MappedAdapter &operator=(const MappedAdapter &) = delete;

  // Runs `act` on the state as one atomic step, after its clock has caught up
  // with the host's. `plan` names what act may change given the state before
  // it and the host time the clock catches up with; without one the whole
  // state is kept for undo.
  AdapterAccess Step(const std::function<void(AdapterState &)> &act,
                     const std::function<UndoPlan(const AdapterState &, uint64_t hostNowMs)> &plan = nullptr);

 private:
  AdapterAccess MapLocked();
  void Unmap();

  std::string path_;
  std::mutex mutex_; // threads of this process sharing the mapping
  int fd_ = -1;
  uint8_t *base_ = nullptr;
  bool checked_ = false; // the mapped state was found whole
  pid_t mappedBy_ = 0;
};

// Runs `act` on the device's adapter as one atomic step, after its clock has
// caught up with the host's.
AdapterAccess WithAdapter(const std::string &root, const std::string &device,
                          const std::function<void(AdapterState &)> &act);

} // namespace cvsim
