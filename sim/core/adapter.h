// The simulated adapter's driver side: make an adapter, let its time run,
// answer requests, and the controls that a test bench turns. Freestanding: no
// allocation, no exceptions, no host calls; the host passes in its clock.
#pragma once

#include "adapter_state.h"

#include <stdint.h>

namespace cvsim {

struct AdapterSetup {
  bool cellAp = false;
  uint16_t versionMajor = 2;
  uint16_t versionMinor = 10;
};

// A fresh adapter that has been running for a few minutes on a busy network.
void InitAdapter(AdapterState &state, const AdapterSetup &setup);
// Whether bytes that claim to be an adapter state are one of this layout.
bool IsAdapterState(const AdapterState &state);
// And beyond that, one whose counts and indexes stay within their arrays.
bool IsSoundAdapterState(const AdapterState &state);

// Time. SyncClock lets simulated time follow the host clock (milliseconds, any
// origin shared by every caller) unless frozen; AdvanceTime steps it directly.
void SyncClock(AdapterState &state, uint64_t hostNowMs);
void AdvanceTime(AdapterState &state, uint64_t ms);
void Freeze(AdapterState &state);
void Thaw(AdapterState &state, uint64_t hostNowMs);

// One I/O control with object identifier `oid` and the caller's output buffer:
// the request block, or for kOidCurrentAddress the plain address buffer. On
// failure the status has been written into the block when there is one.
struct DriverReply {
  bool ok;
  uint32_t status;        // driver status, meaningful when !ok
  uint32_t bytesReturned; // meaningful when ok
};
DriverReply AnswerRequest(AdapterState &state, uint32_t oid, uint8_t *buffer, uint32_t size);

// Controls. Those that a request can also reach return its driver status.
uint32_t AclAdd(AdapterState &state, const uint8_t *address);
uint32_t AclDelete(AdapterState &state, const uint8_t *address);
void AclClear(AdapterState &state);
void SetNetId(AdapterState &state, uint16_t netId);
void SetPreferredAp(AdapterState &state, uint16_t apId);
void SetMode(AdapterState &state, bool cellAp);
bool IsCellAp(const AdapterState &state);
void SetStationAddress(AdapterState &state, const uint8_t *address);
// The address of the access point the adapter is associated with (its own in CellAP mode).
void SetApAddress(AdapterState &state, const uint8_t *address);
bool GetApAddress(const AdapterState &state, uint8_t *address);
void SetFirmwareVersion(AdapterState &state, const char *text6);
void SetFirmwareDate(AdapterState &state, const char *text6);
// From now on every request with `oid` fails with `status`. False when the table is full.
bool SetFault(AdapterState &state, uint32_t oid, uint32_t status);
void ClearFaults(AdapterState &state);

// The request log.
struct LogRecord {
  uint32_t oid;
  uint32_t length;    // Length as sent (the output size for a request without a block)
  uint16_t operation; // kLogNoBlock: the request had no block
  uint32_t dataSize;  // data bytes sent
  uint32_t keptSize;  // of them kept in the log (fewer only for a huge request)
};
void LogClear(AdapterState &state);
// Visits the records oldest first: `cursor` starts at 0; each call fills `record` and
// copies up to `capacity` kept data bytes into `data`. False after the last.
bool LogNext(const AdapterState &state, uint32_t &cursor, LogRecord &record, uint8_t *data, uint32_t capacity);

// The status block in adapter memory, and the 16-bit counters in it.
inline uint8_t *StatusBlock(AdapterState &state) { return state.memory + kMemStatusBlock; }
inline const uint8_t *StatusBlock(const AdapterState &state) { return state.memory + kMemStatusBlock; }

} // namespace cvsim
