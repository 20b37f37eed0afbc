#include <cvsim/adapter_store.h>

#include <core/bytes.h>
#include <winapi/machine_files.h>

#include <fcntl.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <filesystem>

namespace cvsim {

namespace {

constexpr char kMagic[8] = {'C', 'V', 'S', 'T', 'A', 'T', 'E', '\n'};
constexpr uint32_t kFileVersion = 2; // 1: the bare state, written anew by every request
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

UndoPlan RequestUndoPlan(const AdapterState &state, uint32_t oid, const uint8_t *buffer, uint32_t size) {
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
  if (!winapi::LockFile(fd_)) return AdapterAccess::kNotSaved;
  return AdapterAccess::kDone;
}

AdapterAccess MappedAdapter::Step(const std::function<void(AdapterState &)> &act,
                                  const std::function<UndoPlan(const AdapterState &)> &plan) {
  std::lock_guard guard(mutex_);
  winapi::StopsHeldBack stops;
  // A child of fork() shares the parent's open file and so its lock: it opens
  // the file anew.
  if (base_ && mappedBy_ != ::getpid()) Unmap();
  // The file in hand may have been replaced (cvsim init), removed or cut short
  // since it was mapped: then the one at the path is taken, once.
  for (int attempt = 0;; ++attempt) {
    AdapterAccess mapped = MapLocked();
    if (mapped != AdapterAccess::kDone) return mapped;
    struct stat st {};
    if (::fstat(fd_, &st) == 0 && st.st_nlink > 0 && static_cast<size_t>(st.st_size) == kFileSize) break;
    Unmap(); // closing releases the lock
    if (attempt == 1) return AdapterAccess::kNoDevice;
  }
  auto *header = reinterpret_cast<FileHeader *>(base_);
  auto *state = reinterpret_cast<AdapterState *>(base_ + kStateAt);
  auto *directory = reinterpret_cast<UndoDirectory *>(base_ + kUndoDirectoryAt);
  uint8_t *undo = base_ + kUndoDataAt;
  auto *stateBytes = reinterpret_cast<uint8_t *>(state);
  auto unlock = [&](AdapterAccess access) {
    ::flock(fd_, LOCK_UN);
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

  UndoPlan kept;
  if (plan) {
    kept = plan(*state);
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

  SyncClock(*state, HostMilliseconds());
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
