// What sets change on the adapter, shared by requests and the control program.
#include "model_internal.h"

namespace cvsim {

namespace {

int32_t AclFind(const AdapterState &s, const uint8_t *address) {
  for (uint32_t i = 0; i < s.acl.count; ++i)
    if (SameBytes(s.acl.entries[i], address, kAddressSize)) return static_cast<int32_t>(i);
  return -1;
}

} // namespace

uint32_t AclAdd(AdapterState &s, const uint8_t *address) {
  if (AclFind(s, address) >= 0) return kStatusSuccess; // already listed: nothing to add
  if (s.acl.count >= kAclCapacity) return kStatusTableFull;
  CopyBytes(s.acl.entries[s.acl.count++], address, kAddressSize);
  return kStatusSuccess;
}

uint32_t AclDelete(AdapterState &s, const uint8_t *address) {
  int32_t found = AclFind(s, address);
  if (found < 0) return kStatusRefused;
  for (uint32_t i = static_cast<uint32_t>(found); i + 1 < s.acl.count; ++i)
    CopyBytes(s.acl.entries[i], s.acl.entries[i + 1], kAddressSize);
  --s.acl.count;
  if (IsCellAp(s)) DropUnlistedStations(s);
  return kStatusSuccess;
}

void AclClear(AdapterState &s) {
  s.acl.count = 0;
  // The whole table as one object: the compiler sees a write past entries[0] otherwise.
  FillBytes(reinterpret_cast<uint8_t *>(&s.acl.entries), 0, sizeof s.acl.entries);
}

void SetNetId(AdapterState &s, uint16_t netId) { SetSb16(s, kSbNetId, netId); }

void SetPreferredAp(AdapterState &s, uint16_t apId) {
  // Bit 7 is the adapter's own: set while it is associated with that access point.
  uint8_t id = static_cast<uint8_t>(apId & 0x7F);
  SetSb8(s, kSbPreferredApId, id);
  if (IsCellAp(s) || id == 0 || !Associated(s)) return;
  for (uint32_t i = 0; i < kApTableSlots; ++i) {
    const uint8_t *entry = ApSlot(s, i);
    if (s.net.aps[i].inRange && entry[kApStatus] != 0 && entry[kApId] == id) {
      if (i != s.net.currentAp) Reassociate(s, i, kSbRoamModeChange);
      SetSb8(s, kSbPreferredApId, static_cast<uint8_t>(id | 0x80));
      return;
    }
  }
}

void SetMode(AdapterState &s, bool cellAp) {
  if (cellAp == IsCellAp(s)) return;
  if (cellAp) {
    InitCellApNetwork(s);
  } else {
    InitStationNetwork(s);
  }
  s.config.auxValue = s.memory[kMemMode];
  WriteFirmwareText(s);
}

void SetStationAddress(AdapterState &s, const uint8_t *address) { CopyBytes(s.stationAddress, address, kAddressSize); }

void SetApAddress(AdapterState &s, const uint8_t *address) {
  if (IsCellAp(s)) {
    SetStationAddress(s, address);
  } else {
    CopyBytes(ApSlot(s, s.net.currentAp) + kApAddress, address, kAddressSize);
  }
}

bool GetApAddress(const AdapterState &s, uint8_t *address) {
  if (IsCellAp(s)) {
    CopyBytes(address, s.stationAddress, kAddressSize);
    return true;
  }
  if (!Associated(s)) return false;
  CopyBytes(address, ApSlot(s, s.net.currentAp) + kApAddress, kAddressSize);
  return true;
}

void SetFirmwareVersion(AdapterState &s, const char *text6) {
  for (uint32_t i = 0; i < kFirmwareTextLength; ++i) s.firmwareVersion[i] = text6[i];
  WriteFirmwareText(s);
}

void SetFirmwareDate(AdapterState &s, const char *text6) {
  for (uint32_t i = 0; i < kFirmwareTextLength; ++i) s.firmwareDate[i] = text6[i];
}

bool SetFault(AdapterState &s, uint32_t oid, uint32_t status) {
  for (uint32_t i = 0; i < s.faults.count; ++i) {
    if (s.faults.faults[i].oid == oid) {
      s.faults.faults[i].status = status;
      return true;
    }
  }
  if (s.faults.count >= kFaultCapacity) return false;
  s.faults.faults[s.faults.count++] = Fault{oid, status};
  return true;
}

void ClearFaults(AdapterState &s) { s.faults = FaultTable{}; }

} // namespace cvsim
