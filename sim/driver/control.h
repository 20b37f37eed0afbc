// The simulated adapter driver's own control codes, beside the NDIS statistics
// request that the programs send. cvsim reads a snapshot of the adapter state,
// changes it as it changes a POSIX machine's state file, and puts it back; the
// driver refuses the put when a request changed the adapter in between, and
// cvsim starts again from a new snapshot. So every cvsim command is one atomic
// step on both hosts, and the code of each command is the same.
#pragma once

#include <core/adapter_state.h>

#include <stdint.h>

namespace cvsim {

// CTL_CODE(FILE_DEVICE_PHYSICAL_NETCARD, function, METHOD_BUFFERED, FILE_ANY_ACCESS):
// the adapter's device type, functions from the vendors' range.
constexpr uint32_t kDeviceTypeNetcard = 0x17;
constexpr uint32_t ControlCode(uint32_t function) { return (kDeviceTypeNetcard << 16) | (function << 2); }

enum : uint32_t {
  kIoctlGetState = ControlCode(0x900), // output: StateTransfer
  kIoctlPutState = ControlCode(0x901), // input: StateTransfer
  kTransferMagic = 0x54535643,         // "CVST"
};

struct StateTransfer {
  uint32_t magic;
  uint32_t generation; // counts the changes of the state; a put names the one it read
  uint64_t hostNowMs;  // the driver's clock when the snapshot was taken
  AdapterState state;
};

} // namespace cvsim
