/* Function A: the adapter configuration, firmware, regulatory table and station
   address. Each step prints only when its own call succeeds. */
#include "cv_util.h"

#include <stdio.h>

static const char *const IeeeTableNames[8] = {"none", "Std", "Japan", "Korea", "France", "Spain", "tbd", "tbd"};

static WORD VersionMajor, VersionMinor, InterruptNumber, IoBaseAddress, MemoryBase, NetId, AuxValue;
static CVL_RX_INFO *RxInfo;
static char FirmwareVersion[CVL_FIRMWARE_TEXT_LENGTH + 1];
static char FirmwareDate[CVL_FIRMWARE_TEXT_LENGTH + 1];

void ShowConfiguration(void) {
  if (Cvlapi(CVL_FN_GET_CONFIG, &VersionMajor, &VersionMinor, &InterruptNumber, &IoBaseAddress, &MemoryBase, &NetId,
             &AuxValue, &RxInfo) == CVL_SUCCESS) {
    printf("Configuration: IRQ = %d, IO Address = %X, Memory Address = %X\n", InterruptNumber, IoBaseAddress,
           MemoryBase);
    printf("Net_ID = %X (%d)\n", NetId, NetId);
  }
  if (Cvlapi(CVL_FN_GET_FIRMWARE, CVL_FIRMWARE_TEXT_LENGTH, FirmwareVersion, CVL_FIRMWARE_TEXT_LENGTH, FirmwareDate) ==
      CVL_SUCCESS) {
    FirmwareVersion[CVL_FIRMWARE_TEXT_LENGTH] = '\0';
    FirmwareDate[CVL_FIRMWARE_TEXT_LENGTH] = '\0';
    printf("Firmware: %s, Date: %s\n", FirmwareVersion, FirmwareDate);
  }
  if (Cvlapi(CVL_FN_GET_STATUS, 50, &StatusBuffer) == CVL_SUCCESS)
    printf("IEEE Table: %s\n", IeeeTableNames[StatusBuffer.IeeeTable & CVL_IEEE_TABLE_MASK]);
  if (Cvlapi(CVL_FN_GET_ADDRESS, CVL_ADDRESS_LENGTH, AddressBuffer) == CVL_SUCCESS)
    printf("IEEE Address: %02X %02X %02X %02X %02X %02X\n", AddressBuffer[0], AddressBuffer[1], AddressBuffer[2],
           AddressBuffer[3], AddressBuffer[4], AddressBuffer[5]);
}
