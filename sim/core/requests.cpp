// The driver's answer to each object identifier: check the operation and Length,
// act on the adapter, fill the reply.
#include "model_internal.h"

namespace cvsim {

namespace {

struct Call {
  AdapterState &s;
  uint16_t op;
  uint8_t *data;
  uint32_t size;      // data bytes sent: Length - 12
  uint32_t reply;     // data bytes reported back
  bool replyInLength; // the reply's size goes back in Length, not only as bytes returned
};

using Handler = uint32_t (*)(Call &);

struct OidHandler {
  uint32_t oid;
  uint8_t ops; // bit n: operation n is taken
  Handler answer;
};

constexpr uint8_t Op(uint16_t op) { return static_cast<uint8_t>(1u << op); }

// A reply of up to `available` bytes into a data area of the size the caller chose.
void ReplyWith(Call &c, const uint8_t *from, uint32_t available) {
  c.reply = Min(available, c.size);
  CopyBytes(c.data, from, c.reply);
  c.replyInLength = true;
}

uint32_t Word(const Call &c) { return Load16(c.data); }

uint32_t QueryConfig(Call &c) {
  if (c.size < kConfigSize) return kStatusBadLength;
  const DriverConfig &k = c.s.config;
  uint8_t *d = c.data;
  FillBytes(d, 0, kConfigSize);
  Store16(d + kCfgVersionMajor, k.versionMajor);
  Store16(d + kCfgVersionMinor, k.versionMinor);
  Store32(d + kCfgInterrupt, k.interrupt);
  Store32(d + kCfgIoBase, k.ioBase);
  Store32(d + kCfgMemoryAddress, k.memoryAddress);
  Store32(d + 16, kMemorySize); // size of the memory window
  Store16(d + kCfgAccessMode, k.accessMode);
  Store16(d + 38, Sb8(c.s, kSbDiversity));
  Store16(d + kCfgAuxValue, k.auxValue);
  Store16(d + kCfgNetId, Sb16(c.s, kSbNetId));
  Store16(d + kCfgRxInfo1, k.rxInfo1);
  Store16(d + kCfgRxInfo2, k.rxInfo2);
  d[kCfgRxInfo3] = k.rxInfo3;
  d[kCfgRxInfo4] = k.rxInfo4;
  d[kCfgRxInfo5] = k.rxInfo5;
  c.reply = kConfigSize;
  return kStatusSuccess;
}

// The texts stand 8 bytes into the caller's text area, the version first.
constexpr uint32_t kFirmwareTextPosition = 24;

uint32_t QueryFirmware(Call &c) {
  if (c.size < kFirmwareDataSize) return kStatusBadLength;
  if (Load16(c.data + kFwTextAreaSize) < kFirmwareTextPosition - 16 + 2 * kFirmwareTextLength) return kStatusBadLength;
  Store32(c.data + kFwTextPosition, kFirmwareTextPosition);
  uint8_t *text = c.data + kFwTextBase + kFirmwareTextPosition;
  for (uint32_t i = 0; i < kFirmwareTextLength; ++i) {
    text[i] = static_cast<uint8_t>(c.s.firmwareVersion[i]);
    text[kFirmwareTextLength + i] = static_cast<uint8_t>(c.s.firmwareDate[i]);
  }
  c.reply = kFirmwareDataSize;
  return kStatusSuccess;
}

uint32_t SetDiversity(Call &c) {
  if (c.size < 2) return kStatusBadLength;
  if (Word(c) > 0xFF) return kStatusBadData;
  SetSb8(c.s, kSbDiversity, static_cast<uint8_t>(Word(c)));
  return kStatusSuccess;
}

uint32_t SetTxDisable(Call &c) {
  if (c.size < 2) return kStatusBadLength;
  if (Word(c) > 1) return kStatusBadData;
  SetSb8(c.s, kSbTxDisabled, static_cast<uint8_t>(Word(c)));
  return kStatusSuccess;
}

uint32_t SetNetIdRequest(Call &c) {
  if (c.size < 2) return kStatusBadLength;
  SetNetId(c.s, static_cast<uint16_t>(Word(c)));
  return kStatusSuccess;
}

uint32_t SetRegulatoryTable(Call &c) {
  if (c.size < 2) return kStatusBadLength;
  if (Word(c) > 7) return kStatusBadData;
  SetSb8(c.s, kSbIeeeTable, static_cast<uint8_t>((Sb8(c.s, kSbIeeeTable) & ~7u) | Word(c)));
  return kStatusSuccess;
}

// Beacon delay and hopping sequence of the CellAP; a third word, when sent, is not used.
uint32_t SetCellApParams(Call &c) {
  if (c.size < 4) return kStatusBadLength;
  c.s.cellApBeaconDelay = static_cast<uint16_t>(Word(c));
  uint32_t hop = Load16(c.data + 2);
  if (IsCellAp(c.s) && hop < 79) SetSb8(c.s, kSbHopSequence, static_cast<uint8_t>(hop));
  return kStatusSuccess;
}

uint32_t SetPreferredApRequest(Call &c) {
  if (c.size < 8) return kStatusBadLength;
  SetPreferredAp(c.s, static_cast<uint16_t>(Word(c)));
  return kStatusSuccess;
}

uint32_t SetCellApId(Call &c) {
  if (c.size < 2) return kStatusBadLength;
  if (!IsCellAp(c.s)) return kStatusRefused;
  if (Word(c) > 0xFF) return kStatusBadData;
  SetSb8(c.s, kSbApId, static_cast<uint8_t>(Word(c)));
  return kStatusSuccess;
}

uint32_t SetAddressRequest(Call &c) {
  if (c.size < kAddressSize) return kStatusBadLength;
  if (c.data[0] & 1) return kStatusBadData; // a group address cannot be a station's
  SetStationAddress(c.s, c.data);
  return kStatusSuccess;
}

uint32_t SetRoamingParams(Call &c) {
  if (c.size < 6) return kStatusBadLength;
  CopyBytes(c.s.roamingParams, c.data, Min(c.size, sizeof c.s.roamingParams));
  return kStatusSuccess;
}

uint32_t QueryCurrentApEntry(Call &c) {
  if (IsCellAp(c.s) || !Associated(c.s)) return kStatusRefused;
  ReplyWith(c, ApSlot(c.s, c.s.net.currentAp), kApEntrySize);
  return kStatusSuccess;
}

uint32_t SetPowerMode(Call &c) {
  if (c.size < 2) return kStatusBadLength;
  if (Word(c) > 1) return kStatusBadData;
  if (IsCellAp(c.s)) return kStatusRefused; // an access point never sleeps
  SetSb8(c.s, kSbPowerMode, static_cast<uint8_t>(Word(c)));
  return kStatusSuccess;
}

uint32_t SetBeaconAlgorithm(Call &c) {
  if (c.size < 2) return kStatusBadLength;
  if (Word(c) > 0xFF) return kStatusBadData;
  SetSb8(c.s, kSbBeaconAlgorithm, static_cast<uint8_t>(Word(c)));
  return kStatusSuccess;
}

uint32_t QueryRadioInfo(Call &c) {
  if (c.size < 14) return kStatusBadLength;
  const uint8_t fields[] = {kSbHopSequence, kSbHopDelta,  kSbFrequency, kSbRadioType,
                            kSbDiversity,   kSbIeeeTable, kSbApId,      kSbBeaconAlgorithm};
  FillBytes(c.data, 0, 14);
  for (uint32_t i = 0; i < sizeof fields; ++i) c.data[i] = Sb8(c.s, fields[i]);
  Store16(c.data + 8, Sb16(c.s, kSbNetId));
  Store16(c.data + 10, c.s.cellApBeaconDelay);
  Store16(c.data + 12, Sb16(c.s, kSbApCount));
  c.reply = 14;
  return kStatusSuccess;
}

uint32_t Acl(Call &c) {
  switch (c.op) {
    case kOpQuery:
      // The whole list's size is reported even when less of it fits, so that a
      // caller can tell that its area was too small.
      c.reply = c.s.acl.count * kAddressSize;
      CopyBytes(c.data, reinterpret_cast<const uint8_t *>(&c.s.acl.entries), Min(c.reply, c.size));
      return kStatusSuccess;
    case kOpSet:
      AclClear(c.s);
      return kStatusSuccess;
    case kOpAdd:
      return c.size < kAddressSize ? kStatusBadLength : AclAdd(c.s, c.data);
    default:
      return c.size < kAddressSize ? kStatusBadLength : AclDelete(c.s, c.data);
  }
}

uint32_t SetAclEnforce(Call &c) {
  if (c.size < 2) return kStatusBadLength;
  if (Word(c) > 1) return kStatusBadData;
  c.s.acl.enforced = static_cast<uint8_t>(Word(c));
  if (IsCellAp(c.s)) DropUnlistedStations(c.s);
  return kStatusSuccess;
}

// A full scan of every channel; the station then joins the strongest access point.
uint32_t Rescan(Call &c) {
  AdapterState &s = c.s;
  AddSb16(s, kSbFullScans, 1);
  if (IsCellAp(s) || !Associated(s) || (Sb8(s, kSbPreferredApId) & 0x80)) return kStatusSuccess;
  uint32_t best = s.net.currentAp;
  for (uint32_t i = 0; i < kApTableSlots; ++i)
    if (s.net.aps[i].inRange && ApSlot(s, i)[kApStatus] != 0 &&
        Load16(ApSlot(s, i) + kApRssi) > Load16(ApSlot(s, best) + kApRssi))
      best = i;
  if (best != s.net.currentAp) Reassociate(s, best, kSbRoamApRssi);
  return kStatusSuccess;
}

uint32_t QueryApAddress(Call &c) {
  uint8_t address[kAddressSize];
  if (!GetApAddress(c.s, address)) return kStatusRefused;
  ReplyWith(c, address, kAddressSize);
  return kStatusSuccess;
}

// Adapter memory: data+0 the address, data+2 the count, the bytes from data+4.
uint32_t Memory(Call &c) {
  if (c.size < 4) return kStatusBadLength;
  uint32_t address = Load16(c.data), count = Load16(c.data + 2);
  if (count == 0 || count > kMaxMemoryTransfer || address + count > kMemorySize) return kStatusBadData;
  if (c.size < 4 + count) return kStatusBadLength;
  if (c.op == kOpQuery) {
    CopyBytes(c.data + 4, c.s.memory + address, count);
  } else {
    CopyBytes(c.s.memory + address, c.data + 4, count);
  }
  return kStatusSuccess;
}

uint32_t QueryMemorySize(Call &c) {
  if (c.size < 4) return kStatusBadLength;
  Store32(c.data, kMemorySize);
  c.reply = 4;
  return kStatusSuccess;
}

uint32_t SetMemoryWindow(Call &c) {
  if (c.size < 2) return kStatusBadLength;
  c.s.config.memoryAddress = Word(c) << 4;
  return kStatusSuccess;
}

// The signal of the access point in use, as the monitor shows it; a CellAP
// answers with the number of its stations.
uint32_t QuerySignal(Call &c) {
  if (c.size < 2) return kStatusBadLength;
  uint32_t value = 0;
  if (IsCellAp(c.s)) {
    value = Load16(c.s.memory + kMemAssocCount);
  } else if (Associated(c.s)) {
    value = Load16(ApSlot(c.s, c.s.net.currentAp) + kApRssi) / 4;
  }
  Store16(c.data, value);
  c.reply = 2;
  return kStatusSuccess;
}

// The address burnt into the adapter; the command puts it back in use.
uint32_t FactoryAddress(Call &c) {
  if (c.op == kOpCommand) {
    SetStationAddress(c.s, c.s.factoryAddress);
    return kStatusSuccess;
  }
  if (c.size < kAddressSize) return kStatusBadLength;
  CopyBytes(c.data, c.s.factoryAddress, kAddressSize);
  c.reply = kAddressSize;
  return kStatusSuccess;
}

uint32_t QueryCounters(Call &c) {
  if (c.size < kCountersDataSize) return kStatusBadLength;
  uint8_t *d = c.data;
  FillBytes(d, 0, kCountersOffset);
  CopyBytes(d, c.s.stationAddress, kAddressSize);
  CopyBytes(d + 6, StatusBlock(c.s) + kSbFirmwareText, 12);
  Store16(d + 18, Sb16(c.s, kSbNetId));
  uint64_t ms = c.s.clock.nowMs; // seconds up, from a 32-bit division (none of 64 bits in a kernel)
  Store32(d + 20, (ms > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(ms)) / 1000);
  for (uint32_t i = 0; i < kCounterCount; ++i) Store32(d + kCountersOffset + 4 * i, c.s.counters[i]);
  c.reply = kCountersDataSize;
  return kStatusSuccess;
}

uint32_t StatusBlockRequest(Call &c) {
  if (c.op == kOpQuery) {
    ReplyWith(c, StatusBlock(c.s), kStatusBlockSize);
    return kStatusSuccess;
  }
  // A set without data clears the statistics; the beacon words keep their upper bits.
  AdapterState &s = c.s;
  FillBytes(StatusBlock(s) + kSbAssocCount, 0, kSbPspBeacons - kSbAssocCount);
  SetSb16(s, kSbPspBeacons, Sb16(s, kSbPspBeacons) & 0xFC00);
  SetSb16(s, kSbBeaconTimeouts, Sb16(s, kSbBeaconTimeouts) & 0xFC00);
  for (uint32_t &counter : s.counters) counter = 0;
  return kStatusSuccess;
}

constexpr OidHandler kHandlers[] = {
    {kOidFirmware, Op(kOpQuery), QueryFirmware},
    {kOidDiversity, Op(kOpSet), SetDiversity},
    {kOidTxDisable, Op(kOpSet), SetTxDisable},
    {kOidNetId, Op(kOpSet), SetNetIdRequest},
    {kOidConfig, Op(kOpQuery), QueryConfig},
    {kOidRegulatoryTable, Op(kOpSet), SetRegulatoryTable},
    {kOidCellApParams, Op(kOpSet), SetCellApParams},
    {kOidPreferredAp, Op(kOpSet), SetPreferredApRequest},
    {kOidCellApId, Op(kOpSet), SetCellApId},
    {kOidSetAddress, Op(kOpSet), SetAddressRequest},
    {kOidRoamingParams, Op(kOpSet), SetRoamingParams},
    {kOidCurrentApEntry, Op(kOpQuery), QueryCurrentApEntry},
    {kOidPowerMode, Op(kOpSet), SetPowerMode},
    {kOidBeaconAlgorithm, Op(kOpSet), SetBeaconAlgorithm},
    {kOidRadioInfo, Op(kOpQuery), QueryRadioInfo},
    {kOidAcl, Op(kOpQuery) | Op(kOpSet) | Op(kOpAdd) | Op(kOpDelete), Acl},
    {kOidAclEnforce, Op(kOpSet), SetAclEnforce},
    {kOidRescan, Op(kOpCommand), Rescan},
    {kOidApAddress, Op(kOpQuery), QueryApAddress},
    {kOidMemory, Op(kOpQuery) | Op(kOpSet), Memory},
    {kOidMemorySize, Op(kOpQuery), QueryMemorySize},
    {kOidMemoryWindow, Op(kOpSet), SetMemoryWindow},
    {kOidSignal, Op(kOpQuery), QuerySignal},
    {kOidFactoryAddress, Op(kOpQuery) | Op(kOpCommand), FactoryAddress},
    {kOidCounters, Op(kOpQuery), QueryCounters},
    {kOidStatusBlock, Op(kOpQuery) | Op(kOpSet), StatusBlockRequest},
};

const OidHandler *FindHandler(uint32_t oid) {
  for (const OidHandler &h : kHandlers)
    if (h.oid == oid) return &h;
  return nullptr;
}

const Fault *FindFault(const AdapterState &s, uint32_t oid) {
  for (uint32_t i = 0; i < s.faults.count; ++i)
    if (s.faults.faults[i].oid == oid) return &s.faults.faults[i];
  return nullptr;
}

DriverReply Failed(uint32_t status) { return DriverReply{false, status, 0}; }

// The station address goes straight into the caller's buffer, without a block.
DriverReply AnswerAddress(AdapterState &s, uint8_t *buffer, uint32_t size) {
  LogRequest(s, kOidCurrentAddress, kLogNoBlock, size, nullptr, 0);
  if (const Fault *fault = FindFault(s, kOidCurrentAddress)) return Failed(fault->status);
  if (size < kAddressSize) return Failed(kStatusBadLength);
  CopyBytes(buffer, s.stationAddress, kAddressSize);
  return DriverReply{true, kStatusSuccess, kAddressSize};
}

uint32_t Dispatch(AdapterState &s, uint32_t oid, uint8_t *block, uint32_t length, uint32_t &bytesReturned) {
  const OidHandler *handler = FindHandler(oid);
  if (!handler) return kStatusNotSupported;
  uint16_t op = Load16(block + kBlockOperation);
  if (op > 7 || !(handler->ops & Op(op))) return kStatusBadOperation;
  Call call{s, op, block + kBlockHeader, length - kBlockHeader, length - kBlockHeader, false};
  uint32_t status = handler->answer(call);
  if (status != kStatusSuccess) return status;
  if (call.replyInLength) Store32(block + kBlockLength, kBlockHeader + call.reply);
  bytesReturned = kBlockHeader + call.reply;
  return kStatusSuccess;
}

} // namespace

DriverReply AnswerRequest(AdapterState &s, uint32_t oid, uint8_t *buffer, uint32_t size) {
  if (oid == kOidCurrentAddress) return AnswerAddress(s, buffer, size);
  uint32_t length = size >= 4 ? Load32(buffer + kBlockLength) : size;
  uint16_t op = size >= 6 ? Load16(buffer + kBlockOperation) : 0;
  bool wellFormed = size >= kBlockHeader && length >= kBlockHeader && length <= size;
  LogRequest(s, oid, op, length, wellFormed ? buffer + kBlockHeader : nullptr, wellFormed ? length - kBlockHeader : 0);
  if (size < kBlockHeader) return Failed(kStatusBadLength); // no room even for Status
  uint32_t bytesReturned = 0;
  const Fault *fault = FindFault(s, oid);
  uint32_t status;
  if (fault && fault->status != kStatusSuccess) {
    status = fault->status;
  } else if (!wellFormed) {
    status = kStatusBadLength;
  } else {
    // A fault with status 0 lets the request through and still fails the I/O control.
    status = Dispatch(s, oid, buffer, length, bytesReturned);
  }
  Store32(buffer + kBlockStatus, status);
  if (fault || status != kStatusSuccess) return Failed(status);
  return DriverReply{true, kStatusSuccess, bytesReturned};
}

} // namespace cvsim
