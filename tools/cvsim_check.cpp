// cvsim check: what a console program will find on a machine, one line a step of
// its search, from the registry to the driver version. It reads the machine and
// makes nothing: a root without a machine stays as it is.
#include "cvsim_check.h"

#include "cvsim_commands.h"

#include <cvsim/adapter_store.h>
#include <winapi/registry_file.h>
#include <winapi/sysroot.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace cvsim {

namespace {

const char kServices[] = "SYSTEM\\CurrentControlSet\\Services";

enum class RootKind { kMissing, kNotAFolder, kEmpty, kOtherFiles, kMachine };

// What the root holds: a machine has a registry, DOS device names or devices.
RootKind Examine(const std::string &root) {
  std::error_code error;
  if (!std::filesystem::exists(root, error)) return RootKind::kMissing;
  if (!std::filesystem::is_directory(root, error)) return RootKind::kNotAFolder;
  bool others = false;
  for (const auto &entry : std::filesystem::directory_iterator(root, error)) {
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
std::optional<std::string> FindInstance(const winapi::RegistryKey &services) {
  for (size_t i = 0; i < services.SubkeyCount(); ++i)
    if (IsInstanceName(services.Subkey(i).name())) return services.Subkey(i).name();
  return std::nullopt;
}

// The registry, the instance key and the device, as the adapter library meets
// them; true when it would accept the driver.
bool CheckAdapter(const std::string &root) {
  std::string file = root + "/registry.reg";
  std::optional<std::string> text = winapi::ReadWholeFile(file);
  winapi::RegistryKey machine;
  std::string error;
  std::error_code missing;
  if (!text && std::filesystem::exists(file, missing)) {
    CheckLine("registry: " + file + " cannot be read");
    return false;
  }
  if (!text) {
    CheckLine("registry: " + file + " is missing: the registry is empty");
  } else if (!winapi::ParseRegistryText(*text, &machine, &error)) {
    CheckLine("registry: " + file + " " + error + " (every registry call fails until it is mended)");
    return false;
  } else {
    CheckLine("registry: " + file + " parses");
  }

  const winapi::RegistryKey *services = machine.FindPath(kServices);
  std::optional<std::string> instance = services ? FindInstance(*services) : std::nullopt;
  if (!instance) {
    CheckLine(std::string("instance: no key cvlan1 to cvlan4 under HKEY_LOCAL_MACHINE\\") + kServices);
    return false;
  }
  CheckLine(std::string("instance: ") + *instance + " (HKEY_LOCAL_MACHINE\\" + kServices + "\\" + *instance + ")");

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
    CheckLine("device: " + target + " does not exist" + how);
    return false;
  }
  CheckLine("device: " + target + how);

  bool accepted = false;
  AdapterAccess access = WithAdapter(root, *device, [&](AdapterState &state) { accepted = CheckDriverVersion(state); });
  if (access != AdapterAccess::kDone) {
    CheckLine("driver version: unknown, " + DevicePath(root, *device) + " is not a simulated adapter's state");
    return false;
  }
  return accepted;
}

} // namespace

int CheckMachine(const std::string &root) {
  CheckLine("machine: " + root);
  switch (Examine(root)) {
    case RootKind::kMissing:
    case RootKind::kEmpty:
      CheckLine("no machine there yet: the first program run makes the default machine, with its adapter");
      return CheckVerdict(true);
    case RootKind::kNotAFolder:
      CheckLine("no machine there: it is not a folder");
      return CheckVerdict(false);
    case RootKind::kOtherFiles:
      CheckLine(
          "no machine there: the folder holds other files, so no program makes one in it "
          "(use another CVLAN_SYSROOT, or 'cvsim init')");
      return CheckVerdict(false);
    case RootKind::kMachine:
      break;
  }
  setenv("CVLAN_SYSROOT", root.c_str(), 1);
  bool found = CheckAdapter(root);
  std::vector<std::string> defined = DefinedNames();
  std::string names;
  for (const std::string &name : defined) names += (names.empty() ? "" : ", ") + name;
  CheckLine(defined.empty() ? "DOS device names: none defined" : "DOS device names: left defined: " + names);
  std::error_code error;
  if (std::filesystem::exists(root + "/dosdevices/.fail-removal", error))
    CheckLine("DOS device names: every removal fails ('cvsim fail-dos-removal off' ends that)");
  return CheckVerdict(found);
}

} // namespace cvsim
