// The whole state of one simulated adapter, in one fixed-size struct with no
// pointers, so that a host can keep it anywhere: in a file (POSIX glue) or in a
// device extension (kernel driver), and copy it byte for byte.
#pragma once

#include "adapter_layout.h"

#include <stdint.h>

namespace cvsim {

enum : uint32_t { kStateMagic = 0x41535643, kStateLayoutVersion = 1 }; // "CVSA"

struct DriverConfig {
  uint16_t versionMajor;
  uint16_t versionMinor;
  uint32_t interrupt;
  uint32_t ioBase;
  uint32_t memoryAddress; // physical address of the memory window
  uint16_t accessMode;    // 1: no memory window
  uint16_t auxValue;
  uint16_t rxInfo1, rxInfo2;
  uint8_t rxInfo3, rxInfo4, rxInfo5;
};

struct SimClock {
  uint64_t nowMs;      // simulated time since the adapter was made
  uint64_t hostLastMs; // host clock at the last synchronisation
  uint32_t pendingMs;  // simulated time not yet worth a whole step
  uint8_t hostKnown;
  uint8_t frozen;
  uint32_t hopIndex;
};

// One access point in the station's neighbourhood (AP-table slot of the same index).
struct ApModel {
  uint8_t inRange; // the slot holds an access point at all
  int16_t rssiBase;
  int16_t rssiMean;
  uint8_t loadBase;
};

// One station associated with the adapter in CellAP mode (association-table slot).
struct StationModel {
  uint16_t rate;     // frames per second, in tenths
  uint16_t rateBase; // what the station's user usually does
  uint8_t psp;
  uint16_t idleMs;
};

struct NetworkModel {
  uint8_t currentAp; // AP-table slot of the association (station mode)
  uint16_t activity; // traffic intensity, 0 to 1000
  uint16_t nextStationId;
  uint8_t targetStations;
  uint32_t sinceRoamMs;                 // the firmware holds an association for a while before roaming again
  uint32_t retryEma, crcEma, missedEma; // 16.16 fixed-point per-cent figures
  ApModel aps[kApTableSlots];
  StationModel stations[kAssocTableSlots];
};

struct AccessControlList {
  uint32_t count;
  uint8_t enforced;
  uint8_t entries[kAclCapacity][kAddressSize];
};

enum : uint32_t { kFaultCapacity = 16 };

struct Fault {
  uint32_t oid;
  uint32_t status;
};

struct FaultTable {
  uint32_t count;
  Fault faults[kFaultCapacity];
};

// Every request as received, oldest first, in a ring of variable-length records
// [record size, oid, Length, data size, operation, data kept];
// the oldest records give way when the ring is full.
enum : uint32_t { kLogCapacity = 48 * 1024, kLogRecordHeader = 20, kLogNoBlock = 0xFFFF };

struct RequestLog {
  uint32_t head; // offset of the oldest record
  uint32_t used; // bytes in use
  uint32_t records;
  uint8_t ring[kLogCapacity];
};

struct AdapterState {
  uint32_t magic;
  uint32_t layoutVersion;
  uint32_t size;
  uint64_t random;
  SimClock clock;
  DriverConfig config;
  char firmwareVersion[kFirmwareTextLength];
  char firmwareDate[kFirmwareTextLength];
  uint8_t stationAddress[kAddressSize];
  uint8_t factoryAddress[kAddressSize];
  uint16_t cellApBeaconDelay;
  uint8_t roamingParams[8];
  uint32_t counters[kCounterCount];
  NetworkModel net;
  AccessControlList acl;
  FaultTable faults;
  uint8_t memory[kMemorySize];
  RequestLog log;
};

} // namespace cvsim
