// The station screen: template, field pass and rate pass (which the CellAP
// screen shares, one row higher), bars, and the access-point table.
#include <stdio.h>
#include <string.h>

#include "monitor.h"

static const char *const kStationTemplate[25] = {
    "                       Corvane Monitor Utility V3.00 8/10/96",
    "Firmware                           Status                 ID     Diversity  Yes",
    "IEEE Table  0      020E5A000000    Net_ID       0   AP_ID       0  CAM   Bcn   ",
    "Hop Seq     0      Delta      0    Freq         0   AP Ptr      0  AP Cnt     0",
    "Mode                               Assoc        0   Full        0  Partial    0",
    "                            --- Transmit Statistics ---                      ",
    "Tx_Host       0 |...10...20...30...40...50...60...70...80...90..100 per second",
    "Tx NDir_U     0",
    "Tx Dir_U      0",
    "Tx Bytes      0   Byte/sec     0",
    "                            --- Receive Statistics ---                        ",
    "Rx_Host       0 |...10...20...30...40...50...60...70...80...90..100 per second",
    "Rx NDir_U     0",
    "Rx Dir_U      0",
    "Rx Bytes      0   Byte/sec     0",
    "        --- Roaming Reason ---          ",
    "AP No Tx    0  AP RSSI    0  AP Drop   0",
    "TxRxQual    0  AP Load    0  ModeChg   0",
    "Entry Stat AP_ID Hop RSSI #MU Load   Entry Stat AP_ID Hop RSSI #MU Load",
    "  1                                    6",
    "  2                                    7",
    "  3                                    8",
    "  4                                    9",
    "  5                                   10",
    "",
};

// Written over the blank right half of rows 15 to 18 with the all flag.
static const char *const kOtherStatistics[4] = {
    "       --- Other Statistics ---",
    "TxRetry    0 TxFail    0 PSPBcn    0",
    "RxDup      0 RxCRC     0 BcnTmo    0",
    "%MissBcn   0 %TxRetry  0 %RxCRC    0",
};

// Regulatory domains by bits 0 to 2 of IeeeTable.
static const char *const kDomainNames[8] = {"none", "STD", "Japan", "Korea", "France", "Spain", "tbd", "tbd"};

#define BAR_CHARACTER 220  /* the lower half block of the OEM code page */
#define BAR_COLUMN 17
#define BAR_MAX_COUNT 100

CVL_STATUS_BLOCK g_ShownStats;
static int g_ShownStatus = -1;  // AssocStatus with bit 0 cleared, as last drawn; -1: none yet
static BOOL g_FirstPass = TRUE;
static WORD g_PrevTxBytes, g_PrevRxBytes, g_PrevTxBarCount, g_PrevTxDirUni, g_PrevRxBarCount, g_PrevRxDirUni;
static CVL_AP_ENTRY g_ShownAp[AP_TABLE_ENTRIES];

static void ForgetApSlot(CVL_AP_ENTRY *rem) {
  rem->ApId = 0;
  rem->Hop = 0;
  rem->Rssi = 0;
  rem->MuCount = 0xFF;  // drawn again even when the new value is 0
  rem->Load = 0xFF;
}

void ResetStationScreen(void) {
  memset(&g_ShownStats, 0, sizeof g_ShownStats);
  g_ShownStatus = -1;
  g_FirstPass = TRUE;
  g_PrevTxBytes = g_PrevRxBytes = 0;
  g_PrevTxBarCount = g_PrevTxDirUni = g_PrevRxBarCount = g_PrevRxDirUni = 0;
  memset(g_ShownAp, 0, sizeof g_ShownAp);
  for (int i = 0; i < AP_TABLE_ENTRIES; ++i) {
    g_ShownAp[i].MuCount = 0xFF;
    g_ShownAp[i].Load = 0xFF;
  }
}

void DrawTemplate(BOOL all) {
  if (g_CellApMode) {
    DrawCellApTemplate(all);
    return;
  }
  ClearScreen();
  for (int row = 1; row <= 25; ++row) {
    GotoXY(1, row);
    ConsolePrintf("%s", kStationTemplate[row - 1]);
  }
  if (all) {
    for (int i = 0; i < 4; ++i) {
      GotoXY(43, 15 + i);
      ConsolePrintf("%s", kOtherStatistics[i]);
    }
  }
}

// Firmware, domain, mode word and station address: drawn once, at the first
// successful field pass.
static void DrawOneTimeFields(void) {
  char firmware[sizeof g_Stats.FirmwareText + 1];
  BYTE address[6];
  memcpy(firmware, g_Stats.FirmwareText, sizeof g_Stats.FirmwareText);
  firmware[sizeof g_Stats.FirmwareText] = '\0';
  GotoXY(12, 2);
  ConsolePrintf("%s", firmware);
  GotoXY(12, 3);
  ConsolePrintf("%s", kDomainNames[g_Stats.IeeeTable & CVL_IEEE_TABLE_MASK]);
  if (g_CellApMode)
    GotoXY(60, 4);
  else
    GotoXY(8, 5);
  ConsolePrintf("%s", g_MemoryBase != 0 ? "Memory" : "    IO");
  if (g_Cvlapi(CVL_FN_GET_ADDRESS, 6, address) == CVL_SUCCESS) {
    // On standard output: over the template's address when that is the console.
    GotoXY(20, 3);
    printf("%02X%02X%02X-%02X%02X%02X\n", address[0], address[1], address[2], address[3], address[4], address[5]);
    fflush(stdout);
  }
}

// While bit 0 of AssocStatus is set the group differs from what was stored and
// is drawn on every pass.
static void DrawStatusGroup(void) {
  if (g_Stats.AssocStatus == g_ShownStatus) return;
  g_ShownStatus = g_Stats.AssocStatus & ~1;
  BOOL associated = (g_Stats.AssocStatus & CVL_ASSOCIATED) != 0;
  GotoXY(46, 2);
  ConsolePrintf("%s", associated ? "Associated  " : "Unassociated");
  GotoXY(71, 3);
  ConsolePrintf("%s", associated ? " " : "*");
  GotoXY(61, 2);
  if (associated && g_Stats.PowerMode != 0)
    ConsolePrintf("%3d", g_Stats.StationId);
  else
    ConsolePrintf("%s", "   ");
}

// The 1-based number of the access-point table entry that CurrentApPtr points to.
static int CurrentApNumber(void) {
  if (g_Stats.CurrentApPtr == 0) return 0;
  return (WORD)(g_Stats.CurrentApPtr - g_ApTableAddress) / (int)sizeof(CVL_AP_ENTRY) + 1;
}

int RefreshFields(BOOL all) {
  const int c = g_CellApMode ? 1 : 0;  // the CellAP screen's counters stand one row higher
  if (ReadAdapterData() != CVL_SUCCESS) return 1;
  if (g_FirstPass) {
    g_FirstPass = FALSE;
    DrawOneTimeFields();
  }
  if (!g_CellApMode) DrawStatusGroup();

  if (CHANGED(Diversity)) { GotoXY(77, 2); ConsolePrintf("%s", g_Stats.Diversity == 0 ? "Yes" : "No "); }
  if (CHANGED(NetId)) { GotoXY(46, 3); ConsolePrintf("%4X", g_Stats.NetId); }
  if (CHANGED(ApId)) { GotoXY(62, 3); ConsolePrintf("%4X", g_Stats.ApId); }
  if (!g_CellApMode) {
    if (CHANGED(PowerMode)) { GotoXY(68, 3); ConsolePrintf("%s", g_Stats.PowerMode != 0 ? "PSP" : "CAM"); }
    if (CHANGED(BeaconAlgorithm)) { GotoXY(78, 3); ConsolePrintf("%2d", g_Stats.BeaconAlgorithm); }
  }
  if (CHANGED(HopSequence)) { GotoXY(12, 4); ConsolePrintf("%2d", g_Stats.HopSequence); }
  if (g_Stats.IeeeTable <= 3 && CHANGED(HopDelta)) { GotoXY(30, 4); ConsolePrintf("%2d", g_Stats.HopDelta); }
  if (CHANGED(Frequency)) { GotoXY(46, 4); ConsolePrintf("24%02d", g_Stats.Frequency); }
  if (!g_CellApMode) {
    if (CHANGED(CurrentApPtr)) { GotoXY(62, 4); ConsolePrintf("%4d", CurrentApNumber()); }
    if (CHANGED(ApCount)) { GotoXY(76, 4); ConsolePrintf("%4d", g_Stats.ApCount); }
    if (CHANGED(AssocCount)) { GotoXY(46, 5); ConsolePrintf("%4u", g_Stats.AssocCount); }
    if (CHANGED(FullScans)) { GotoXY(62, 5); ConsolePrintf("%4u", g_Stats.FullScans); }
    if (CHANGED(PartialScans)) { GotoXY(76, 5); ConsolePrintf("%4u", g_Stats.PartialScans); }
  }
  if (CHANGED(TxHost)) { GotoXY(11, 7 - c); ConsolePrintf("%5u", g_Stats.TxHost); }
  if (CHANGED(TxNonDirUni)) { GotoXY(11, 8 - c); ConsolePrintf("%5u", g_Stats.TxNonDirUni); }
  if (CHANGED(TxDirUni)) { GotoXY(11, 9 - c); ConsolePrintf("%5u", g_Stats.TxDirUni); }
  if (CHANGED(TxBytes)) { GotoXY(11, 10 - c); ConsolePrintf("%5u", g_Stats.TxBytes); }
  if (CHANGED(RxHost)) { GotoXY(11, 12 - c); ConsolePrintf("%5u", g_Stats.RxHost); }
  if (CHANGED(RxNonDirUni)) { GotoXY(11, 13 - c); ConsolePrintf("%5u", g_Stats.RxNonDirUni); }
  if (CHANGED(RxDirUni)) { GotoXY(11, 14 - c); ConsolePrintf("%5u", g_Stats.RxDirUni); }
  if (CHANGED(RxBytes)) { GotoXY(11, 15 - c); ConsolePrintf("%5u", g_Stats.RxBytes); }
  if (g_CellApMode) {
    if (all) RefreshCellApOtherFields();
    return 0;
  }
  if (all) {
    if (CHANGED(TxRetries)) { GotoXY(50, 16); ConsolePrintf("%5u", g_Stats.TxRetries); }
    if (CHANGED(TxFailures)) { GotoXY(62, 16); ConsolePrintf("%5u", g_Stats.TxFailures); }
    if (CHANGED(RxDuplicates)) { GotoXY(50, 17); ConsolePrintf("%5u", g_Stats.RxDuplicates); }
    if (CHANGED(RxCrcErrors)) { GotoXY(62, 17); ConsolePrintf("%5u", g_Stats.RxCrcErrors); }
    // The change test takes all 16 bits; only bits 0 to 9 are shown.
    if (CHANGED(PspBeacons)) { GotoXY(75, 16); ConsolePrintf("%4u", g_Stats.PspBeacons & CVL_COUNT10_MASK); }
    if (CHANGED(BeaconTimeouts)) { GotoXY(75, 17); ConsolePrintf("%4u", g_Stats.BeaconTimeouts & CVL_COUNT10_MASK); }
    if (CHANGED(MissedBeaconPct)) { GotoXY(53, 18); ConsolePrintf("%2u", g_Stats.MissedBeaconPct); }
    if (CHANGED(TxRetryPct)) { GotoXY(65, 18); ConsolePrintf("%2u", g_Stats.TxRetryPct); }
    if (CHANGED(RxCrcPct)) { GotoXY(77, 18); ConsolePrintf("%2u", g_Stats.RxCrcPct); }
  }
  if (CHANGED(RoamApNoTx)) { GotoXY(10, 17); ConsolePrintf("%4u", g_Stats.RoamApNoTx); }
  if (CHANGED(RoamApRssi)) { GotoXY(24, 17); ConsolePrintf("%4u", g_Stats.RoamApRssi); }
  if (CHANGED(RoamApDrop)) { GotoXY(37, 17); ConsolePrintf("%4u", g_Stats.RoamApDrop); }
  if (CHANGED(RoamTxRxQuality)) { GotoXY(10, 18); ConsolePrintf("%4u", g_Stats.RoamTxRxQuality); }
  if (CHANGED(RoamApLoad)) { GotoXY(24, 18); ConsolePrintf("%4u", g_Stats.RoamApLoad); }
  if (CHANGED(RoamModeChange)) { GotoXY(37, 18); ConsolePrintf("%4u", g_Stats.RoamModeChange); }
  return 0;
}

void DrawBar(int row, int count) {
  GotoXY(BAR_COLUMN, row);
  ClearToEndOfLine();
  if (count > BAR_MAX_COUNT) count = BAR_MAX_COUNT;
  for (int i = 0; i < count; i += 2) ConsolePutChar(BAR_CHARACTER);
}

// Per-period figures: the change of a counter between two rate passes (19
// ticks), unscaled. Byte/sec differences are taken modulo 65,536; the bars'
// are plain signed differences, so a wrapped counter gives an empty bar.
void RefreshRates(void) {
  const int c = g_CellApMode ? 1 : 0;
  if (!g_CellApMode) {
    GotoXY(28, 10);
    ConsolePrintf("%5hu", (unsigned short)(g_Stats.TxBytes - g_PrevTxBytes));
    g_PrevTxBytes = g_Stats.TxBytes;
    GotoXY(28, 15);
    ConsolePrintf("%5hu", (unsigned short)(g_Stats.RxBytes - g_PrevRxBytes));
    g_PrevRxBytes = g_Stats.RxBytes;
  }
  DrawBar(8 - c, (int)g_Stats.TxBarCount - (int)g_PrevTxBarCount);
  g_PrevTxBarCount = g_Stats.TxBarCount;
  DrawBar(9 - c, (int)g_Stats.TxDirUni - (int)g_PrevTxDirUni);
  g_PrevTxDirUni = g_Stats.TxDirUni;
  DrawBar(13 - c, (int)g_Stats.RxBarCount - (int)g_PrevRxBarCount);
  g_PrevRxBarCount = g_Stats.RxBarCount;
  DrawBar(14 - c, (int)g_Stats.RxDirUni - (int)g_PrevRxDirUni);
  g_PrevRxDirUni = g_Stats.RxDirUni;
}

void RefreshApTable(void) {
  if (g_TableRedraw) {
    g_TableRedraw = FALSE;
    for (int i = 0; i < AP_TABLE_ENTRIES; ++i) {
      GotoXY((i < 5 ? 0 : 37) + 1, 20 + i % 5);
      ConsolePrintf("%3d%31s", g_Page * AP_TABLE_ENTRIES + i + 1, "");
      g_ShownAp[i].EntryStatus = 0;
      ForgetApSlot(&g_ShownAp[i]);
    }
  }
  for (int i = 0; i < AP_TABLE_ENTRIES; ++i) {
    const int b = i < 5 ? 0 : 37;
    const int row = 20 + i % 5;
    const CVL_AP_ENTRY *cur = &g_ApTable[i];
    CVL_AP_ENTRY *rem = &g_ShownAp[i];
    BOOL becameEmpty = FALSE;
    if (cur->EntryStatus != rem->EntryStatus) {
      becameEmpty = cur->EntryStatus == 0;
      rem->EntryStatus = cur->EntryStatus;
      GotoXY(b + 8, row);
      ConsolePrintf("%2X", cur->EntryStatus & 0x0F);
      GotoXY(b + 7, row);
      ConsolePrintf("%c", (cur->EntryStatus & 0x80) ? '*' : ' ');
    }
    if (rem->EntryStatus != 0) {
      if (cur->ApId != rem->ApId) { rem->ApId = cur->ApId; GotoXY(b + 13, row); ConsolePrintf("%2X", cur->ApId); }
      if (cur->Hop != rem->Hop) { rem->Hop = cur->Hop; GotoXY(b + 19, row); ConsolePrintf("%2d", cur->Hop); }
      if (cur->Rssi != rem->Rssi) { rem->Rssi = cur->Rssi; GotoXY(b + 23, row); ConsolePrintf("%2d", cur->Rssi / 4); }
      if (cur->MuCount != rem->MuCount) { rem->MuCount = cur->MuCount; GotoXY(b + 27, row); ConsolePrintf("%3d", cur->MuCount); }
      if (cur->Load != rem->Load) { rem->Load = cur->Load; GotoXY(b + 31, row); ConsolePrintf("%3d", cur->Load); }
    }
    if (becameEmpty) {
      GotoXY(b + 8, row);
      ConsolePrintf("%27s", "");
      ForgetApSlot(rem);
    }
  }
}
