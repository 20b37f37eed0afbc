#include <cvsim/simulated_device.h>

#include <cvsim/adapter_store.h>
#include <core/bytes.h>

#include <atomic>
#include <cstdio>

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

namespace {

// Once a process: the programs' own output says only that the adapter failed.
void WarnDamaged(const std::string &path) {
  static std::atomic<bool> warned{false};
  if (!warned.exchange(true))
    std::fprintf(stderr, "%s: damaged, or made by an older version; `cvsim init` makes the machine anew\n",
                 path.c_str());
}

} // namespace

DWORD SimulatedDevice::IoControl(DWORD code, const void *in, DWORD inSize, void *out, DWORD outSize,
                                 DWORD *bytesReturned) {
  if (code != kQueryGlobalStats) return ERROR_INVALID_FUNCTION;
  if (!in || inSize < 4 || (!out && outSize != 0)) return ERROR_INVALID_PARAMETER;
  uint32_t oid = Load32(static_cast<const uint8_t *>(in));
  auto *buffer = static_cast<uint8_t *>(out);
  DriverReply reply{};
  AdapterAccess access = adapter_.Step(
      [&](AdapterState &state) { reply = AnswerRequest(state, oid, buffer, outSize); },
      [&](const AdapterState &state, uint64_t now) { return RequestUndoPlan(state, now, oid, buffer, outSize); });
  switch (access) {
    case AdapterAccess::kNoDevice:
      return ERROR_DEV_NOT_EXIST;
    case AdapterAccess::kDamaged:
      WarnDamaged(path_);
      [[fallthrough]];
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

} // namespace cvsim
