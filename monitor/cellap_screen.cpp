/* The CellAP screen: template and the association table. */
#include "monitor.h"

#include <string.h>

static const char *const CellApTemplate[SCREEN_ROWS] = {
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

static int ShownAssocCount = -1; /* -1: not drawn yet */
static CVL_ASSOC_ENTRY ShownAssoc[ASSOC_TABLE_ENTRIES];

/* The counters of an entry, in drawing order. */
static const ENTRY_FIELD AssocFields[] = {
    {ENTRY_FIELD_OF(CVL_ASSOC_ENTRY, Id), 18, 1, "%2X"},     {ENTRY_FIELD_OF(CVL_ASSOC_ENTRY, Fifo), 21, 1, "%3d"},
    {ENTRY_FIELD_OF(CVL_ASSOC_ENTRY, TxDir), 25, 1, "%6u"},  {ENTRY_FIELD_OF(CVL_ASSOC_ENTRY, TxRtry), 31, 1, "%6u"},
    {ENTRY_FIELD_OF(CVL_ASSOC_ENTRY, TxFail), 39, 1, "%6u"}, {ENTRY_FIELD_OF(CVL_ASSOC_ENTRY, RxMac), 46, 1, "%6u"},
    {ENTRY_FIELD_OF(CVL_ASSOC_ENTRY, RxDup), 53, 1, "%6u"},  {ENTRY_FIELD_OF(CVL_ASSOC_ENTRY, RxCrc), 60, 1, "%6u"},
    {ENTRY_FIELD_OF(CVL_ASSOC_ENTRY, TxCon), 67, 1, "%6u"},  {ENTRY_FIELD_OF(CVL_ASSOC_ENTRY, Act), 72, 1, "%4d"},
    {ENTRY_FIELD_OF(CVL_ASSOC_ENTRY, Pol), 76, 1, "%4d"},
};

#define ASSOC_TXCON_FIELD 8 /* AssocFields' TxCon */
#define ASSOC_ACT_FIELD 9   /* AssocFields' Act */

/* So that every field of a slot is drawn when it fills again; the Id even when 0. */
static void ForgetAssocSlot(CVL_ASSOC_ENTRY *Shown) {
  Shown->Address[0] = 0xFF;
  Shown->Id = 0xFFFF;
  Shown->Fifo = Shown->TxDir = Shown->TxRtry = Shown->TxFail = Shown->RxMac = Shown->RxDup = Shown->RxCrc = 0;
  Shown->TxCon = 0;
  Shown->Act = Shown->Pol = 0;
}

void ResetCellApScreen(void) {
  ShownAssocCount = -1;
  memset(ShownAssoc, 0, sizeof ShownAssoc);
}

void DrawCellApTemplate(BOOL ShowAll) {
  DrawTemplateRows(CellApTemplate);
  if (ShowAll) {
    GotoXY(19, 9);
    ConsolePrintf("%s", "TxRetry    0 TxFail    0");
    GotoXY(19, 14);
    ConsolePrintf("%s", "RxDup      0 RxCRC     0");
  }
}

void RefreshAssocTable(void) {
  if (AssocCount != ShownAssocCount) {
    GotoXY(21, 15);
    ShownAssocCount = AssocCount;
    ConsolePrintf("%3d", AssocCount);
  }
  if (TableRedraw) {
    TableRedraw = FALSE;
    for (int i = 0; i < ASSOC_TABLE_ENTRIES; ++i) {
      GotoXY(1, 17 + i);
      ConsolePrintf("%3d%76s", Page * ASSOC_TABLE_ENTRIES + i + 1, "");
      ShownAssoc[i].EntryStatus = 0;
      ForgetAssocSlot(&ShownAssoc[i]);
    }
  }
  for (int i = 0; i < ASSOC_TABLE_ENTRIES; ++i) {
    const int Row = 17 + i;
    const CVL_ASSOC_ENTRY *Current = &AssocTable[i];
    CVL_ASSOC_ENTRY *Shown = &ShownAssoc[i];
    BOOL BecameEmpty = FALSE;
    if (Current->EntryStatus != Shown->EntryStatus) {
      BecameEmpty = Current->EntryStatus == 0;
      Shown->EntryStatus = Current->EntryStatus;
      GotoXY(8, Row);
      ConsolePrintf("%2X", Current->EntryStatus);
    }
    if (Shown->EntryStatus != 0) {
      if (memcmp(Current->Address, Shown->Address, sizeof Shown->Address) != 0) {
        memcpy(Shown->Address, Current->Address, sizeof Shown->Address);
        /* The first three bytes, the maker's prefix, are not shown. */
        GotoXY(11, Row);
        ConsolePrintf("%02X%02X%02X", Current->Address[3], Current->Address[4], Current->Address[5]);
      }
      for (size_t f = 0; f < sizeof AssocFields / sizeof AssocFields[0]; ++f) {
        /* TxCon (columns 67 to 72) and Act (72 to 75) share column 72: TxCon's
           last digit keeps it, as Act's first place is blank below 1000. */
        if (DrawEntryField(&AssocFields[f], Current, Shown, 0, Row) && f == ASSOC_ACT_FIELD) {
          GotoXY(AssocFields[ASSOC_TXCON_FIELD].Column, Row);
          ConsolePrintf(AssocFields[ASSOC_TXCON_FIELD].Format, Shown->TxCon);
        }
      }
    }
    if (BecameEmpty) {
      GotoXY(8, Row);
      ConsolePrintf("%72s", "");
      ForgetAssocSlot(Shown);
    }
  }
}
