// A new adapter: configuration, addresses, firmware, and the network it finds.
#include "model_internal.h"

namespace cvsim {

namespace {

struct NeighbourAp {
  uint8_t id;
  uint8_t hop;
  int16_t rssi;
  uint8_t muCount;
  uint8_t load;
};

// The access points a station of the default machine hears: two strong ones
// close together (so that it roams now and then), a few weaker ones, and one at
// the edge of range that comes and goes.
constexpr NeighbourAp kNeighbours[] = {
    {0x03, 12, 118, 7, 35}, {0x05, 27, 170, 12, 48}, {0x07, 41, 140, 4, 22},
    {0x0A, 55, 96, 9, 60},  {0x0C, 66, 72, 2, 15},   {0x12, 8, 44, 1, 5},
};
constexpr uint32_t kNeighbourCount = sizeof kNeighbours / sizeof kNeighbours[0];
constexpr uint8_t kStationAddress[kAddressSize] = {0x02, 0x0E, 0x5A, 0x3C, 0x71, 0xA4};
constexpr uint8_t kCellApId = 0x0F;
constexpr uint8_t kCellApHopSequence = 22;
constexpr uint32_t kWarmUpMs = 5 * 60 * 1000;

void CopyText(char *to, const char *from, uint32_t n) {
  for (uint32_t i = 0; i < n; ++i) to[i] = from[i];
}

} // namespace

void WriteFirmwareText(AdapterState &s) {
  // "V4.37A STA": the firmware version and the kind of firmware loaded.
  uint8_t *text = StatusBlock(s) + kSbFirmwareText;
  FillBytes(text, 0, 12);
  for (uint32_t i = 0; i < kFirmwareTextLength; ++i) text[i] = static_cast<uint8_t>(s.firmwareVersion[i]);
  text[6] = ' ';
  const char *kind = IsCellAp(s) ? "CAP" : "STA";
  for (uint32_t i = 0; i < 3; ++i) text[7 + i] = static_cast<uint8_t>(kind[i]);
}

void InitStationNetwork(AdapterState &s) {
  FillBytes(s.memory + kMemApTable, 0, kApTableSlots * kApEntrySize);
  FillBytes(s.memory + kMemAssocCount, 0, 2 + kAssocTableSlots * kAssocEntrySize);
  for (ApModel &ap : s.net.aps) ap = ApModel{};
  for (StationModel &st : s.net.stations) st = StationModel{};
  Store16(s.memory + kMemApTablePtr, kMemApTable);
  Store16(s.memory + kMemAssocTablePtr, 0);
  s.memory[kMemMode] = kModeStation;
  for (uint32_t i = 0; i < kNeighbourCount; ++i) {
    const NeighbourAp &n = kNeighbours[i];
    uint8_t *entry = ApSlot(s, i);
    entry[kApStatus] = 0x02;
    entry[kApId] = n.id;
    entry[kApHop] = n.hop;
    const uint8_t address[kAddressSize] = {0x02, 0x0E, 0x5A, 0x10, 0x00, n.id};
    CopyBytes(entry + kApAddress, address, kAddressSize);
    Store16(entry + kApRssi, static_cast<uint16_t>(n.rssi));
    entry[kApMuCount] = n.muCount;
    entry[kApLoad] = n.load;
    s.net.aps[i] = ApModel{1, n.rssi, n.rssi, n.load};
  }
  SetSb8(s, kSbAssocStatus, 0x80);
  SetSb16(s, kSbStationId, 0x2C);
  SetSb8(s, kSbPreferredApId, 0);
  s.net.currentAp = 1;
  Reassociate(s, 1, 0);
}

void InitCellApNetwork(AdapterState &s) {
  FillBytes(s.memory + kMemApTable, 0, kApTableSlots * kApEntrySize);
  FillBytes(s.memory + kMemAssocCount, 0, 2 + kAssocTableSlots * kAssocEntrySize);
  for (ApModel &ap : s.net.aps) ap = ApModel{};
  for (StationModel &st : s.net.stations) st = StationModel{};
  Store16(s.memory + kMemApTablePtr, kMemApTable);
  Store16(s.memory + kMemAssocTablePtr, kMemAssocTable);
  s.memory[kMemMode] = kModeCellAp;
  SetSb8(s, kSbAssocStatus, 0x80);
  SetSb8(s, kSbApId, kCellApId);
  SetSb8(s, kSbPreferredApId, 0);
  SetSb16(s, kSbStationId, 0);
  SetSb8(s, kSbHopSequence, kCellApHopSequence);
  SetSb16(s, kSbCurrentApPtr, 0);
  SetSb16(s, kSbApCount, 0);
  s.net.nextStationId = 1;
  s.net.targetStations = 6;
  for (uint32_t i = 0; i < s.net.targetStations; ++i) AdmitStation(s);
}

void InitAdapter(AdapterState &s, const AdapterSetup &setup) {
  FillBytes(reinterpret_cast<uint8_t *>(&s), 0, sizeof s);
  s.magic = kStateMagic;
  s.layoutVersion = kStateLayoutVersion;
  s.size = sizeof s;
  s.random = 0x9E3779B97F4A7C15ULL;
  s.config = DriverConfig{setup.versionMajor, setup.versionMinor, 5, 0x340, 0xD0000, 2, 0, 1518, 8, 4, 1, 0};
  CopyText(s.firmwareVersion, "V4.37A", kFirmwareTextLength);
  CopyText(s.firmwareDate, "070296", kFirmwareTextLength);
  CopyBytes(s.stationAddress, kStationAddress, kAddressSize);
  CopyBytes(s.factoryAddress, kStationAddress, kAddressSize);
  s.cellApBeaconDelay = 10;
  s.net.activity = 500;

  SetSb16(s, kSbNetId, 0x0101);
  SetSb8(s, kSbBeaconAlgorithm, 2);
  SetSb8(s, kSbIeeeTable, 1);
  SetSb8(s, kSbRadioType, 2);
  SetSb8(s, kSbDiversity, 0);
  SetSb8(s, kSbHopDelta, 7);
  SetSb16(s, kSbPspBeacons, 0x0400); // upper bits: the beacon interval code
  SetSb16(s, kSbBeaconTimeouts, 0x0800);
  if (setup.cellAp) {
    s.memory[kMemMode] = kModeCellAp;
    InitCellApNetwork(s);
  } else {
    InitStationNetwork(s);
  }
  s.config.auxValue = s.memory[kMemMode];
  WriteFirmwareText(s);
  AdvanceTime(s, kWarmUpMs);
}

bool IsAdapterState(const AdapterState &s) {
  return s.magic == kStateMagic && s.layoutVersion == kStateLayoutVersion && s.size == sizeof s;
}

bool IsCellAp(const AdapterState &s) { return s.memory[kMemMode] == kModeCellAp; }

} // namespace cvsim
