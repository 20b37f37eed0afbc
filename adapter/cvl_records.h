/* The records that pass between the driver, the adapter access library and its
   callers. Byte-packed and little-endian; words may stand at odd offsets. Bytes
   named Reserved are the driver's and are not interpreted. */
#ifndef CVL_RECORDS_H
#define CVL_RECORDS_H

#include <windows.h>

#include <stddef.h>

#pragma pack(push, 1)

/* The data area of function code 1 and of the version request (60 bytes). */
typedef struct _CVL_CONFIG_DATA {
  WORD VersionMajor;
  WORD VersionMinor;     /* shown with two digits: 1.04 */
  DWORD InterruptNumber; /* the caller receives the low 16 bits */
  DWORD IoBaseAddress;   /* the caller receives the low 16 bits */
  DWORD MemoryAddress;   /* physical address of the memory window */
  BYTE Reserved10[20];
  WORD AccessMode; /* CVL_ACCESS_NO_MEMORY: no memory window */
  BYTE Reserved26[4];
  WORD AuxValue;
  BYTE Reserved2C[2];
  WORD NetId;
  WORD RxInfo1;
  WORD RxInfo2;
  BYTE RxInfo3;
  BYTE Reserved35;
  BYTE RxInfo4;
  BYTE Reserved37;
  BYTE RxInfo5;
  BYTE Reserved39[3];
} CVL_CONFIG_DATA, *PCVL_CONFIG_DATA;

#define CVL_ACCESS_NO_MEMORY 1

static_assert(sizeof(CVL_CONFIG_DATA) == 60, "CVL_CONFIG_DATA size");
static_assert(offsetof(CVL_CONFIG_DATA, VersionMajor) == 0, "CVL_CONFIG_DATA.VersionMajor");
static_assert(offsetof(CVL_CONFIG_DATA, VersionMinor) == 2, "CVL_CONFIG_DATA.VersionMinor");
static_assert(offsetof(CVL_CONFIG_DATA, InterruptNumber) == 4, "CVL_CONFIG_DATA.InterruptNumber");
static_assert(offsetof(CVL_CONFIG_DATA, IoBaseAddress) == 8, "CVL_CONFIG_DATA.IoBaseAddress");
static_assert(offsetof(CVL_CONFIG_DATA, MemoryAddress) == 12, "CVL_CONFIG_DATA.MemoryAddress");
static_assert(offsetof(CVL_CONFIG_DATA, AccessMode) == 36, "CVL_CONFIG_DATA.AccessMode");
static_assert(offsetof(CVL_CONFIG_DATA, AuxValue) == 42, "CVL_CONFIG_DATA.AuxValue");
static_assert(offsetof(CVL_CONFIG_DATA, NetId) == 46, "CVL_CONFIG_DATA.NetId");
static_assert(offsetof(CVL_CONFIG_DATA, RxInfo1) == 48, "CVL_CONFIG_DATA.RxInfo1");
static_assert(offsetof(CVL_CONFIG_DATA, RxInfo2) == 50, "CVL_CONFIG_DATA.RxInfo2");
static_assert(offsetof(CVL_CONFIG_DATA, RxInfo3) == 52, "CVL_CONFIG_DATA.RxInfo3");
static_assert(offsetof(CVL_CONFIG_DATA, RxInfo4) == 54, "CVL_CONFIG_DATA.RxInfo4");
static_assert(offsetof(CVL_CONFIG_DATA, RxInfo5) == 56, "CVL_CONFIG_DATA.RxInfo5");

/* The receive information area that the library refills on every successful
   function code 1 and whose address that call hands out (7 bytes). */
typedef struct _CVL_RX_INFO {
  WORD RxInfo1;
  WORD RxInfo2;
  BYTE RxInfo3;
  BYTE RxInfo4;
  BYTE RxInfo5;
} CVL_RX_INFO, *PCVL_RX_INFO;

static_assert(sizeof(CVL_RX_INFO) == 7, "CVL_RX_INFO size");
static_assert(offsetof(CVL_RX_INFO, RxInfo1) == 0, "CVL_RX_INFO.RxInfo1");
static_assert(offsetof(CVL_RX_INFO, RxInfo2) == 2, "CVL_RX_INFO.RxInfo2");
static_assert(offsetof(CVL_RX_INFO, RxInfo3) == 4, "CVL_RX_INFO.RxInfo3");
static_assert(offsetof(CVL_RX_INFO, RxInfo4) == 5, "CVL_RX_INFO.RxInfo4");
static_assert(offsetof(CVL_RX_INFO, RxInfo5) == 6, "CVL_RX_INFO.RxInfo5");

/* The data area of function code 6 (96 bytes). The driver puts the firmware
   version text (6 characters, unterminated) at byte 16 + TextPosition of this
   record, and the date text (6 characters, unterminated) 6 bytes further on. */
#define CVL_FIRMWARE_TEXT_AREA 64
#define CVL_FIRMWARE_TEXT_LENGTH 6

typedef struct _CVL_FIRMWARE_DATA {
  BYTE Zero00[16];
  WORD TextAreaSize; /* CVL_FIRMWARE_TEXT_AREA, set by the library */
  WORD Zero12;
  DWORD TextPosition; /* counted from TextAreaSize, written by the driver */
  BYTE Zero18[8];
  CHAR TextArea[CVL_FIRMWARE_TEXT_AREA];
} CVL_FIRMWARE_DATA, *PCVL_FIRMWARE_DATA;

static_assert(sizeof(CVL_FIRMWARE_DATA) == 96, "CVL_FIRMWARE_DATA size");
static_assert(offsetof(CVL_FIRMWARE_DATA, Zero00) == 0, "CVL_FIRMWARE_DATA.Zero00");
static_assert(offsetof(CVL_FIRMWARE_DATA, TextAreaSize) == 16, "CVL_FIRMWARE_DATA.TextAreaSize");
static_assert(offsetof(CVL_FIRMWARE_DATA, Zero12) == 18, "CVL_FIRMWARE_DATA.Zero12");
static_assert(offsetof(CVL_FIRMWARE_DATA, TextPosition) == 20, "CVL_FIRMWARE_DATA.TextPosition");
static_assert(offsetof(CVL_FIRMWARE_DATA, Zero18) == 24, "CVL_FIRMWARE_DATA.Zero18");
static_assert(offsetof(CVL_FIRMWARE_DATA, TextArea) == 32, "CVL_FIRMWARE_DATA.TextArea");

/* The adapter's status and statistics block (191 bytes): at CVL_MEM_STATUS_BLOCK
   in adapter memory, and the first bytes of it from function code 15. Counters
   are 16-bit unsigned values. */
#define CVL_STATUS_BLOCK_SIZE 191

#define CVL_ASSOCIATED 0x80      /* AssocStatus: the adapter is associated */
#define CVL_AP_ID_MASK 0x7F      /* ApId, PreferredApId: the number */
#define CVL_AP_ID_PREFERRED 0x80 /* PreferredApId: shown with a star */
#define CVL_IEEE_TABLE_MASK 0x07 /* IeeeTable: the regulatory table number */
#define CVL_RADIO_TYPE_MASK 0x0F /* RadioType */
#define CVL_COUNT10_MASK 0x03FF  /* PspBeacons, BeaconTimeouts */

typedef struct _CVL_STATUS_BLOCK {
  CHAR FirmwareText[12]; /* not necessarily terminated */
  BYTE AssocStatus;
  BYTE Reserved0D;
  BYTE PowerMode;
  BYTE BeaconAlgorithm;
  BYTE Reserved10[2];
  BYTE TxDisabled;
  BYTE IeeeTable;
  BYTE Reserved14[4];
  WORD NetId;
  WORD StationId;
  BYTE Reserved1C[3];
  BYTE RadioType;
  BYTE Reserved20;
  BYTE Diversity;
  BYTE ApId;
  BYTE PreferredApId;
  BYTE Reserved24[12];
  BYTE HopSequence;
  BYTE HopDelta;
  BYTE Frequency; /* MHz above 2400 */
  BYTE Reserved33[4];
  WORD CurrentApPtr; /* adapter address of the current access point's entry */
  WORD ApCount;
  BYTE Reserved3B[10];
  WORD MissedBeaconPct;
  WORD TxRetryPct;
  WORD RxCrcPct;
  WORD AssocCount;
  BYTE Reserved4D[4];
  WORD FullScans;
  WORD PartialScans;
  WORD RoamApNoTx;
  WORD RoamApRssi;
  WORD RoamApDrop;
  WORD RoamTxRxQuality;
  WORD RoamApLoad;
  WORD RoamModeChange;
  WORD TxHost;
  BYTE Reserved63[4];
  WORD TxBarCount;
  WORD TxDirUni;
  WORD TxNonDirUni;
  WORD TxPoll;
  WORD TxBytes;
  WORD TxRetries;
  BYTE Reserved73[2];
  WORD TxFailures;
  BYTE Reserved77[22];
  WORD RxHost;
  BYTE Reserved8F[2];
  WORD RxBarCount;
  WORD RxDirUni;
  WORD RxPoll;
  WORD RxNonDirUni;
  BYTE Reserved99[4];
  WORD RxBytes;
  WORD RxDuplicates;
  BYTE ReservedA1[8];
  WORD RxCrcErrors;
  BYTE ReservedAB[6];
  WORD PspBeacons;
  BYTE ReservedB3[2];
  WORD BeaconTimeouts;
  BYTE ReservedB7[8];
} CVL_STATUS_BLOCK, *PCVL_STATUS_BLOCK;

static_assert(sizeof(CVL_STATUS_BLOCK) == CVL_STATUS_BLOCK_SIZE, "CVL_STATUS_BLOCK size");
static_assert(offsetof(CVL_STATUS_BLOCK, FirmwareText) == 0x00, "CVL_STATUS_BLOCK.FirmwareText");
static_assert(offsetof(CVL_STATUS_BLOCK, AssocStatus) == 0x0C, "CVL_STATUS_BLOCK.AssocStatus");
static_assert(offsetof(CVL_STATUS_BLOCK, PowerMode) == 0x0E, "CVL_STATUS_BLOCK.PowerMode");
static_assert(offsetof(CVL_STATUS_BLOCK, BeaconAlgorithm) == 0x0F, "CVL_STATUS_BLOCK.BeaconAlgorithm");
static_assert(offsetof(CVL_STATUS_BLOCK, TxDisabled) == 0x12, "CVL_STATUS_BLOCK.TxDisabled");
static_assert(offsetof(CVL_STATUS_BLOCK, IeeeTable) == 0x13, "CVL_STATUS_BLOCK.IeeeTable");
static_assert(offsetof(CVL_STATUS_BLOCK, NetId) == 0x18, "CVL_STATUS_BLOCK.NetId");
static_assert(offsetof(CVL_STATUS_BLOCK, StationId) == 0x1A, "CVL_STATUS_BLOCK.StationId");
static_assert(offsetof(CVL_STATUS_BLOCK, RadioType) == 0x1F, "CVL_STATUS_BLOCK.RadioType");
static_assert(offsetof(CVL_STATUS_BLOCK, Diversity) == 0x21, "CVL_STATUS_BLOCK.Diversity");
static_assert(offsetof(CVL_STATUS_BLOCK, ApId) == 0x22, "CVL_STATUS_BLOCK.ApId");
static_assert(offsetof(CVL_STATUS_BLOCK, PreferredApId) == 0x23, "CVL_STATUS_BLOCK.PreferredApId");
static_assert(offsetof(CVL_STATUS_BLOCK, HopSequence) == 0x30, "CVL_STATUS_BLOCK.HopSequence");
static_assert(offsetof(CVL_STATUS_BLOCK, HopDelta) == 0x31, "CVL_STATUS_BLOCK.HopDelta");
static_assert(offsetof(CVL_STATUS_BLOCK, Frequency) == 0x32, "CVL_STATUS_BLOCK.Frequency");
static_assert(offsetof(CVL_STATUS_BLOCK, CurrentApPtr) == 0x37, "CVL_STATUS_BLOCK.CurrentApPtr");
static_assert(offsetof(CVL_STATUS_BLOCK, ApCount) == 0x39, "CVL_STATUS_BLOCK.ApCount");
static_assert(offsetof(CVL_STATUS_BLOCK, MissedBeaconPct) == 0x45, "CVL_STATUS_BLOCK.MissedBeaconPct");
static_assert(offsetof(CVL_STATUS_BLOCK, TxRetryPct) == 0x47, "CVL_STATUS_BLOCK.TxRetryPct");
static_assert(offsetof(CVL_STATUS_BLOCK, RxCrcPct) == 0x49, "CVL_STATUS_BLOCK.RxCrcPct");
static_assert(offsetof(CVL_STATUS_BLOCK, AssocCount) == 0x4B, "CVL_STATUS_BLOCK.AssocCount");
static_assert(offsetof(CVL_STATUS_BLOCK, FullScans) == 0x51, "CVL_STATUS_BLOCK.FullScans");
static_assert(offsetof(CVL_STATUS_BLOCK, PartialScans) == 0x53, "CVL_STATUS_BLOCK.PartialScans");
static_assert(offsetof(CVL_STATUS_BLOCK, RoamApNoTx) == 0x55, "CVL_STATUS_BLOCK.RoamApNoTx");
static_assert(offsetof(CVL_STATUS_BLOCK, RoamApRssi) == 0x57, "CVL_STATUS_BLOCK.RoamApRssi");
static_assert(offsetof(CVL_STATUS_BLOCK, RoamApDrop) == 0x59, "CVL_STATUS_BLOCK.RoamApDrop");
static_assert(offsetof(CVL_STATUS_BLOCK, RoamTxRxQuality) == 0x5B, "CVL_STATUS_BLOCK.RoamTxRxQuality");
static_assert(offsetof(CVL_STATUS_BLOCK, RoamApLoad) == 0x5D, "CVL_STATUS_BLOCK.RoamApLoad");
static_assert(offsetof(CVL_STATUS_BLOCK, RoamModeChange) == 0x5F, "CVL_STATUS_BLOCK.RoamModeChange");
static_assert(offsetof(CVL_STATUS_BLOCK, TxHost) == 0x61, "CVL_STATUS_BLOCK.TxHost");
static_assert(offsetof(CVL_STATUS_BLOCK, TxBarCount) == 0x67, "CVL_STATUS_BLOCK.TxBarCount");
static_assert(offsetof(CVL_STATUS_BLOCK, TxDirUni) == 0x69, "CVL_STATUS_BLOCK.TxDirUni");
static_assert(offsetof(CVL_STATUS_BLOCK, TxNonDirUni) == 0x6B, "CVL_STATUS_BLOCK.TxNonDirUni");
static_assert(offsetof(CVL_STATUS_BLOCK, TxPoll) == 0x6D, "CVL_STATUS_BLOCK.TxPoll");
static_assert(offsetof(CVL_STATUS_BLOCK, TxBytes) == 0x6F, "CVL_STATUS_BLOCK.TxBytes");
static_assert(offsetof(CVL_STATUS_BLOCK, TxRetries) == 0x71, "CVL_STATUS_BLOCK.TxRetries");
static_assert(offsetof(CVL_STATUS_BLOCK, TxFailures) == 0x75, "CVL_STATUS_BLOCK.TxFailures");
static_assert(offsetof(CVL_STATUS_BLOCK, RxHost) == 0x8D, "CVL_STATUS_BLOCK.RxHost");
static_assert(offsetof(CVL_STATUS_BLOCK, RxBarCount) == 0x91, "CVL_STATUS_BLOCK.RxBarCount");
static_assert(offsetof(CVL_STATUS_BLOCK, RxDirUni) == 0x93, "CVL_STATUS_BLOCK.RxDirUni");
static_assert(offsetof(CVL_STATUS_BLOCK, RxPoll) == 0x95, "CVL_STATUS_BLOCK.RxPoll");
static_assert(offsetof(CVL_STATUS_BLOCK, RxNonDirUni) == 0x97, "CVL_STATUS_BLOCK.RxNonDirUni");
static_assert(offsetof(CVL_STATUS_BLOCK, RxBytes) == 0x9D, "CVL_STATUS_BLOCK.RxBytes");
static_assert(offsetof(CVL_STATUS_BLOCK, RxDuplicates) == 0x9F, "CVL_STATUS_BLOCK.RxDuplicates");
static_assert(offsetof(CVL_STATUS_BLOCK, RxCrcErrors) == 0xA9, "CVL_STATUS_BLOCK.RxCrcErrors");
static_assert(offsetof(CVL_STATUS_BLOCK, PspBeacons) == 0xB1, "CVL_STATUS_BLOCK.PspBeacons");
static_assert(offsetof(CVL_STATUS_BLOCK, BeaconTimeouts) == 0xB5, "CVL_STATUS_BLOCK.BeaconTimeouts");

/* What function code 24 gives the caller (up to 220 bytes): the first 128 bytes of
   the driver's counters reply, then 46 words, each the low half of a counter or
   of a sum of counters. */
#define CVL_COUNTERS_RAW_SIZE 128
#define CVL_COUNTER_WORDS 46

typedef struct _CVL_COUNTERS {
  BYTE Raw[CVL_COUNTERS_RAW_SIZE];
  WORD Words[CVL_COUNTER_WORDS];
} CVL_COUNTERS, *PCVL_COUNTERS;

static_assert(sizeof(CVL_COUNTERS) == 220, "CVL_COUNTERS size");
static_assert(offsetof(CVL_COUNTERS, Raw) == 0, "CVL_COUNTERS.Raw");
static_assert(offsetof(CVL_COUNTERS, Words) == 128, "CVL_COUNTERS.Words");

/* One entry of the access control list: an IEEE station address in transmission
   order. Function code 33 returns consecutive entries with nothing between them. */
#define CVL_ADDRESS_LENGTH 6

typedef struct _CVL_ACL_ENTRY {
  BYTE Address[CVL_ADDRESS_LENGTH];
} CVL_ACL_ENTRY, *PCVL_ACL_ENTRY;

static_assert(sizeof(CVL_ACL_ENTRY) == 6, "CVL_ACL_ENTRY size");
static_assert(offsetof(CVL_ACL_ENTRY, Address) == 0, "CVL_ACL_ENTRY.Address");

#pragma pack(pop)

#endif
