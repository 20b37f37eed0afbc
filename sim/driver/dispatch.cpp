// The requests: the NDIS statistics I/O control of the programs, answered by the
// model core, and the driver's own control codes for cvsim.
#include "driver.h"

#include <core/bytes.h>
#include <driver/control.h>

namespace cvsim {

namespace {

constexpr ULONG kQueryGlobalStats = 0x00170002; // IOCTL_NDIS_QUERY_GLOBAL_STATS, METHOD_OUT_DIRECT

// The NT status that becomes the Win32 error the POSIX glue gives for a driver status.
NTSTATUS StatusForDriverStatus(uint32_t status) {
  switch (status) {
    case kStatusNotSupported:
    case kStatusBadOperation:
      return STATUS_NOT_SUPPORTED;
    case kStatusBadLength:
      return STATUS_BUFFER_TOO_SMALL;
    case kStatusBadData:
      return STATUS_INVALID_PARAMETER;
    default:
      return STATUS_UNSUCCESSFUL;
  }
}

class Locked {
 public:
  explicit Locked(DeviceExtension *e) : e_(e) {
    KeWaitForSingleObject(&e_->lock, Executive, KernelMode, FALSE, nullptr);
  }
  ~Locked() { KeReleaseMutex(&e_->lock, FALSE); }
  Locked(const Locked &) = delete;
  Locked &operator=(const Locked &) = delete;

 private:
  DeviceExtension *e_;
};

NTSTATUS Complete(PIRP irp, NTSTATUS status, ULONG_PTR information) {
  irp->IoStatus.Status = status;
  irp->IoStatus.Information = information;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return status;
}

// The object identifier in the system buffer, the request block (or the address
// buffer) through the MDL. On failure Status is in the block, nothing is returned.
NTSTATUS QueryGlobalStats(DeviceExtension *e, PIRP irp, const IO_STACK_LOCATION *stack) {
  ULONG inSize = stack->Parameters.DeviceIoControl.InputBufferLength;
  ULONG outSize = stack->Parameters.DeviceIoControl.OutputBufferLength;
  const void *in = irp->AssociatedIrp.SystemBuffer;
  if (!in || inSize < 4) return Complete(irp, STATUS_INVALID_PARAMETER, 0);
  uint8_t *out = nullptr;
  if (outSize) {
    if (!irp->MdlAddress) return Complete(irp, STATUS_INVALID_PARAMETER, 0);
    out = static_cast<uint8_t *>(MmGetSystemAddressForMdlSafe(irp->MdlAddress, NormalPagePriority));
    if (!out) return Complete(irp, STATUS_INSUFFICIENT_RESOURCES, 0);
  }
  uint32_t oid = Load32(static_cast<const uint8_t *>(in));
  DriverReply reply;
  {
    Locked hold(e);
    SyncClock(e->state, DriverMilliseconds());
    reply = AnswerRequest(e->state, oid, out, outSize);
    ++e->generation;
  }
  if (!reply.ok) return Complete(irp, StatusForDriverStatus(reply.status), 0);
  return Complete(irp, STATUS_SUCCESS, reply.bytesReturned);
}

NTSTATUS GetState(DeviceExtension *e, PIRP irp, const IO_STACK_LOCATION *stack) {
  if (stack->Parameters.DeviceIoControl.OutputBufferLength < sizeof(StateTransfer))
    return Complete(irp, STATUS_BUFFER_TOO_SMALL, 0);
  auto *transfer = static_cast<StateTransfer *>(irp->AssociatedIrp.SystemBuffer);
  {
    Locked hold(e);
    transfer->hostNowMs = DriverMilliseconds();
    SyncClock(e->state, transfer->hostNowMs);
    transfer->magic = kTransferMagic;
    transfer->generation = e->generation;
    CopyBytes(reinterpret_cast<uint8_t *>(&transfer->state), reinterpret_cast<const uint8_t *>(&e->state),
              sizeof(AdapterState));
  }
  return Complete(irp, STATUS_SUCCESS, sizeof(StateTransfer));
}

// A state that user mode made is taken only whole and sound, and only when the
// adapter has not changed since the snapshot it was made from.
NTSTATUS PutState(DeviceExtension *e, PIRP irp, const IO_STACK_LOCATION *stack) {
  const auto *transfer = static_cast<const StateTransfer *>(irp->AssociatedIrp.SystemBuffer);
  if (stack->Parameters.DeviceIoControl.InputBufferLength != sizeof(StateTransfer) || !transfer ||
      transfer->magic != kTransferMagic || !IsSoundAdapterState(transfer->state))
    return Complete(irp, STATUS_INVALID_PARAMETER, 0);
  Locked hold(e);
  if (transfer->generation != e->generation) return Complete(irp, STATUS_RETRY, 0);
  CopyBytes(reinterpret_cast<uint8_t *>(&e->state), reinterpret_cast<const uint8_t *>(&transfer->state),
            sizeof(AdapterState));
  ++e->generation;
  return Complete(irp, STATUS_SUCCESS, 0);
}

} // namespace

NTSTATUS NTAPI DispatchCreateClose(PDEVICE_OBJECT, PIRP irp) { return Complete(irp, STATUS_SUCCESS, 0); }

NTSTATUS NTAPI DispatchDeviceControl(PDEVICE_OBJECT device, PIRP irp) {
  auto *e = static_cast<DeviceExtension *>(device->DeviceExtension);
  const IO_STACK_LOCATION *stack = IoGetCurrentIrpStackLocation(irp);
  switch (stack->Parameters.DeviceIoControl.IoControlCode) {
    case kQueryGlobalStats:
      return QueryGlobalStats(e, irp, stack);
    case kIoctlGetState:
      return GetState(e, irp, stack);
    case kIoctlPutState:
      return PutState(e, irp, stack);
    default:
      return Complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
  }
}

} // namespace cvsim
