// The simulated machine as winapi sees it: made on first use, and the driver
// behind each kernel device that it holds.
#pragma once

#include <winapi/device_driver.h>

#include <memory>
#include <string>

namespace cvsim {

// Fills an empty system root with the default machine: the registry with the
// adapter's instance key, and a live simulated adapter behind "\Device\cvlan1".
void CreateDefaultMachine(const std::string& root);

// The driver of a kernel device of the machine ("\Device\cvlan1"), or null when
// the machine has no such device.
std::shared_ptr<winapi::DeviceDriver> OpenMachineDevice(const std::string& root, const std::string& kernelDevice);

}  // namespace cvsim
