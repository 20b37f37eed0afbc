// The driver of a simulated adapter: NDIS statistics I/O controls answered by
// the model core, on the state kept in the machine's devices/ folder.
#pragma once

#include <cvsim/adapter_store.h>
#include <winapi/device_driver.h>

#include <cstdint>
#include <string>
#include <utility>

namespace cvsim {

// IOCTL_NDIS_QUERY_GLOBAL_STATS, the one control code the adapter's driver takes.
constexpr DWORD kQueryGlobalStats = 0x00170002;

class SimulatedDevice : public winapi::DeviceDriver {
 public:
  explicit SimulatedDevice(const std::string &path) : adapter_(path), path_(path) {}

  // Input: the 4-byte object identifier. Output: the request block (or the
  // address buffer). Each call is one atomic step on the mapped state.
  DWORD IoControl(DWORD code, const void *in, DWORD inSize, void *out, DWORD outSize, DWORD *bytesReturned) override;

 private:
  MappedAdapter adapter_;
  std::string path_;
};

// The Win32 error with which DeviceIoControl reports a driver status.
DWORD ErrorForDriverStatus(uint32_t status);

} // namespace cvsim
