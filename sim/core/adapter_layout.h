// What the adapter's driver and firmware fix: object identifiers, operations,
// driver status values, the adapter memory map and the layouts of the records
// that requests carry. The driver side keeps its own copy of these facts; the
// programs that talk to it have theirs.
#pragma once

#include <stdint.h>

namespace cvsim {

// Object identifiers.
enum : uint32_t {
  kOidCurrentAddress = 0x01010102, // plain 6-byte output, no request block
  kOidFirmware = 0xFF010106,
  kOidDiversity = 0xFF010107,
  kOidTxDisable = 0xFF010109,
  kOidNetId = 0xFF01010A,
  kOidConfig = 0xFF010133, // also the version request
  kOidRegulatoryTable = 0xFF010134,
  kOidCellApParams = 0xFF010135,
  kOidPreferredAp = 0xFF010136,
  kOidCellApId = 0xFF010137,
  kOidSetAddress = 0xFF010138,
  kOidRoamingParams = 0xFF01013A,
  kOidCurrentApEntry = 0xFF01013B,
  kOidPowerMode = 0xFF01013C,
  kOidBeaconAlgorithm = 0xFF01013D,
  kOidRadioInfo = 0xFF01013F,
  kOidAcl = 0xFF010150,
  kOidAclEnforce = 0xFF010151,
  kOidRescan = 0xFF010153,
  kOidApAddress = 0xFF010170,
  kOidMemory = 0xFF010171,
  kOidMemorySize = 0xFF010172,
  kOidMemoryWindow = 0xFF010173,
  kOidSignal = 0xFF020155,
  kOidFactoryAddress = 0xFF020190,
  kOidCounters = 0xFF020191,
  kOidStatusBlock = 0xFF020192,
};

// Request block: Length (32), Operation (16), Reserved (16), Status (32), data.
enum : uint32_t { kBlockLength = 0, kBlockOperation = 4, kBlockStatus = 8, kBlockHeader = 12 };

enum : uint16_t { kOpQuery = 1, kOpSet = 2, kOpAdd = 3, kOpDelete = 4, kOpCommand = 5 };

// Driver status values written into a failed request's Status.
enum : uint32_t {
  kStatusSuccess = 0,
  kStatusFailure = 1,      // the adapter could not do it
  kStatusNotSupported = 4, // unknown object identifier
  kStatusBadLength = 5,    // Length out of range for the identifier
  kStatusBadData = 6,      // a value or address out of range
  kStatusBadOperation = 7, // the identifier does not take that operation
  kStatusRefused = 8,      // not possible in the adapter's present state
  kStatusTableFull = 9,    // no room left in a table
};

// Adapter memory.
enum : uint32_t {
  kMemorySize = 0x10000,
  kMemApTablePtr = 0x176,
  kMemAssocTablePtr = 0x17C,
  kMemMode = 0x386,
  kMemStatusBlock = 0x500,
  kMemApTable = 0x0C00,    // where this firmware keeps its access-point table
  kMemAssocCount = 0x1400, // associated-station count, just below the table
  kMemAssocTable = 0x1402,
  kMaxMemoryTransfer = 0x8000,
};

enum : uint8_t { kModeStation = 1, kModeCellAp = 4 };

// Status block, 191 bytes at kMemStatusBlock; offsets within it.
enum : uint32_t {
  kStatusBlockSize = 191,
  kSbFirmwareText = 0x00, // 12 bytes
  kSbAssocStatus = 0x0C,
  kSbPowerMode = 0x0E,
  kSbBeaconAlgorithm = 0x0F,
  kSbTxDisabled = 0x12,
  kSbIeeeTable = 0x13,
  kSbNetId = 0x18,
  kSbStationId = 0x1A,
  kSbRadioType = 0x1F,
  kSbDiversity = 0x21,
  kSbApId = 0x22,
  kSbPreferredApId = 0x23,
  kSbHopSequence = 0x30,
  kSbHopDelta = 0x31,
  kSbFrequency = 0x32,
  kSbCurrentApPtr = 0x37,
  kSbApCount = 0x39,
  kSbMissedBeaconPct = 0x45,
  kSbTxRetryPct = 0x47,
  kSbRxCrcPct = 0x49,
  kSbAssocCount = 0x4B,
  kSbFullScans = 0x51,
  kSbPartialScans = 0x53,
  kSbRoamApNoTx = 0x55,
  kSbRoamApRssi = 0x57,
  kSbRoamApDrop = 0x59,
  kSbRoamTxRxQuality = 0x5B,
  kSbRoamApLoad = 0x5D,
  kSbRoamModeChange = 0x5F,
  kSbTxHost = 0x61,
  kSbTxBarCount = 0x67,
  kSbTxDirUni = 0x69,
  kSbTxNonDirUni = 0x6B,
  kSbTxPoll = 0x6D,
  kSbTxBytes = 0x6F,
  kSbTxRetries = 0x71,
  kSbTxFailures = 0x75,
  kSbRxHost = 0x8D,
  kSbRxBarCount = 0x91,
  kSbRxDirUni = 0x93,
  kSbRxPoll = 0x95,
  kSbRxNonDirUni = 0x97,
  kSbRxBytes = 0x9D,
  kSbRxDuplicates = 0x9F,
  kSbRxCrcErrors = 0xA9,
  kSbPspBeacons = 0xB1,
  kSbBeaconTimeouts = 0xB5,
};

// Access-point table entry, 50 bytes.
enum : uint32_t {
  kApEntrySize = 50,
  kApTableSlots = 20, // two pages of ten
  kApStatus = 0x02,
  kApId = 0x03,
  kApHop = 0x04,
  kApAddress = 0x05, // 6 bytes, the access point's station address
  kApRssi = 0x22,
  kApMuCount = 0x26,
  kApLoad = 0x27,
};

// Association table entry, 32 bytes.
enum : uint32_t {
  kAssocEntrySize = 32,
  kAssocTableSlots = 16, // two pages of eight
  kAsStatus = 0x00,
  kAsAddress = 0x01,
  kAsFifo = 0x0B,
  kAsId = 0x0D,
  kAsTxDir = 0x0F,
  kAsTxRtry = 0x11,
  kAsTxFail = 0x13,
  kAsRxMac = 0x15,
  kAsRxDup = 0x17,
  kAsRxCrc = 0x19,
  kAsTxCon = 0x1B,
  kAsAct = 0x1C,
  kAsPol = 0x1E,
};

// Configuration data, the 60-byte reply of kOidConfig.
enum : uint32_t {
  kConfigSize = 60,
  kCfgVersionMajor = 0,
  kCfgVersionMinor = 2,
  kCfgInterrupt = 4,
  kCfgIoBase = 8,
  kCfgMemoryAddress = 12,
  kCfgAccessMode = 36,
  kCfgAuxValue = 42,
  kCfgNetId = 46,
  kCfgRxInfo1 = 48,
  kCfgRxInfo2 = 50,
  kCfgRxInfo3 = 52,
  kCfgRxInfo4 = 54,
  kCfgRxInfo5 = 56,
};

// Firmware description, the 96-byte data of kOidFirmware.
enum : uint32_t {
  kFirmwareDataSize = 96,
  kFwTextAreaSize = 16, // word: size of the text area, set by the caller
  kFwTextPosition = 20, // 32-bit: where the texts are, counted from offset 16
  kFwTextBase = 16,
  kFirmwareTextLength = 6,
};

// Counters, the 704-byte data of kOidCounters: 192 bytes, then 32-bit counters.
enum : uint32_t { kCountersDataSize = 704, kCountersOffset = 192, kCounterCount = 128 };

enum : uint32_t { kAddressSize = 6, kAclCapacity = 32 };

} // namespace cvsim
