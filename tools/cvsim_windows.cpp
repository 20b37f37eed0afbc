// cvsim under Windows: the machine is the system itself and its adapter the
// simulated adapter driver. `init` installs the driver as a kernel service of
// the instance's name and starts it; every other step reads the adapter state
// from the driver, changes it as on POSIX, and puts it back (driver/control.h).
#include "cvsim_commands.h"

#include <core/instance_parameters.h>
#include <driver/control.h>

#include <windows.h>
#include <winternl.h>

#include <cstring>
#include <memory>

namespace cvsim {

namespace {

constexpr char kServicesKey[] = "SYSTEM\\CurrentControlSet\\Services";
constexpr char kDriverImage[] = "cvlan1.sys"; // built beside cvsim.exe
constexpr int kAttempts = 50;

std::string ErrorText(DWORD error) { return "error " + std::to_string(error); }

class Device {
 public:
  Device() = default;
  explicit Device(HANDLE handle) : handle_(handle) {}
  Device(Device &&other) noexcept : handle_(other.handle_) { other.handle_ = INVALID_HANDLE_VALUE; }
  Device &operator=(Device &&other) noexcept {
    std::swap(handle_, other.handle_);
    return *this;
  }
  ~Device() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  explicit operator bool() const { return handle_ != INVALID_HANDLE_VALUE; }

  DWORD Get(StateTransfer &transfer) const {
    DWORD returned = 0;
    if (!DeviceIoControl(handle_, kIoctlGetState, nullptr, 0, &transfer, sizeof transfer, &returned, nullptr))
      return GetLastError();
    return returned == sizeof transfer && transfer.magic == kTransferMagic ? ERROR_SUCCESS : ERROR_INVALID_DATA;
  }

  DWORD Put(StateTransfer &transfer) const {
    DWORD returned = 0;
    return DeviceIoControl(handle_, kIoctlPutState, &transfer, sizeof transfer, nullptr, 0, &returned, nullptr)
               ? ERROR_SUCCESS
               : GetLastError();
  }

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// "\Device\NAME", opened as a kernel device: no DOS device name is needed.
Device OpenKernelDevice(const std::string &name) {
  std::wstring path = L"\\Device\\" + std::wstring(name.begin(), name.end());
  UNICODE_STRING unicode;
  RtlInitUnicodeString(&unicode, path.c_str());
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &unicode, OBJ_CASE_INSENSITIVE, nullptr, nullptr);
  IO_STATUS_BLOCK io;
  HANDLE handle = INVALID_HANDLE_VALUE;
  NTSTATUS status =
      NtCreateFile(&handle, GENERIC_READ | SYNCHRONIZE, &attributes, &io, nullptr, 0,
                   FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_OPEN, FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
  return status >= 0 ? Device(handle) : Device();
}

// The services that cvsim made carry this display name.
constexpr char kDisplayName[] = "Simulated adapter (cvsim)";

bool IsSimulatedAdapter(const std::string &name) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, (std::string(kServicesKey) + "\\" + name).c_str(), 0, KEY_QUERY_VALUE, &key) !=
      ERROR_SUCCESS)
    return false;
  char display[64] = "";
  DWORD size = sizeof display - 1, type = 0;
  LONG read = RegQueryValueExA(key, "DisplayName", nullptr, &type, reinterpret_cast<BYTE *>(display), &size);
  RegCloseKey(key);
  return read == ERROR_SUCCESS && type == REG_SZ && std::strcmp(display, kDisplayName) == 0;
}

// The services of simulated adapters, running or not, in the registry's order.
std::vector<std::string> Adapters() {
  std::vector<std::string> names;
  HKEY services;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kServicesKey, 0, KEY_ENUMERATE_SUB_KEYS, &services) != ERROR_SUCCESS)
    return names;
  char name[256];
  for (DWORD i = 0; RegEnumKeyA(services, i, name, sizeof name) == ERROR_SUCCESS; ++i)
    if (IsSimulatedAdapter(name)) names.push_back(name);
  RegCloseKey(services);
  return names;
}

// The device of a simulated adapter's service, when its driver runs and answers.
Device OpenAdapter(const std::string &name) {
  Device device = OpenKernelDevice(name);
  auto probe = std::make_unique<StateTransfer>();
  if (!device || device.Get(*probe) != ERROR_SUCCESS) return Device();
  return device;
}

class ServiceManager {
 public:
  ServiceManager() : scm_(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS)) {}
  ~ServiceManager() {
    if (scm_) CloseServiceHandle(scm_);
  }
  SC_HANDLE get() const { return scm_; }

 private:
  SC_HANDLE scm_;
};

bool WaitForState(SC_HANDLE service, DWORD wanted) {
  SERVICE_STATUS status;
  for (int i = 0; i < 100; ++i) {
    if (!QueryServiceStatus(service, &status)) return false;
    if (status.dwCurrentState == wanted) return true;
    Sleep(50);
  }
  return false;
}

void StopService(SC_HANDLE service) {
  SERVICE_STATUS status;
  if (ControlService(service, SERVICE_CONTROL_STOP, &status)) WaitForState(service, SERVICE_STOPPED);
}

// Runs `act` on the adapter behind `device` as one step: again from a new
// snapshot when a request changed the adapter before the put.
int Step(const Device &device, const AdapterAct &act) {
  auto snapshot = std::make_unique<StateTransfer>();
  auto work = std::make_unique<StateTransfer>();
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    if (DWORD error = device.Get(*snapshot)) return Fail("cannot read the adapter state: " + ErrorText(error));
    *work = *snapshot;
    Output output;
    int status = act(work->state, work->hostNowMs, output);
    DWORD error =
        std::memcmp(&work->state, &snapshot->state, sizeof(AdapterState)) == 0 ? ERROR_SUCCESS : device.Put(*work);
    if (error == ERROR_SUCCESS) {
      Print(output);
      return status;
    }
    if (error != ERROR_RETRY) return Fail("the driver refused the adapter state: " + ErrorText(error));
  }
  return Fail("the adapter kept changing: no step after " + std::to_string(kAttempts) + " attempts");
}

class WindowsHost : public Host {
 public:
  const char *Invocation() const override { return "cvsim"; }

  int Init(const InitOptions &options) override {
    if (!options.instanceKey) {
      std::fprintf(stderr, "cvsim: init --no-instance: a driver is started from its services key\n");
      return 2;
    }
    ServiceManager scm;
    if (!scm.get()) return Fail("cannot open the service control manager: " + ErrorText(GetLastError()));
    // One adapter on the machine, as on POSIX: the others go, running or not.
    for (const std::string &other : Adapters())
      if (lstrcmpiA(other.c_str(), options.instance.c_str()) != 0) Remove(scm.get(), other);

    SC_HANDLE service = OpenServiceA(scm.get(), options.instance.c_str(), SERVICE_ALL_ACCESS);
    if (service && !IsSimulatedAdapter(options.instance)) {
      CloseServiceHandle(service);
      return Fail("the service " + options.instance + " is not a simulated adapter");
    }
    if (!service) {
      std::string image;
      if (int status = CopyImage(options.instance, image)) return status;
      service = CreateServiceA(scm.get(), options.instance.c_str(), kDisplayName, SERVICE_ALL_ACCESS,
                               SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, image.c_str(),
                               nullptr, nullptr, nullptr, nullptr, nullptr);
      if (!service) return Fail("cannot create the service " + options.instance + ": " + ErrorText(GetLastError()));
    }
    int status = WriteParameters(options);
    if (status == 0) status = options.device ? Start(service, options.instance) : (StopService(service), 0);
    CloseServiceHandle(service);
    if (status || !options.device) return status;

    Device device = OpenAdapter(options.instance);
    if (!device) return Fail("the driver " + options.instance + " runs but does not answer");
    return Step(device, [&](AdapterState &state, uint64_t hostNowMs, Output &) {
      InitAdapter(state, options.setup);
      SyncClock(state, hostNowMs);
      if (options.frozen) Freeze(state);
      return 0;
    });
  }

  // The machine's adapter: the first one running, in the registry's order.
  int OnAdapter(const AdapterAct &act) override {
    for (const std::string &name : Adapters())
      if (Device device = OpenAdapter(name)) return Step(device, act);
    return Fail("no simulated adapter driver runs (cvsim init starts one)");
  }

  bool HasAdapter() override {
    for (const std::string &name : Adapters())
      if (OpenAdapter(name)) return true;
    return false;
  }

  int FailDosRemoval(bool) override {
    return Fail("fail-dos-removal: the DOS device names are the system's here; nothing can make their removal fail");
  }

  // What CV_UTIL meets on its way: the first services key cvlan1 to cvlan4, the
  // device its DOS device name leads to (or the one it would define), the
  // driver's version. Nothing is changed.
  int Check() override {
    std::string services = std::string("HKEY_LOCAL_MACHINE\\") + kServicesKey;
    HKEY key;
    LONG opened = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kServicesKey, 0, KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS, &key);
    if (opened != ERROR_SUCCESS) {
      CheckLine("registry: " + services + " cannot be opened: " + ErrorText(static_cast<DWORD>(opened)));
      return CheckVerdict(false);
    }
    std::string instance;
    char name[256];
    for (DWORD i = 0; instance.empty() && RegEnumKeyA(key, i, name, sizeof name) == ERROR_SUCCESS; ++i)
      if (IsInstanceName(name)) instance = name;
    RegCloseKey(key);
    if (instance.empty()) {
      CheckLine("instance: no key cvlan1 to cvlan4 under " + services);
      return CheckVerdict(false);
    }
    CheckLine("instance: " + instance + " (" + services + "\\" + instance + ")");

    char target[512] = "";
    bool defined = QueryDosDeviceA(instance.c_str(), target, sizeof target) != 0;
    std::string device = defined ? std::string(target) : "\\Device\\" + instance;
    const std::string prefix = "\\Device\\";
    Device adapter =
        device.compare(0, prefix.size(), prefix) == 0 ? OpenAdapter(device.substr(prefix.size())) : Device();
    auto transfer = std::make_unique<StateTransfer>();
    bool found = adapter && adapter.Get(*transfer) == ERROR_SUCCESS;
    std::string how = defined ? " (the target of the DOS device name " + instance + ")" : "";
    CheckLine("device: " + device + (found ? "" : ": no simulated adapter answers there") + how);
    if (found) found = CheckDriverVersion(transfer->state);
    CheckLine(defined ? "DOS device names: left defined: " + instance + " -> " + target
                      : "DOS device names: " + instance + " is not defined");
    return CheckVerdict(found);
  }

 private:
  // The driver image beside cvsim.exe, copied to system32\drivers\NAME.sys.
  static int CopyImage(const std::string &name, std::string &target) {
    char self[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, self, sizeof self);
    if (length == 0 || length >= sizeof self) return Fail("cannot find cvsim.exe's folder");
    std::string source(self, length);
    source = source.substr(0, source.find_last_of("\\/") + 1) + kDriverImage;
    char system[MAX_PATH];
    UINT systemLength = GetSystemDirectoryA(system, sizeof system);
    if (systemLength == 0 || systemLength >= sizeof system) return Fail("cannot find the system folder");
    // Absolute: Wine loads no driver from a path relative to the system root.
    target = std::string(system, systemLength) + "\\drivers\\" + name + ".sys";
    if (!CopyFileA(source.c_str(), target.c_str(), FALSE))
      return Fail("cannot copy " + source + " to " + target + ": " + ErrorText(GetLastError()));
    return 0;
  }

  static int Start(SC_HANDLE service, const std::string &name) {
    if (!StartServiceA(service, 0, nullptr) && GetLastError() != ERROR_SERVICE_ALREADY_RUNNING)
      return Fail("cannot start the driver " + name + ": " + ErrorText(GetLastError()));
    return WaitForState(service, SERVICE_RUNNING) ? 0 : Fail("the driver " + name + " does not run");
  }

  // The instance's Parameters key as a new installation writes it, as on POSIX.
  static int WriteParameters(const InitOptions &options) {
    std::string path = std::string(kServicesKey) + "\\" + options.instance + "\\Parameters";
    HKEY key;
    LONG error =
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
    if (error != ERROR_SUCCESS) return Fail("cannot write " + path + ": " + ErrorText(static_cast<DWORD>(error)));
    for (const InstanceParameter &p : kInstanceParameters) {
      DWORD value = std::strcmp(p.name, kCellApParameter) == 0 ? (options.setup.cellAp ? 1 : 0) : p.value;
      if (error == ERROR_SUCCESS)
        error = RegSetValueExA(key, p.name, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value), sizeof value);
    }
    RegCloseKey(key);
    return error == ERROR_SUCCESS ? 0 : Fail("cannot write " + path + ": " + ErrorText(static_cast<DWORD>(error)));
  }

  static void Remove(SC_HANDLE scm, const std::string &name) {
    SC_HANDLE service = OpenServiceA(scm, name.c_str(), SERVICE_ALL_ACCESS);
    if (!service) return;
    StopService(service);
    DeleteService(service);
    CloseServiceHandle(service);
  }
};

} // namespace

} // namespace cvsim

int main(int argc, char **argv) {
  cvsim::WindowsHost host;
  return cvsim::RunCommand(host, cvsim::Args(argv + 1, argv + argc));
}
