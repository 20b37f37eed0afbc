#include <cvsim/adapter_store.h>

#include <core/bytes.h>
#include <winapi/machine_files.h>

#include <fcntl.h>
#include <linux/futex.h>
#include <pthread.h>
#include <signal.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstring>
#include <filesystem>

namespace cvsim {

namespace {

constexpr char kMagic[8] = {'C', 'V', 'S', 'T', 'A', 'T', 'E', '\n'};
// 1: the bare state, written anew by every request; 2: steps under the file's flock
constexpr uint32_t kFileVersion = 3;
constexpr size_t kPage = 4096;
constexpr size_t kStateArea = (sizeof(AdapterState) + kPage - 1) / kPage * kPage;
constexpr size_t kStateAt = kPage;
constexpr size_t kUndoDirectoryAt = kStateAt + kStateArea;
constexpr size_t kUndoDataAt = kUndoDirectoryAt + kPage;
constexpr size_t kFileSize = kUndoDataAt + kStateArea;

struct FileHeader {
  char magic[8];
  uint32_t version;
  uint32_t headerSize;
  uint64_t stateSize;
  uint64_t fileSize;
  uint64_t checksum; // of the fields above
  uint32_t undoing;  // 1: a step was cut short; the undo area holds what it changed
  uint32_t reserved;
  uint64_t steps; // steps done since the file was made
};
static_assert(offsetof(FileHeader, checksum) == 32 && sizeof(FileHeader) == 56);

// The lock of the steps, in the header page: a mutex shared by the processes
// that map the file and robust, so that the next holder learns of a holder that
// died. A file is made with none; the first step of each boot of the host
// makes it (a lock word left by a step of an earlier boot names no thread).
struct StepLock {
  uint32_t ready; // kLockReady once the mutex is made
  uint32_t reserved;
  char bootId[40]; // the host boot the mutex was made in
  pthread_mutex_t mutex;
};
constexpr size_t kLockAt = 64;
constexpr uint32_t kLockReady = 0x4B434F4C;
static_assert(kLockAt >= sizeof(FileHeader) && kLockAt + sizeof(StepLock) <= kPage);
static_assert(sizeof(pthread_mutex_t::__data.__lock) == 4 && offsetof(pthread_mutex_t, __data.__lock) == 0);

// How often a waiter looks at a held lock before it sleeps.
constexpr int kLockSpins = 100;
// How long a waiter sleeps before it looks whether the holder still runs.
constexpr long kOwnerCheckNanoseconds = 200'000'000;

struct UndoDirectory {
  uint32_t count;
  StateRange ranges[kMaxUndoRanges];
};

uint64_t HeaderChecksum(const FileHeader &header) {
  uint64_t hash = 0xcbf29ce484222325ULL; // FNV-1a
  const auto *bytes = reinterpret_cast<const uint8_t *>(&header);
  for (size_t i = 0; i < offsetof(FileHeader, checksum); ++i) hash = (hash ^ bytes[i]) * 0x100000001b3ULL;
  return hash;
}

FileHeader FreshHeader() {
  FileHeader header{};
  std::memcpy(header.magic, kMagic, sizeof kMagic);
  header.version = kFileVersion;
  header.headerSize = kPage;
  header.stateSize = sizeof(AdapterState);
  header.fileSize = kFileSize;
  header.checksum = HeaderChecksum(header);
  return header;
}

bool HeaderFits(const FileHeader &header) {
  FileHeader fresh = FreshHeader();
  return std::memcmp(&header, &fresh, offsetof(FileHeader, undoing)) == 0;
}

// The identifier of this boot of the host, read once.
const char *BootId() {
  static const std::string id = [] {
    std::optional<std::string> text = winapi::ReadWholeFile("/proc/sys/kernel/random/boot_id");
    std::string line = text ? text->substr(0, text->find('\n')) : std::string();
    return line.substr(0, sizeof(StepLock::bootId) - 1);
  }();
  return id.c_str();
}

// The mutex is made anew (under the file's flock, once, by whichever process
// comes first) when the file has none yet or one of an earlier boot.
bool LockIsCurrent(const StepLock &lock) {
  return __atomic_load_n(&lock.ready, __ATOMIC_ACQUIRE) == kLockReady &&
         std::strncmp(lock.bootId, BootId(), sizeof lock.bootId) == 0;
}

bool MakeLock(int fd, StepLock &lock) {
  if (!winapi::LockFile(fd)) return false;
  if (!LockIsCurrent(lock)) {
    __atomic_store_n(&lock.ready, 0, __ATOMIC_RELEASE);
    pthread_mutexattr_t attributes;
    pthread_mutexattr_init(&attributes);
    pthread_mutexattr_setpshared(&attributes, PTHREAD_PROCESS_SHARED);
    pthread_mutexattr_setrobust(&attributes, PTHREAD_MUTEX_ROBUST);
    int made = pthread_mutex_init(&lock.mutex, &attributes);
    pthread_mutexattr_destroy(&attributes);
    std::memset(lock.bootId, 0, sizeof lock.bootId);
    std::strncpy(lock.bootId, BootId(), sizeof lock.bootId - 1);
    if (made == 0) __atomic_store_n(&lock.ready, kLockReady, __ATOMIC_RELEASE);
  }
  ::flock(fd, LOCK_UN);
  return LockIsCurrent(lock);
}

// A lock word that names a thread which no longer runs and never released it
// (the file was copied in the middle of a step, say): it is marked as the
// kernel marks the lock of a thread that dies holding it, so that the next
// holder undoes the step. Under the file's flock, so that only one waiter
// marks it, and only if the word did not change meanwhile.
void ReleaseLockOfGoneThread(int fd, StepLock &lock) {
  int *word = &lock.mutex.__data.__lock;
  int seen = __atomic_load_n(word, __ATOMIC_ACQUIRE);
  pid_t owner = seen & FUTEX_TID_MASK;
  if (owner == 0 || (seen & FUTEX_OWNER_DIED) || ::kill(owner, 0) == 0 || errno != ESRCH) return;
  if (!winapi::LockFile(fd)) return;
  if (__atomic_compare_exchange_n(word, &seen, FUTEX_OWNER_DIED, false, __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE))
    ::syscall(SYS_futex, word, FUTEX_WAKE, INT_MAX, nullptr, nullptr, 0);
  ::flock(fd, LOCK_UN);
}

inline void CpuRelax() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#endif
}

// Waits for the mutex: a few tries first, since holders keep it for
// microseconds, then asleep, looking now and then whether its holder is gone.
// A holder that died leaves its step to be undone: the undo flag says so.
bool TakeLock(int fd, StepLock &lock) {
  if (!LockIsCurrent(lock) && !MakeLock(fd, lock)) return false;
  int taken = EBUSY;
  const int *word = &lock.mutex.__data.__lock;
  for (int tries = 0;; ++tries) {
    if (__atomic_load_n(word, __ATOMIC_RELAXED) == 0) taken = pthread_mutex_trylock(&lock.mutex);
    if (taken != EBUSY || tries == kLockSpins) break;
    CpuRelax();
  }
  while (taken == EBUSY || taken == ETIMEDOUT) {
    timespec until{};
    clock_gettime(CLOCK_REALTIME, &until);
    until.tv_nsec += kOwnerCheckNanoseconds;
    if (until.tv_nsec >= 1'000'000'000) {
      until.tv_nsec -= 1'000'000'000;
      ++until.tv_sec;
    }
    taken = pthread_mutex_timedlock(&lock.mutex, &until);
    if (taken == ETIMEDOUT) ReleaseLockOfGoneThread(fd, lock);
  }
  if (taken == EOWNERDEAD) taken = pthread_mutex_consistent(&lock.mutex);
  return taken == 0;
}

// Leftovers of an atomic write that a killed process never renamed.
bool IsTemporary(const std::string &name) { return name.find(".tmp.") != std::string::npos; }

// Ring bytes [at, at + size) of the log, as one or two ranges of the state.
void AddRingWindow(UndoPlan &plan, uint32_t at, uint32_t size) {
  const uint32_t ring = offsetof(AdapterState, log.ring);
  uint32_t first = std::min(size, kLogCapacity - at);
  plan.ranges[plan.count++] = {ring + at, first};
  if (first < size) plan.ranges[plan.count++] = {ring, size - first};
}

} // namespace

std::vector<std::string> ListDevices(const std::string &root) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto &entry : std::filesystem::directory_iterator(root + "/devices", error)) {
    std::string name = entry.path().filename().string();
    if (entry.is_regular_file(error) && name[0] != '.' && !IsTemporary(name)) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::optional<std::string> FindDevice(const std::string &root, const std::string &instance) {
  for (const std::string &name : ListDevices(root))
    if (strcasecmp(name.c_str(), instance.c_str()) == 0) return name;
  return std::nullopt;
}

std::string DevicePath(const std::string &root, const std::string &device) { return root + "/devices/" + device; }

uint64_t HostMilliseconds() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000 + static_cast<uint64_t>(now.tv_nsec) / 1000000;
}

std::unique_ptr<AdapterState> NewAdapterState(const AdapterSetup &setup) {
  auto state = std::make_unique<AdapterState>();
  InitAdapter(*state, setup);
  SyncClock(*state, HostMilliseconds());
  return state;
}

bool SaveAdapterState(const std::string &path, const AdapterState &state) {
  std::string file(kFileSize, '\0');
  FileHeader header = FreshHeader();
  std::memcpy(file.data(), &header, sizeof header);
  std::memcpy(file.data() + kStateAt, &state, sizeof state);
  return winapi::WriteFileAtomically(path, file);
}

UndoPlan RequestUndoPlan(const AdapterState &state, uint64_t hostNowMs, uint32_t oid, const uint8_t *buffer,
                         uint32_t size) {
  constexpr uint32_t kMemoryAt = offsetof(AdapterState, memory);
  constexpr uint32_t kLogAt = offsetof(AdapterState, log);
  constexpr uint32_t kRingAt = offsetof(AdapterState, log.ring);
  // Requests change the tables and the status block, all below 0x2000; the
  // memory requests that write whatever they address.
  constexpr uint32_t kTablesEnd = 0x2000;
  static_assert(kMemAssocTable + kAssocTableSlots * kAssocEntrySize <= kTablesEnd &&
                kMemApTable + kApTableSlots * kApEntrySize <= kTablesEnd &&
                uint32_t{kMemStatusBlock} + kStatusBlockSize <= kTablesEnd);
  static_assert(kLogAt == kMemoryAt + kMemorySize, "the log follows adapter memory");
  UndoPlan plan;
  uint16_t op = size >= kBlockHeader ? Load16(buffer + kBlockOperation) : 0;
  if ((oid == kOidMemory || oid == kOidMemoryWindow) && op != kOpQuery) {
    plan.ranges[plan.count++] = {0, kRingAt};
  } else if (op == kOpQuery && (state.clock.frozen || (state.clock.hostKnown && hostNowMs <= state.clock.hostLastMs))) {
    // Time stands still, and queries only read: the clock's fields are all
    // that changes outside the log.
    plan.ranges[plan.count++] = {static_cast<uint32_t>(offsetof(AdapterState, clock)), sizeof(SimClock)};
    plan.ranges[plan.count++] = {kLogAt, kRingAt - kLogAt};
  } else {
    plan.ranges[plan.count++] = {0, kMemoryAt + kTablesEnd};
    plan.ranges[plan.count++] = {kLogAt, kRingAt - kLogAt};
  }
  // The record goes where the log ends (the oldest giving way changes no byte of
  // the ring); it keeps the data of a well-formed block, as much as the ring holds.
  uint32_t length = oid != kOidCurrentAddress && size >= kBlockHeader ? Load32(buffer + kBlockLength) : 0;
  uint32_t data = length >= kBlockHeader && length <= size ? length - kBlockHeader : 0;
  uint32_t end = (state.log.head + state.log.used) % kLogCapacity;
  AddRingWindow(plan, end, kLogRecordHeader + std::min<uint32_t>(data, kLogCapacity - kLogRecordHeader));
  return plan;
}

MappedAdapter::MappedAdapter(std::string path) : path_(std::move(path)) {}

MappedAdapter::~MappedAdapter() { Unmap(); }

void MappedAdapter::Unmap() {
  if (base_) ::munmap(base_, kFileSize);
  if (fd_ >= 0) ::close(fd_);
  base_ = nullptr;
  fd_ = -1;
  checked_ = false;
}

// Opens and maps the file and takes its lock; on kDone the caller holds it.
AdapterAccess MappedAdapter::MapLocked() {
  // The file in hand may have been replaced (cvsim init), removed or cut short
  // since it was mapped: then the one at the path is taken. This is looked at
  // before the lock, which lies in the mapping.
  if (base_) {
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || st.st_nlink == 0 || static_cast<size_t>(st.st_size) != kFileSize) Unmap();
  }
  if (!base_) {
    fd_ = ::open(path_.c_str(), O_RDWR | O_CLOEXEC);
    if (fd_ < 0) return errno == ENOENT || errno == ENOTDIR ? AdapterAccess::kNoDevice : AdapterAccess::kNotSaved;
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode) || static_cast<size_t>(st.st_size) != kFileSize) {
      Unmap();
      return AdapterAccess::kDamaged;
    }
    void *mapped = ::mmap(nullptr, kFileSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, 0);
    if (mapped == MAP_FAILED) {
      Unmap();
      return AdapterAccess::kNotSaved;
    }
    base_ = static_cast<uint8_t *>(mapped);
    mappedBy_ = ::getpid();
    if (!HeaderFits(*reinterpret_cast<FileHeader *>(base_))) {
      Unmap();
      return AdapterAccess::kDamaged;
    }
  }
  if (!TakeLock(fd_, *reinterpret_cast<StepLock *>(base_ + kLockAt))) return AdapterAccess::kNotSaved;
  return AdapterAccess::kDone;
}

AdapterAccess MappedAdapter::Step(const std::function<void(AdapterState &)> &act,
                                  const std::function<UndoPlan(const AdapterState &, uint64_t hostNowMs)> &plan) {
  std::lock_guard guard(mutex_);
  winapi::StopsHeldBack stops;
  // A child of fork() maps the file anew, so that what it holds is its own.
  if (base_ && mappedBy_ != ::getpid()) Unmap();
  AdapterAccess mapped = MapLocked();
  if (mapped != AdapterAccess::kDone) return mapped;
  auto *header = reinterpret_cast<FileHeader *>(base_);
  auto *state = reinterpret_cast<AdapterState *>(base_ + kStateAt);
  auto *directory = reinterpret_cast<UndoDirectory *>(base_ + kUndoDirectoryAt);
  uint8_t *undo = base_ + kUndoDataAt;
  auto *stateBytes = reinterpret_cast<uint8_t *>(state);
  auto unlock = [&](AdapterAccess access) {
    pthread_mutex_unlock(&reinterpret_cast<StepLock *>(base_ + kLockAt)->mutex);
    return access;
  };

  if (__atomic_load_n(&header->undoing, __ATOMIC_ACQUIRE)) {
    // A step cut short by its process's death: what it changed goes back.
    size_t at = 0;
    if (directory->count > kMaxUndoRanges) return unlock(AdapterAccess::kDamaged);
    for (uint32_t i = 0; i < directory->count; ++i) {
      StateRange r = directory->ranges[i];
      if (r.offset > sizeof(AdapterState) || r.size > sizeof(AdapterState) - r.offset || at + r.size > kStateArea)
        return unlock(AdapterAccess::kDamaged);
      std::memcpy(stateBytes + r.offset, undo + at, r.size);
      at += r.size;
    }
    __atomic_store_n(&header->undoing, 0, __ATOMIC_RELEASE);
    checked_ = false;
  }
  // Checked once a mapping (and after an undo): the steps of this code keep it whole.
  if (!checked_ && !IsSoundAdapterState(*state)) return unlock(AdapterAccess::kDamaged);
  checked_ = true;

  uint64_t now = HostMilliseconds();
  UndoPlan kept;
  if (plan) {
    kept = plan(*state, now);
  } else {
    kept.ranges[kept.count++] = {0, sizeof(AdapterState)};
  }
  directory->count = static_cast<uint32_t>(kept.count);
  size_t at = 0;
  for (int i = 0; i < kept.count; ++i) {
    directory->ranges[i] = kept.ranges[i];
    std::memcpy(undo + at, stateBytes + kept.ranges[i].offset, kept.ranges[i].size);
    at += kept.ranges[i].size;
  }
  __atomic_store_n(&header->undoing, 1, __ATOMIC_RELEASE); // after every byte of the undo area

  SyncClock(*state, now);
  act(*state);

  ++header->steps;
  __atomic_store_n(&header->undoing, 0, __ATOMIC_RELEASE); // after every byte of the step
  return unlock(AdapterAccess::kDone);
}

AdapterAccess WithAdapter(const std::string &root, const std::string &device,
                          const std::function<void(AdapterState &)> &act) {
  MappedAdapter adapter(DevicePath(root, device));
  return adapter.Step(act);
}

} // namespace cvsim
