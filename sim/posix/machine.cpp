// Making a machine, and finding the simulated adapter behind a kernel device name.
#include <cvsim/machine.h>

#include <cvsim/adapter_store.h>
#include <cvsim/simulated_device.h>
#include <winapi/machine_files.h>

#include "registry_text.h"

#include <strings.h>

#include <filesystem>

namespace cvsim {

namespace {

// An empty directory, whatever was in it before.
bool EmptyDirectory(const std::string &path) {
  std::error_code error;
  std::filesystem::remove_all(path, error);
  return std::filesystem::create_directories(path, error) && !error;
}

constexpr char kDevicePrefix[] = "\\Device\\";

} // namespace

bool BuildMachine(const std::string &root, const MachineOptions &options) {
  std::error_code error;
  std::filesystem::create_directories(root, error);
  if (!EmptyDirectory(root + "/dosdevices") || !EmptyDirectory(root + "/devices")) return false;
  if (!winapi::WriteFileAtomically(root + "/registry.reg", MachineRegistryText(options))) return false;
  if (!options.device) return true;
  AdapterSetup setup;
  setup.cellAp = options.cellAp;
  setup.versionMajor = options.versionMajor;
  setup.versionMinor = options.versionMinor;
  std::unique_ptr<AdapterState> state = NewAdapterState(setup);
  if (options.frozen) Freeze(*state);
  return SaveAdapterState(DevicePath(root, options.instance), *state);
}

void CreateDefaultMachine(const std::string &root) { BuildMachine(root, MachineOptions{}); }

std::shared_ptr<winapi::DeviceDriver> OpenMachineDevice(const std::string &root, const std::string &kernelDevice) {
  const size_t prefix = sizeof kDevicePrefix - 1;
  if (kernelDevice.size() <= prefix || strncasecmp(kernelDevice.c_str(), kDevicePrefix, prefix) != 0) return nullptr;
  std::optional<std::string> device = FindDevice(root, kernelDevice.substr(prefix));
  if (!device) return nullptr;
  return std::make_shared<SimulatedDevice>(DevicePath(root, *device));
}

} // namespace cvsim
