// The simulated adapter as an NT kernel-mode driver: one device whose extension
// holds the adapter state, answered by the model core.
#pragma once

// In C++ the DDK headers define these two after intrin.h has: keep only theirs.
#define __INTRINSIC_DEFINED_InterlockedBitTestAndSet
#define __INTRINSIC_DEFINED_InterlockedBitTestAndReset
#include <ntddk.h>

#include <core/adapter.h>

namespace cvsim {

// Room for "\Device\" or "\DosDevices\" and a services key name.
constexpr unsigned kNameCapacity = 64;

struct DeviceExtension {
  KMUTEX lock;             // one request at a time touches the state
  UNICODE_STRING linkName; // the DOS device name the driver made, or empty
  WCHAR linkBuffer[kNameCapacity];
  uint32_t generation; // counts the changes of the state
  AdapterState state;
};

// The driver's clock in milliseconds, for the model's simulated time.
uint64_t DriverMilliseconds();

NTSTATUS NTAPI DispatchCreateClose(PDEVICE_OBJECT device, PIRP irp);
NTSTATUS NTAPI DispatchDeviceControl(PDEVICE_OBJECT device, PIRP irp);

} // namespace cvsim
