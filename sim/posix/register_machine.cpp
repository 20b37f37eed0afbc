// Links the simulated machine into a program: winapi makes the default machine
// with it and finds the simulated adapter as the driver of the machine's devices.
// Built as objects and linked into each program, so that its registrar always runs
// before main(); the programs' own code never calls it.
#include <cvsim/machine.h>
#include <winapi/sysroot.h>

namespace cvsim {
namespace {

struct Registrar {
  Registrar() {
    winapi::RegisterMachineMaker(&CreateDefaultMachine);
    winapi::RegisterDeviceDriverSource(&OpenMachineDevice);
  }
};

const Registrar registrar;

} // namespace
} // namespace cvsim
