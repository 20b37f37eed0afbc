// The kernel side of a device, as DeviceIoControl reaches it. A handle opened with
// CreateFileA("\\\\.\\NAME") resolves NAME through the DOS device names to a kernel
// device such as "\\Device\\cvlan1"; requests on it go to that device's driver.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

namespace winapi {

class DeviceDriver {
 public:
  virtual ~DeviceDriver() = default;

  // One synchronous I/O control. Returns ERROR_SUCCESS, or the Win32 error that
  // DeviceIoControl reports through GetLastError. On success *bytesReturned is what
  // the caller receives; on failure the caller's count is left as it was. The driver
  // may write into out (outSize bytes) on either path, as a METHOD_OUT_DIRECT
  // driver writes through the caller's buffer.
  virtual DWORD IoControl(DWORD code, const void *in, DWORD inSize, void *out, DWORD outSize, DWORD *bytesReturned) = 0;
};

// Devices get their drivers by registration; winapi names no driver itself.
//
// A driver installed in this process for one kernel device answers every handle
// opened on it from then on; tests use this to script a driver and record what
// it receives. The kernel device name is compared without regard to case.
void InstallTestDriver(const std::string &kernelDevice, std::shared_ptr<DeviceDriver> driver);
void RemoveTestDriver(const std::string &kernelDevice);

// The drivers of a machine's own devices: given the system root and a kernel
// device name ("\Device\cvlan1", any case), its driver, or null when the machine
// has no such device. Asked, in the order registered, for a device that has no
// installed driver. Called without the machine lock held.
using DeviceDriverSource = std::shared_ptr<DeviceDriver> (*)(const std::string &root, const std::string &kernelDevice);
void RegisterDeviceDriverSource(DeviceDriverSource source);

// <root>/dosdevices/.fail-removal: while this file exists, every DefineDosDeviceA
// removal on the machine fails with ERROR_ACCESS_DENIED. Create it to show what a
// program does when it cannot remove a DOS device name; delete it to end that.
std::string DosDeviceRemovalFailureFlag(const std::string &root);

} // namespace winapi
