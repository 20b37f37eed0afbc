// The CellAP screen: template, its own fields, and the association table.
#include <string.h>

#include "monitor.h"

static const char *const kCellApTemplate[25] = {
    "              Corvane CellAP Adapter Statistics V3.00 8/10/96",
    "Firmware                                                          Diversity Yes",
    "IEEE Table  0      020E5A000000    Net_ID       0   AP_ID       0              ",
    "Hop Seq     0      Delta      0    Freq         0   Mode                       ",
    "                            --- Transmit Statistics ---            ",
    "Tx_Host       0 |...10...20...30...40...50...60...70...80...90..100",
    "Tx NDir_U     0",
    "Tx Dir_U      0",
    "Tx Bytes      0",
    "                            --- Receive Statistics ---             ",
    "Rx_Host       0 |...10...20...30...40...50...60...70...80...90..100",
    "Rx NDir_U     0",
    "Rx Dir_U      0",
    "Rx Bytes      0",
    "Associated MU Count   0                                                 Timeout",
    "Entry Stat Adrs  ID Fifo TxDir TxRtry TxFail  RxMac  RxDup  RxCRC TxCon Act Pol",
    "  1 ",
    "  2 ",
    "  3 ",
    "  4 ",
    "  5 ",
    "  6 ",
    "  7 ",
    "  8 ",
    "",
};

static int g_ShownAssocCount = -1;  // -1: not drawn yet
static CVL_ASSOC_ENTRY g_ShownAssoc[ASSOC_TABLE_ENTRIES];

// So that every field of a slot is drawn when it fills again; the Id even when 0.
static void ForgetAssocSlot(CVL_ASSOC_ENTRY *rem) {
  rem->Address[0] = 0xFF;
  rem->Id = 0xFFFF;
  rem->Fifo = rem->TxDir = rem->TxRtry = rem->TxFail = rem->RxMac = rem->RxDup = rem->RxCrc = 0;
  rem->TxCon = 0;
  rem->Act = rem->Pol = 0;
}

void ResetCellApScreen(void) {
  g_ShownAssocCount = -1;
  memset(g_ShownAssoc, 0, sizeof g_ShownAssoc);
}

void DrawCellApTemplate(BOOL all) {
  ClearScreen();
  for (int row = 1; row <= 25; ++row) {
    GotoXY(1, row);
    ConsolePrintf("%s", kCellApTemplate[row - 1]);
  }
  if (all) {
    GotoXY(19, 9);
    ConsolePrintf("%s", "TxRetry    0 TxFail    0");
    GotoXY(19, 14);
    ConsolePrintf("%s", "RxDup      0 RxCRC     0");
  }
}

// The all flag's four fields, sharing their remembered values with the station
// screen's other-statistics box.
void RefreshCellApOtherFields(void) {
  if (CHANGED(TxRetries)) { GotoXY(26, 9); ConsolePrintf("%5u", g_Stats.TxRetries); }
  if (CHANGED(TxFailures)) { GotoXY(38, 9); ConsolePrintf("%5u", g_Stats.TxFailures); }
  if (CHANGED(RxDuplicates)) { GotoXY(26, 14); ConsolePrintf("%5u", g_Stats.RxDuplicates); }
  if (CHANGED(RxCrcErrors)) { GotoXY(38, 14); ConsolePrintf("%5u", g_Stats.RxCrcErrors); }
}

// A counter of the slot at its column, when it changed.
#define ASSOC_FIELD(field, column, format)   \
  if (cur->field != rem->field) {            \
    rem->field = cur->field;                 \
    GotoXY(column, row);                     \
    ConsolePrintf(format, cur->field);       \
  }

void RefreshAssocTable(void) {
  if (g_AssocCount != g_ShownAssocCount) {
    GotoXY(21, 15);
    g_ShownAssocCount = g_AssocCount;
    ConsolePrintf("%3d", g_AssocCount);
  }
  if (g_TableRedraw) {
    g_TableRedraw = FALSE;
    for (int i = 0; i < ASSOC_TABLE_ENTRIES; ++i) {
      GotoXY(1, 17 + i);
      ConsolePrintf("%3d%76s", g_Page * ASSOC_TABLE_ENTRIES + i + 1, "");
      g_ShownAssoc[i].EntryStatus = 0;
      ForgetAssocSlot(&g_ShownAssoc[i]);
    }
  }
  for (int i = 0; i < ASSOC_TABLE_ENTRIES; ++i) {
    const int row = 17 + i;
    const CVL_ASSOC_ENTRY *cur = &g_AssocTable[i];
    CVL_ASSOC_ENTRY *rem = &g_ShownAssoc[i];
    BOOL becameEmpty = FALSE;
    if (cur->EntryStatus != rem->EntryStatus) {
      becameEmpty = cur->EntryStatus == 0;
      rem->EntryStatus = cur->EntryStatus;
      GotoXY(8, row);
      ConsolePrintf("%2X", cur->EntryStatus);
    }
    if (rem->EntryStatus != 0) {
      BOOL addressChanged = FALSE;
      for (int k = 0; k < 6; ++k) {
        if (cur->Address[k] != rem->Address[k]) {
          rem->Address[k] = cur->Address[k];
          addressChanged = TRUE;
        }
      }
      if (addressChanged) {  // the first three bytes, the maker's prefix, are not shown
        GotoXY(11, row);
        ConsolePrintf("%02X%02X%02X", cur->Address[3], cur->Address[4], cur->Address[5]);
      }
      ASSOC_FIELD(Id, 18, "%2X")
      ASSOC_FIELD(Fifo, 21, "%3d")
      ASSOC_FIELD(TxDir, 25, "%6u")
      ASSOC_FIELD(TxRtry, 31, "%6u")
      ASSOC_FIELD(TxFail, 39, "%6u")
      ASSOC_FIELD(RxMac, 46, "%6u")
      ASSOC_FIELD(RxDup, 53, "%6u")
      ASSOC_FIELD(RxCrc, 60, "%6u")
      ASSOC_FIELD(TxCon, 67, "%6u")
      if (cur->Act != rem->Act) {
        rem->Act = cur->Act;
        GotoXY(72, row);
        ConsolePrintf("%4d", cur->Act);
        // TxCon (columns 67 to 72) and Act (72 to 75) share column 72: TxCon's
        // last digit keeps it, as Act's first place is blank below 1000.
        GotoXY(67, row);
        ConsolePrintf("%6u", rem->TxCon);
      }
      ASSOC_FIELD(Pol, 76, "%4d")
    }
    if (becameEmpty) {
      GotoXY(8, row);
      ConsolePrintf("%72s", "");
      ForgetAssocSlot(rem);
    }
  }
}
