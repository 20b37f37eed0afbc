// Helpers shared by the core's sources: randomness, status block fields, table slots.
#pragma once

#include "adapter.h"
#include "bytes.h"

namespace cvsim {

// xorshift64*: deterministic, so that a test that steps time sees the same network.
inline uint32_t Random(AdapterState &s) {
  uint64_t x = s.random;
  x ^= x >> 12;
  x ^= x << 25;
  x ^= x >> 27;
  s.random = x;
  return static_cast<uint32_t>((x * 0x2545F4914F6CDD1DULL) >> 32);
}

inline uint32_t RandomBelow(AdapterState &s, uint32_t n) { return n ? Random(s) % n : 0; }
inline int32_t RandomBetween(AdapterState &s, int32_t low, int32_t high) {
  return low + static_cast<int32_t>(RandomBelow(s, static_cast<uint32_t>(high - low + 1)));
}
// True with probability perMillion / 1,000,000.
inline bool Chance(AdapterState &s, uint32_t perMillion) { return RandomBelow(s, 1000000) < perMillion; }

inline int32_t Clamp(int32_t v, int32_t low, int32_t high) { return v < low ? low : v > high ? high : v; }

inline uint8_t Sb8(const AdapterState &s, uint32_t field) { return StatusBlock(s)[field]; }
inline void SetSb8(AdapterState &s, uint32_t field, uint8_t v) { StatusBlock(s)[field] = v; }
inline uint16_t Sb16(const AdapterState &s, uint32_t field) { return Load16(StatusBlock(s) + field); }
inline void SetSb16(AdapterState &s, uint32_t field, uint32_t v) { Store16(StatusBlock(s) + field, v); }
inline void AddSb16(AdapterState &s, uint32_t field, uint32_t n) { SetSb16(s, field, Sb16(s, field) + n); }
// A counter that lives in bits 0 to 9 of its word, the upper bits kept.
inline void AddSb10(AdapterState &s, uint32_t field, uint32_t n) {
  uint16_t word = Sb16(s, field);
  SetSb16(s, field, (word & 0xFC00) | ((word + n) & 0x03FF));
}

inline uint8_t *ApSlot(AdapterState &s, uint32_t slot) { return s.memory + kMemApTable + slot * kApEntrySize; }
inline const uint8_t *ApSlot(const AdapterState &s, uint32_t slot) {
  return s.memory + kMemApTable + slot * kApEntrySize;
}
inline uint8_t *AssocSlot(AdapterState &s, uint32_t slot) { return s.memory + kMemAssocTable + slot * kAssocEntrySize; }
inline void AddEntry16(uint8_t *entry, uint32_t field, uint32_t n) {
  Store16(entry + field, Load16(entry + field) + n);
}

inline bool Associated(const AdapterState &s) { return (Sb8(s, kSbAssocStatus) & 0x80) != 0; }

// Setting up the network of each mode (adapter_init.cpp), used again by SetMode.
void InitStationNetwork(AdapterState &s);
void InitCellApNetwork(AdapterState &s);
void WriteFirmwareText(AdapterState &s);
// Moves the station's association to another AP-table slot (traffic.cpp).
void Reassociate(AdapterState &s, uint32_t slot, uint32_t reasonField);
// Adds a station to the CellAP association table; false when it is full.
bool AdmitStation(AdapterState &s);
void RemoveStation(AdapterState &s, uint32_t slot);
// Stations the enforced access control list does not admit leave the cell.
void DropUnlistedStations(AdapterState &s);

// The request log (request_log.cpp).
void LogRequest(AdapterState &s, uint32_t oid, uint16_t operation, uint32_t length, const uint8_t *data,
                uint32_t dataSize);

} // namespace cvsim
