#include <cvsim/simulated_device.h>

#include <cvsim/adapter_store.h>
#include <core/bytes.h>

namespace cvsim {

DWORD ErrorForDriverStatus(uint32_t status) {
  switch (status) {
    case kStatusNotSupported:
    case kStatusBadOperation:
      return ERROR_NOT_SUPPORTED;
    case kStatusBadLength:
      return ERROR_INSUFFICIENT_BUFFER;
    case kStatusBadData:
      return ERROR_INVALID_PARAMETER;
    default:
      return ERROR_GEN_FAILURE;
  }
}

DWORD SimulatedDevice::IoControl(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                                 DWORD* bytesReturned) {
  if (code != kQueryGlobalStats) return ERROR_INVALID_FUNCTION;
  if (!in || inSize < 4 || (!out && outSize != 0)) return ERROR_INVALID_PARAMETER;
  uint32_t oid = Load32(static_cast<const uint8_t*>(in));
  auto* buffer = static_cast<uint8_t*>(out);
  DriverReply reply{};
  AdapterAccess access =
      WithAdapter(root_, device_, [&](AdapterState& state) { reply = AnswerRequest(state, oid, buffer, outSize); });
  switch (access) {
    case AdapterAccess::kNoDevice:
      return ERROR_DEV_NOT_EXIST;
    case AdapterAccess::kDamaged:
    case AdapterAccess::kNotSaved:
      // The request did not happen; say so in the block as the driver would.
      if (oid != kOidCurrentAddress && outSize >= kBlockHeader) Store32(buffer + kBlockStatus, kStatusFailure);
      return ERROR_GEN_FAILURE;
    case AdapterAccess::kDone:
      break;
  }
  if (!reply.ok) return ErrorForDriverStatus(reply.status);
  if (bytesReturned) *bytesReturned = reply.bytesReturned;
  return ERROR_SUCCESS;
}

}  // namespace cvsim
