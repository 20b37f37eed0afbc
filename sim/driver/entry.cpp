// Loading and unloading: the device "\Device\NAME" with NAME the driver's own
// services key, so that one image serves any instance name.
#include "driver.h"

namespace cvsim {

namespace {

// "\Registry\Machine\System\CurrentControlSet\Services\cvlan1": cvlan1.
void LastComponent(PCUNICODE_STRING path, const WCHAR *&name, USHORT &length) {
  USHORT chars = path->Length / sizeof(WCHAR), from = chars;
  while (from > 0 && path->Buffer[from - 1] != L'\\') --from;
  name = path->Buffer + from;
  length = static_cast<USHORT>(chars - from);
}

// prefix + name into buffer; false when it does not fit.
bool BuildName(UNICODE_STRING &out, WCHAR *buffer, const WCHAR *prefix, const WCHAR *name, USHORT nameLength) {
  unsigned n = 0;
  for (const WCHAR *p = prefix; *p; ++p) buffer[n++] = *p;
  if (nameLength == 0 || n + nameLength >= kNameCapacity) return false;
  for (USHORT i = 0; i < nameLength; ++i) buffer[n++] = name[i];
  buffer[n] = 0;
  out.Buffer = buffer;
  out.Length = static_cast<USHORT>(n * sizeof(WCHAR));
  out.MaximumLength = static_cast<USHORT>((n + 1) * sizeof(WCHAR));
  return true;
}

void NTAPI Unload(PDRIVER_OBJECT driver) {
  PDEVICE_OBJECT device = driver->DeviceObject;
  if (!device) return;
  auto *extension = static_cast<DeviceExtension *>(device->DeviceExtension);
  if (extension->linkName.Length) IoDeleteSymbolicLink(&extension->linkName);
  IoDeleteDevice(device);
}

} // namespace

uint64_t DriverMilliseconds() { return KeQueryInterruptTime() / 10000; }

} // namespace cvsim

extern "C" NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath) {
  using namespace cvsim;
  const WCHAR *name = nullptr;
  USHORT nameLength = 0;
  LastComponent(registryPath, name, nameLength);
  WCHAR deviceBuffer[kNameCapacity];
  UNICODE_STRING deviceName;
  if (!BuildName(deviceName, deviceBuffer, L"\\Device\\", name, nameLength)) return STATUS_OBJECT_NAME_INVALID;

  PDEVICE_OBJECT device = nullptr;
  NTSTATUS status =
      IoCreateDevice(driver, sizeof(DeviceExtension), &deviceName, FILE_DEVICE_PHYSICAL_NETCARD, 0, FALSE, &device);
  if (!NT_SUCCESS(status)) return status;
  auto *extension = static_cast<DeviceExtension *>(device->DeviceExtension);
  KeInitializeMutex(&extension->lock, 0);
  extension->linkName.Length = 0;
  extension->generation = 0;
  InitAdapter(extension->state, AdapterSetup{});
  SyncClock(extension->state, DriverMilliseconds());

#ifdef _WIN64
  // In 64-bit processes Wine's DefineDosDeviceA mangles names of more than four
  // characters, so the 64-bit driver names its device itself, and the library
  // finds the name defined already.
  if (BuildName(extension->linkName, extension->linkBuffer, L"\\DosDevices\\", name, nameLength)) {
    status = IoCreateSymbolicLink(&extension->linkName, &deviceName);
    if (!NT_SUCCESS(status)) {
      IoDeleteDevice(device);
      return status;
    }
  }
#endif

  driver->MajorFunction[IRP_MJ_CREATE] = DispatchCreateClose;
  driver->MajorFunction[IRP_MJ_CLOSE] = DispatchCreateClose;
  driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = DispatchDeviceControl;
  driver->DriverUnload = Unload;
  DbgPrint("cvsim: the simulated adapter is ready\n");
  return STATUS_SUCCESS;
}
