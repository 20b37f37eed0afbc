// cvsim on POSIX hosts: the machine is a system root; each step on its adapter
// runs under the machine lock on the state file of its first device.
#include "cvsim_check.h"
#include "cvsim_commands.h"

#include <cvsim/adapter_store.h>
#include <cvsim/machine.h>
#include <winapi/sysroot.h>

#include <cstdlib>
#include <filesystem>

namespace cvsim {

namespace {

class PosixHost : public Host {
 public:
  explicit PosixHost(std::string root) : root_(std::move(root)) {}

  const char *Invocation() const override { return "cvsim [--root DIR]"; }

  int Init(const InitOptions &options) override {
    MachineOptions machine;
    machine.cellAp = options.setup.cellAp;
    machine.versionMajor = options.setup.versionMajor;
    machine.versionMinor = options.setup.versionMinor;
    machine.instance = options.instance;
    machine.instanceKey = options.instanceKey;
    machine.device = options.device;
    machine.frozen = options.frozen;
    std::error_code error;
    std::filesystem::create_directories(root(), error);
    winapi::MachineLock lock(root());
    if (!lock.held() || !BuildMachine(root(), machine)) return Fail("cannot make a machine at " + root());
    return 0;
  }

  // The machine's adapter: the first of its devices in name order.
  int OnAdapter(const AdapterAct &act) override {
    EnsureMachine();
    std::vector<std::string> devices = ListDevices(root());
    if (devices.empty()) return Fail("the machine at " + root() + " has no simulated adapter");
    int status = 0;
    Output output;
    AdapterAccess access = WithAdapter(root(), devices.front(),
                                       [&](AdapterState &state) { status = act(state, HostMilliseconds(), output); });
    switch (access) {
      case AdapterAccess::kDone:
        Print(output);
        return status;
      case AdapterAccess::kNoDevice:
        return Fail("the machine at " + root() + " has no simulated adapter");
      case AdapterAccess::kDamaged:
        return Fail(DevicePath(root(), devices.front()) +
                    " is not a simulated adapter's state of this version; `cvsim init` makes the machine anew");
      case AdapterAccess::kNotSaved:
        break;
    }
    return Fail("cannot write " + DevicePath(root(), devices.front()));
  }

  int Check() override { return CheckMachine(root()); }

  bool HasAdapter() override {
    EnsureMachine();
    return !ListDevices(root()).empty();
  }

  int FailDosRemoval(bool on) override {
    EnsureMachine();
    winapi::MachineLock lock(root());
    std::string flag = root() + "/dosdevices/.fail-removal";
    std::error_code error;
    if (!on) {
      std::filesystem::remove(flag, error);
      return error ? Fail("cannot remove " + flag) : 0;
    }
    std::filesystem::create_directories(root() + "/dosdevices", error);
    return winapi::WriteFileAtomically(flag, "") ? 0 : Fail("cannot write " + flag);
  }

 private:
  const std::string &root() {
    if (root_.empty()) root_ = winapi::SystemRootPath();
    return root_;
  }

  // A machine that is not there yet is made, as the first program run makes it.
  void EnsureMachine() {
    setenv("CVLAN_SYSROOT", root().c_str(), 1);
    winapi::SystemRoot();
  }

  std::string root_;
};

} // namespace

} // namespace cvsim

int main(int argc, char **argv) {
  cvsim::Args args(argv + 1, argv + argc);
  std::string root;
  size_t next = 0;
  if (!args.empty() && args[0] == "--root") {
    if (args.size() < 2 || args[1].empty()) {
      cvsim::PosixHost host("");
      return cvsim::UsageError(host, args.size() < 2 ? "missing DIR after --root" : "an empty DIR after --root");
    }
    root = args[1];
    next = 2;
  }
  cvsim::PosixHost host(root);
  return cvsim::RunCommand(host, cvsim::Args(args.begin() + static_cast<long>(next), args.end()));
}
