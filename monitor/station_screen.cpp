/* The station screen: template, association status group and the access-point
   table. */
#include "monitor.h"

#include <string.h>

static const char *const StationTemplate[SCREEN_ROWS] = {
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

/* Written over the blank right half of rows 15 to 18 with the all flag. */
static const char *const OtherStatistics[4] = {
    "       --- Other Statistics ---",
    "TxRetry    0 TxFail    0 PSPBcn    0",
    "RxDup      0 RxCRC     0 BcnTmo    0",
    "%MissBcn   0 %TxRetry  0 %RxCRC    0",
};

static int ShownStatus = -1; /* AssocStatus with bit 0 cleared, as last drawn; -1: none yet */
static CVL_AP_ENTRY ShownAp[AP_TABLE_ENTRIES];

/* The fields of an entry, in drawing order; columns from the slot's left edge. */
static const ENTRY_FIELD ApFields[] = {
    {ENTRY_FIELD_OF(CVL_AP_ENTRY, ApId), 13, 1, "%2X"}, {ENTRY_FIELD_OF(CVL_AP_ENTRY, Hop), 19, 1, "%2d"},
    {ENTRY_FIELD_OF(CVL_AP_ENTRY, Rssi), 23, 4, "%2d"}, {ENTRY_FIELD_OF(CVL_AP_ENTRY, MuCount), 27, 1, "%3d"},
    {ENTRY_FIELD_OF(CVL_AP_ENTRY, Load), 31, 1, "%3d"},
};

static void ForgetApSlot(CVL_AP_ENTRY *Shown) {
  Shown->ApId = 0;
  Shown->Hop = 0;
  Shown->Rssi = 0;
  Shown->MuCount = 0xFF; /* drawn again even when the new value is 0 */
  Shown->Load = 0xFF;
}

void ResetStationScreen(void) {
  ShownStatus = -1;
  memset(ShownAp, 0, sizeof ShownAp);
  for (int i = 0; i < AP_TABLE_ENTRIES; ++i) {
    ShownAp[i].MuCount = 0xFF;
    ShownAp[i].Load = 0xFF;
  }
}

void DrawStationTemplate(BOOL ShowAll) {
  DrawTemplateRows(StationTemplate);
  if (ShowAll) {
    for (int i = 0; i < 4; ++i) {
      GotoXY(43, 15 + i);
      ConsolePrintf("%s", OtherStatistics[i]);
    }
  }
}

/* While bit 0 of AssocStatus is set the group differs from what was stored and
   is drawn on every pass. */
void RefreshStationStatus(void) {
  if (Stats.AssocStatus == ShownStatus) return;
  ShownStatus = Stats.AssocStatus & ~1;
  BOOL Associated = (Stats.AssocStatus & CVL_ASSOCIATED) != 0;
  GotoXY(46, 2);
  ConsolePrintf("%s", Associated ? "Associated  " : "Unassociated");
  GotoXY(71, 3);
  ConsolePrintf("%s", Associated ? " " : "*");
  GotoXY(61, 2);
  if (Associated && Stats.PowerMode != 0)
    ConsolePrintf("%3d", Stats.StationId);
  else
    ConsolePrintf("%s", "   ");
}

/* The 1-based number of the access-point table entry that CurrentApPtr points to. */
int CurrentApNumber(void) {
  if (Stats.CurrentApPtr == 0) return 0;
  return (WORD)(Stats.CurrentApPtr - ApTableAddress) / (int)sizeof(CVL_AP_ENTRY) + 1;
}

void RefreshApTable(void) {
  if (TableRedraw) {
    TableRedraw = FALSE;
    for (int i = 0; i < AP_TABLE_ENTRIES; ++i) {
      GotoXY((i < 5 ? 0 : 37) + 1, 20 + i % 5);
      ConsolePrintf("%3d%31s", Page * AP_TABLE_ENTRIES + i + 1, "");
      ShownAp[i].EntryStatus = 0;
      ForgetApSlot(&ShownAp[i]);
    }
  }
  for (int i = 0; i < AP_TABLE_ENTRIES; ++i) {
    const int Left = i < 5 ? 0 : 37;
    const int Row = 20 + i % 5;
    const CVL_AP_ENTRY *Current = &ApTable[i];
    CVL_AP_ENTRY *Shown = &ShownAp[i];
    BOOL BecameEmpty = FALSE;
    if (Current->EntryStatus != Shown->EntryStatus) {
      BecameEmpty = Current->EntryStatus == 0;
      Shown->EntryStatus = Current->EntryStatus;
      GotoXY(Left + 8, Row);
      ConsolePrintf("%2X", Current->EntryStatus & 0x0F);
      GotoXY(Left + 7, Row);
      ConsolePrintf("%c", (Current->EntryStatus & 0x80) ? '*' : ' ');
    }
    if (Shown->EntryStatus != 0) {
      for (size_t f = 0; f < sizeof ApFields / sizeof ApFields[0]; ++f)
        DrawEntryField(&ApFields[f], Current, Shown, Left, Row);
    }
    if (BecameEmpty) {
      GotoXY(Left + 8, Row);
      ConsolePrintf("%27s", "");
      ForgetApSlot(Shown);
    }
  }
}
