// Scaffolding until the simulated adapter lands: a machine without devices.
#include <cvsim/machine.h>

namespace cvsim {

void CreateDefaultMachine(const std::string&) {}

std::shared_ptr<winapi::DeviceDriver> OpenMachineDevice(const std::string&, const std::string&) { return nullptr; }

}  // namespace cvsim
