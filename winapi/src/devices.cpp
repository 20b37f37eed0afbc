// Devices: CreateFileA("\\.\NAME") and DeviceIoControl.
//
// NAME resolves through the DOS device names to its current target, which must be a
// kernel device ("\Device\..."). Its driver is one installed in this process for
// that device, else the one that a registered source gives for the machine's device. The handle holds the driver
// until CloseHandle, so a device removed meanwhile still answers its open handles.
//
// Choices where Windows and Wine may differ (to probe on Windows):
// - access, share mode and disposition are not checked: every open of an existing
//   device succeeds; a DOS name without a device, or whose target is not a kernel
//   device, gives ERROR_FILE_NOT_FOUND;
// - DeviceIoControl is synchronous only: an OVERLAPPED gives ERROR_INVALID_PARAMETER;
//   a NULL buffer with a nonzero size gives ERROR_INVALID_PARAMETER (Windows says
//   ERROR_NOACCESS); a handle that is open but no device gives ERROR_INVALID_FUNCTION;
// - the driver's bytes-returned count reaches the caller unchanged, even when it
//   exceeds the output size: callers must not trust it, as with a real driver.
#include <windows.h>
#include <winapi/device_driver.h>
#include <winapi/sysroot.h>

#include "ascii_case.h"
#include "dos_devices.h"
#include "handle_table.h"
#include "open_kinds.h"
#include "trace.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <mutex>
#include <vector>

namespace winapi {
namespace {

class DeviceObject : public KernelObject {
 public:
  explicit DeviceObject(std::shared_ptr<DeviceDriver> driver) : driver(std::move(driver)) {}
  const std::shared_ptr<DeviceDriver> driver;
};

struct TestDrivers {
  std::mutex mutex;
  std::map<std::string, std::shared_ptr<DeviceDriver>> byDevice; // upper-cased kernel device name
  std::vector<DeviceDriverSource> sources;
};

TestDrivers &InstalledTestDrivers() {
  static TestDrivers *drivers = new TestDrivers; // never destroyed: handles may outlive statics
  return *drivers;
}

std::shared_ptr<DeviceDriver> FindTestDriver(const std::string &kernelDevice) {
  TestDrivers &drivers = InstalledTestDrivers();
  std::lock_guard lock(drivers.mutex);
  auto it = drivers.byDevice.find(AsciiUpper(kernelDevice));
  return it == drivers.byDevice.end() ? nullptr : it->second;
}

std::shared_ptr<DeviceDriver> FindMachineDriver(const std::string &root, const std::string &kernelDevice) {
  std::vector<DeviceDriverSource> sources;
  {
    TestDrivers &drivers = InstalledTestDrivers();
    std::lock_guard lock(drivers.mutex);
    sources = drivers.sources;
  }
  for (DeviceDriverSource source : sources)
    if (std::shared_ptr<DeviceDriver> driver = source(root, kernelDevice)) return driver;
  return nullptr;
}

} // namespace

void InstallTestDriver(const std::string &kernelDevice, std::shared_ptr<DeviceDriver> driver) {
  TestDrivers &drivers = InstalledTestDrivers();
  std::lock_guard lock(drivers.mutex);
  drivers.byDevice[AsciiUpper(kernelDevice)] = std::move(driver);
}

void RegisterDeviceDriverSource(DeviceDriverSource source) {
  TestDrivers &drivers = InstalledTestDrivers();
  std::lock_guard lock(drivers.mutex);
  if (std::find(drivers.sources.begin(), drivers.sources.end(), source) == drivers.sources.end())
    drivers.sources.push_back(source);
}

void RemoveTestDriver(const std::string &kernelDevice) {
  std::shared_ptr<DeviceDriver> doomed; // destroyed outside the lock
  TestDrivers &drivers = InstalledTestDrivers();
  std::lock_guard lock(drivers.mutex);
  auto it = drivers.byDevice.find(AsciiUpper(kernelDevice));
  if (it == drivers.byDevice.end()) return;
  doomed = std::move(it->second);
  drivers.byDevice.erase(it);
}

HANDLE OpenDevice(const char *dosName, DWORD, DWORD, DWORD) {
  std::string root = SystemRoot();
  std::optional<std::string> target = CurrentDosDeviceTarget(root, dosName);
  std::shared_ptr<DeviceDriver> driver;
  if (target && AsciiStartsWithNoCase(*target, "\\Device\\")) {
    driver = FindTestDriver(*target);
    if (!driver) driver = FindMachineDriver(root, *target);
  }
  if (!driver) {
    if (TracingFailures()) {
      std::string cause = !target ? "no DOS device name \"" + std::string(dosName) + "\" is defined"
                          : !AsciiStartsWithNoCase(*target, "\\Device\\")
                              ? "\"" + std::string(dosName) + "\" names " + *target + ", which is no kernel device"
                              : "no driver serves " + *target + " (no such device on this machine)";
      TraceFailure("CreateFileA(" + TraceString((std::string("\\\\.\\") + dosName).c_str()) + ")", ERROR_FILE_NOT_FOUND,
                   cause);
    }
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  return InsertHandle(std::make_shared<DeviceObject>(std::move(driver)));
}

} // namespace winapi

extern "C" BOOL WINAPI DeviceIoControl(HANDLE hDevice, DWORD dwIoControlCode, LPVOID lpInBuffer, DWORD nInBufferSize,
                                       LPVOID lpOutBuffer, DWORD nOutBufferSize, LPDWORD lpBytesReturned,
                                       LPOVERLAPPED lpOverlapped) {
  std::shared_ptr<winapi::KernelObject> object = winapi::LookupHandle(hDevice);
  auto *device = dynamic_cast<winapi::DeviceObject *>(object.get());
  DWORD error = ERROR_SUCCESS;
  if (!object) {
    error = ERROR_INVALID_HANDLE;
  } else if (!device) {
    error = ERROR_INVALID_FUNCTION;
  } else if (lpOverlapped || (!lpInBuffer && nInBufferSize) || (!lpOutBuffer && nOutBufferSize)) {
    error = ERROR_INVALID_PARAMETER;
  }
  DWORD returned = 0;
  bool byDriver = error == ERROR_SUCCESS;
  if (byDriver)
    error =
        device->driver->IoControl(dwIoControlCode, lpInBuffer, nInBufferSize, lpOutBuffer, nOutBufferSize, &returned);
  if (error != ERROR_SUCCESS) {
    if (winapi::TracingFailures()) {
      char call[96];
      std::snprintf(call, sizeof call, "DeviceIoControl(%p, 0x%08lx, %lu bytes in, %lu bytes out)", hDevice,
                    static_cast<unsigned long>(dwIoControlCode), static_cast<unsigned long>(nInBufferSize),
                    static_cast<unsigned long>(nOutBufferSize));
      const char *cause = byDriver       ? "the driver refused the request"
                          : !object      ? "not an open handle"
                          : !device      ? "the handle is no device"
                          : lpOverlapped ? "overlapped requests are not supported"
                                         : "a NULL buffer with a nonzero size";
      winapi::TraceFailure(call, error, cause);
    }
    SetLastError(error);
    return FALSE;
  }
  if (lpBytesReturned) *lpBytesReturned = returned;
  return TRUE;
}
