#include <cvsim/adapter_store.h>

#include <winapi/machine_files.h>

#include <strings.h>
#include <time.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace cvsim {

namespace {

// Leftovers of an atomic write that a killed process never renamed.
bool IsTemporary(const std::string& name) { return name.find(".tmp.") != std::string::npos; }

std::unique_ptr<AdapterState> LoadAdapterState(const std::string& path, bool& missing) {
  std::ifstream in(path, std::ios::binary);
  missing = !in;
  if (!in) return nullptr;
  auto state = std::make_unique<AdapterState>();
  in.read(reinterpret_cast<char*>(state.get()), sizeof(AdapterState));
  if (in.gcount() != static_cast<std::streamsize>(sizeof(AdapterState)) || in.peek() != EOF ||
      !IsAdapterState(*state))
    return nullptr;
  return state;
}

}  // namespace

std::vector<std::string> ListDevices(const std::string& root) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(root + "/devices", error)) {
    std::string name = entry.path().filename().string();
    if (entry.is_regular_file(error) && name[0] != '.' && !IsTemporary(name)) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::optional<std::string> FindDevice(const std::string& root, const std::string& instance) {
  for (const std::string& name : ListDevices(root))
    if (strcasecmp(name.c_str(), instance.c_str()) == 0) return name;
  return std::nullopt;
}

std::string DevicePath(const std::string& root, const std::string& device) { return root + "/devices/" + device; }

uint64_t HostMilliseconds() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000 + static_cast<uint64_t>(now.tv_nsec) / 1000000;
}

std::unique_ptr<AdapterState> NewAdapterState(const AdapterSetup& setup) {
  auto state = std::make_unique<AdapterState>();
  InitAdapter(*state, setup);
  SyncClock(*state, HostMilliseconds());
  return state;
}

bool SaveAdapterState(const std::string& path, const AdapterState& state) {
  const char* bytes = reinterpret_cast<const char*>(&state);
  return winapi::WriteFileAtomically(path, std::string(bytes, sizeof state));
}

AdapterAccess WithAdapter(const std::string& root, const std::string& device,
                          const std::function<void(AdapterState&)>& act) {
  winapi::MachineLock lock(root);
  if (!lock.held()) return AdapterAccess::kNotSaved;
  std::string path = DevicePath(root, device);
  bool missing = false;
  std::unique_ptr<AdapterState> state = LoadAdapterState(path, missing);
  if (!state) return missing ? AdapterAccess::kNoDevice : AdapterAccess::kDamaged;
  SyncClock(*state, HostMilliseconds());
  act(*state);
  return SaveAdapterState(path, *state) ? AdapterAccess::kDone : AdapterAccess::kNotSaved;
}

}  // namespace cvsim
