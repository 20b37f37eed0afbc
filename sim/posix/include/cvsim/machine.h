// The simulated machine as winapi sees it: made on first use, and the driver
// behind each kernel device that it holds.
#pragma once

#include <winapi/device_driver.h>

#include <cstdint>
#include <memory>
#include <string>

namespace cvsim {

struct MachineOptions {
  bool cellAp = false;
  std::string instance = "cvlan1"; // the services key and the kernel device "\Device\<instance>"
  bool instanceKey = true;         // false: the registry has no key for the instance
  bool device = true;              // false: the device does not exist
  uint16_t versionMajor = 2;
  uint16_t versionMinor = 10;
  bool frozen = false; // simulated time stands still until thawed
};

// (Re)makes the machine at root: registry.reg, an empty dosdevices/, devices/ with
// the simulated adapter. The caller holds the machine lock (winapi::MachineLock);
// false when a file could not be written.
bool BuildMachine(const std::string &root, const MachineOptions &options);

// Fills an empty system root with the default machine: the registry with the
// adapter's instance key, and a live simulated adapter behind "\Device\cvlan1".
// Called with the machine lock held.
void CreateDefaultMachine(const std::string &root);

// The driver of a kernel device of the machine ("\Device\cvlan1", any case), or
// null when the machine has no such device. Takes no lock; each request the
// driver answers takes the machine lock itself, so never call it holding one.
std::shared_ptr<winapi::DeviceDriver> OpenMachineDevice(const std::string &root, const std::string &kernelDevice);

} // namespace cvsim
