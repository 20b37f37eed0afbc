// cvsim check: what a console program will find on a machine, one line a step of
// its search, from the registry to the driver version. It reads the machine and
// makes nothing: a root without a machine stays as it is.
#include "cvsim_check.h"

#include <core/adapter_layout.h>
#include <cvsim/adapter_store.h>
#include <winapi/registry_file.h>
#include <winapi/sysroot.h>

#include <windows.h>

#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace cvsim {

namespace {

const char kServices[] = "SYSTEM\\CurrentControlSet\\Services";
const char* const kInstanceNames[] = {"cvlan1", "cvlan2", "cvlan3", "cvlan4"};

void Line(const std::string& text) { std::printf("%s\n", text.c_str()); }

int Verdict(bool found) {
  Line(found ? "result: CV_UTIL finds the adapter" : "result: CV_UTIL does not find the adapter");
  return found ? 0 : 1;
}

enum class RootKind { kMissing, kEmpty, kOtherFiles, kMachine };

// What the root holds: a machine has a registry, DOS device names or devices.
RootKind Examine(const std::string& root) {
  std::error_code error;
  if (!std::filesystem::exists(root, error)) return RootKind::kMissing;
  bool others = false;
  for (const auto& entry : std::filesystem::directory_iterator(root, error)) {
    std::string name = entry.path().filename().string();
    if (name == "registry.reg" || name == "dosdevices" || name == "devices") return RootKind::kMachine;
    if (name != ".lock") others = true;
  }
  return others ? RootKind::kOtherFiles : RootKind::kEmpty;
}

// The DOS device names defined, each as NAME -> TARGET.
std::vector<std::string> DefinedNames() {
  std::vector<char> names(65536);
  DWORD length = QueryDosDeviceA(nullptr, names.data(), static_cast<DWORD>(names.size()));
  std::vector<std::string> defined;
  for (DWORD at = 0; at < length && names[at];) {
    std::string name(&names[at]);
    at += static_cast<DWORD>(name.size()) + 1;
    char target[512];
    if (QueryDosDeviceA(name.c_str(), target, sizeof target)) name += " -> " + std::string(target);
    defined.push_back(name);
  }
  return defined;
}

// The first services subkey that the adapter library accepts, in enumeration order.
std::optional<std::string> FindInstance(const winapi::RegistryKey& services) {
  for (size_t i = 0; i < services.SubkeyCount(); ++i) {
    const std::string& name = services.Subkey(i).name();
    for (const char* accepted : kInstanceNames)
      if (strcasecmp(name.c_str(), accepted) == 0) return name;
  }
  return std::nullopt;
}

// The registry, the instance key and the device, as the adapter library meets
// them; true when it would accept the driver.
bool CheckAdapter(const std::string& root) {
  std::string file = root + "/registry.reg";
  std::optional<std::string> text = winapi::ReadWholeFile(file);
  winapi::RegistryKey machine;
  std::string error;
  std::error_code missing;
  if (!text && std::filesystem::exists(file, missing)) {
    Line("registry: " + file + " cannot be read");
    return false;
  }
  if (!text) {
    Line("registry: " + file + " is missing: the registry is empty");
  } else if (!winapi::ParseRegistryText(*text, &machine, &error)) {
    Line("registry: " + file + " " + error + " (every registry call fails until it is mended)");
    return false;
  } else {
    Line("registry: " + file + " parses");
  }

  const winapi::RegistryKey* services = machine.FindPath(kServices);
  std::optional<std::string> instance = services ? FindInstance(*services) : std::nullopt;
  if (!instance) {
    Line(std::string("instance: no key cvlan1 to cvlan4 under HKEY_LOCAL_MACHINE\\") + kServices);
    return false;
  }
  Line(std::string("instance: ") + *instance + " (HKEY_LOCAL_MACHINE\\" + kServices + "\\" + *instance + ")");

  // The device that the DOS device name leads to: its current target when the
  // name is defined already, else the one the library defines.
  std::string target = "\\Device\\" + *instance;
  char current[512];
  bool defined = QueryDosDeviceA(instance->c_str(), current, sizeof current) != 0;
  if (defined) target = current;
  const std::string prefix = "\\Device\\";
  std::optional<std::string> device;
  if (target.compare(0, prefix.size(), prefix) == 0) device = FindDevice(root, target.substr(prefix.size()));
  std::string how = defined ? " (the target of the DOS device name " + *instance + ")" : "";
  if (!device) {
    Line("device: " + target + " does not exist" + how);
    return false;
  }
  Line("device: " + target + how);

  uint16_t major = 0, minor = 0;
  std::optional<uint32_t> versionFault;
  AdapterAccess access = WithAdapter(root, *device, [&](AdapterState& state) {
    major = state.config.versionMajor;
    minor = state.config.versionMinor;
    for (uint32_t i = 0; i < state.faults.count && i < kFaultCapacity; ++i)
      if (state.faults.faults[i].oid == kOidConfig) versionFault = state.faults.faults[i].status;
  });
  if (access != AdapterAccess::kDone) {
    Line("driver version: unknown, " + DevicePath(root, *device) + " is not a simulated adapter's state");
    return false;
  }
  char version[64];
  std::snprintf(version, sizeof version, "%u.%02u", major, minor);
  if (versionFault) {
    Line(std::string("driver version: ") + version + ", but the version request fails (status " +
         std::to_string(*versionFault) + ", see 'cvsim fail')");
    return false;
  }
  bool accepted = major >= 2 || minor >= 4;
  Line(std::string("driver version: ") + version +
       (accepted ? ", accepted" : ", refused: the library needs 1.04 or later"));
  return accepted;
}

}  // namespace

int CheckMachine(const std::string& root) {
  Line("machine: " + root);
  switch (Examine(root)) {
    case RootKind::kMissing:
    case RootKind::kEmpty:
      Line("no machine there yet: the first program run makes the default machine, with its adapter");
      return Verdict(true);
    case RootKind::kOtherFiles:
      Line("no machine there: the folder holds other files, so no program makes one in it "
           "(use another CVLAN_SYSROOT, or 'cvsim init')");
      return Verdict(false);
    case RootKind::kMachine:
      break;
  }
  setenv("CVLAN_SYSROOT", root.c_str(), 1);
  bool found = CheckAdapter(root);
  std::vector<std::string> defined = DefinedNames();
  std::string names;
  for (const std::string& name : defined) names += (names.empty() ? "" : ", ") + name;
  Line(defined.empty() ? "DOS device names: none defined" : "DOS device names: left defined: " + names);
  std::error_code error;
  if (std::filesystem::exists(root + "/dosdevices/.fail-removal", error))
    Line("DOS device names: every removal fails ('cvsim fail-dos-removal off' ends that)");
  return Verdict(found);
}

}  // namespace cvsim
