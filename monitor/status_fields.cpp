/* What both screens share: the fields of the status block in one table (where
   each one stands on each screen, how it is printed and when it is shown), the
   field pass that draws those that changed, the rate pass with its per-period
   figures and bars, the template writer and the table entries' fields. */
#include "monitor.h"

#include <stdio.h>
#include <string.h>

/* Which screens show a field, and when. */
#define SHOW_STATION 0x01 /* on the station screen */
#define SHOW_CELLAP 0x02  /* on the CellAP screen */
#define SHOW_BOTH (SHOW_STATION | SHOW_CELLAP)
#define SHOW_ALL_ONLY 0x04  /* only with the all flag */
#define SHOW_HOP_DELTA 0x08 /* only under the regulatory domains 0 to 3 */

/* What a field's format prints. */
#define VALUE_NUMBER 0     /* the field */
#define VALUE_COUNT10 1    /* bits 0 to 9 of the field; a change of any bit draws it */
#define VALUE_AP_NUMBER 2  /* the number of the access-point entry that the field points to */
#define VALUE_CHOICE 3     /* Choice[0] when the field is 0, else Choice[1] */
#define VALUE_PER_PERIOD 4 /* rate pass: the field's change since the last pass */
#define VALUE_BAR 5        /* rate pass: the change as a bar from BAR_COLUMN */

typedef struct _STATUS_FIELD {
  WORD Offset; /* in CVL_STATUS_BLOCK */
  BYTE Size;   /* 1 or 2 bytes */
  BYTE Show;   /* SHOW_... */
  BYTE Column; /* station screen, 1-based */
  BYTE Row;
  BYTE CellApColumn; /* CellAP screen, 1-based */
  BYTE CellApRow;
  BYTE Value; /* VALUE_... */
  const char *Format;
  const char *Choice[2];
} STATUS_FIELD;

#define FIELD(name) offsetof(CVL_STATUS_BLOCK, name), sizeof(((CVL_STATUS_BLOCK *)0)->name)

/* In drawing order. The CellAP screen's counters stand one row higher. */
static const STATUS_FIELD StatusFields[] = {
    {FIELD(Diversity), SHOW_BOTH, 77, 2, 77, 2, VALUE_CHOICE, "%s", {"Yes", "No "}},
    {FIELD(NetId), SHOW_BOTH, 46, 3, 46, 3, VALUE_NUMBER, "%4X", {0}},
    {FIELD(ApId), SHOW_BOTH, 62, 3, 62, 3, VALUE_NUMBER, "%4X", {0}},
    {FIELD(PowerMode), SHOW_STATION, 68, 3, 0, 0, VALUE_CHOICE, "%s", {"CAM", "PSP"}},
    {FIELD(BeaconAlgorithm), SHOW_STATION, 78, 3, 0, 0, VALUE_NUMBER, "%2d", {0}},
    {FIELD(HopSequence), SHOW_BOTH, 12, 4, 12, 4, VALUE_NUMBER, "%2d", {0}},
    {FIELD(HopDelta), SHOW_BOTH | SHOW_HOP_DELTA, 30, 4, 30, 4, VALUE_NUMBER, "%2d", {0}},
    {FIELD(Frequency), SHOW_BOTH, 46, 4, 46, 4, VALUE_NUMBER, "24%02d", {0}},
    {FIELD(CurrentApPtr), SHOW_STATION, 62, 4, 0, 0, VALUE_AP_NUMBER, "%4d", {0}},
    {FIELD(ApCount), SHOW_STATION, 76, 4, 0, 0, VALUE_NUMBER, "%4d", {0}},
    {FIELD(AssocCount), SHOW_STATION, 46, 5, 0, 0, VALUE_NUMBER, "%4u", {0}},
    {FIELD(FullScans), SHOW_STATION, 62, 5, 0, 0, VALUE_NUMBER, "%4u", {0}},
    {FIELD(PartialScans), SHOW_STATION, 76, 5, 0, 0, VALUE_NUMBER, "%4u", {0}},
    {FIELD(TxHost), SHOW_BOTH, 11, 7, 11, 6, VALUE_NUMBER, "%5u", {0}},
    {FIELD(TxNonDirUni), SHOW_BOTH, 11, 8, 11, 7, VALUE_NUMBER, "%5u", {0}},
    {FIELD(TxDirUni), SHOW_BOTH, 11, 9, 11, 8, VALUE_NUMBER, "%5u", {0}},
    {FIELD(TxBytes), SHOW_BOTH, 11, 10, 11, 9, VALUE_NUMBER, "%5u", {0}},
    {FIELD(RxHost), SHOW_BOTH, 11, 12, 11, 11, VALUE_NUMBER, "%5u", {0}},
    {FIELD(RxNonDirUni), SHOW_BOTH, 11, 13, 11, 12, VALUE_NUMBER, "%5u", {0}},
    {FIELD(RxDirUni), SHOW_BOTH, 11, 14, 11, 13, VALUE_NUMBER, "%5u", {0}},
    {FIELD(RxBytes), SHOW_BOTH, 11, 15, 11, 14, VALUE_NUMBER, "%5u", {0}},
    /* The other statistics of the all flag. */
    {FIELD(TxRetries), SHOW_BOTH | SHOW_ALL_ONLY, 50, 16, 26, 9, VALUE_NUMBER, "%5u", {0}},
    {FIELD(TxFailures), SHOW_BOTH | SHOW_ALL_ONLY, 62, 16, 38, 9, VALUE_NUMBER, "%5u", {0}},
    {FIELD(RxDuplicates), SHOW_BOTH | SHOW_ALL_ONLY, 50, 17, 26, 14, VALUE_NUMBER, "%5u", {0}},
    {FIELD(RxCrcErrors), SHOW_BOTH | SHOW_ALL_ONLY, 62, 17, 38, 14, VALUE_NUMBER, "%5u", {0}},
    {FIELD(PspBeacons), SHOW_STATION | SHOW_ALL_ONLY, 75, 16, 0, 0, VALUE_COUNT10, "%4u", {0}},
    {FIELD(BeaconTimeouts), SHOW_STATION | SHOW_ALL_ONLY, 75, 17, 0, 0, VALUE_COUNT10, "%4u", {0}},
    {FIELD(MissedBeaconPct), SHOW_STATION | SHOW_ALL_ONLY, 53, 18, 0, 0, VALUE_NUMBER, "%2u", {0}},
    {FIELD(TxRetryPct), SHOW_STATION | SHOW_ALL_ONLY, 65, 18, 0, 0, VALUE_NUMBER, "%2u", {0}},
    {FIELD(RxCrcPct), SHOW_STATION | SHOW_ALL_ONLY, 77, 18, 0, 0, VALUE_NUMBER, "%2u", {0}},
    /* The roaming reasons. */
    {FIELD(RoamApNoTx), SHOW_STATION, 10, 17, 0, 0, VALUE_NUMBER, "%4u", {0}},
    {FIELD(RoamApRssi), SHOW_STATION, 24, 17, 0, 0, VALUE_NUMBER, "%4u", {0}},
    {FIELD(RoamApDrop), SHOW_STATION, 37, 17, 0, 0, VALUE_NUMBER, "%4u", {0}},
    {FIELD(RoamTxRxQuality), SHOW_STATION, 10, 18, 0, 0, VALUE_NUMBER, "%4u", {0}},
    {FIELD(RoamApLoad), SHOW_STATION, 24, 18, 0, 0, VALUE_NUMBER, "%4u", {0}},
    {FIELD(RoamModeChange), SHOW_STATION, 37, 18, 0, 0, VALUE_NUMBER, "%4u", {0}},
};

#define BAR_CHARACTER 220 /* the lower half block of the OEM code page */
#define BAR_COLUMN 17
#define BAR_MAX_COUNT 100

#define STATUS_FIELD_COUNT (sizeof StatusFields / sizeof StatusFields[0])

/* What the rate pass draws, in drawing order. */
static const STATUS_FIELD RateFields[] = {
    {FIELD(TxBytes), SHOW_STATION, 28, 10, 0, 0, VALUE_PER_PERIOD, "%5hu", {0}},
    {FIELD(RxBytes), SHOW_STATION, 28, 15, 0, 0, VALUE_PER_PERIOD, "%5hu", {0}},
    {FIELD(TxBarCount), SHOW_BOTH, BAR_COLUMN, 8, BAR_COLUMN, 7, VALUE_BAR, NULL, {0}},
    {FIELD(TxDirUni), SHOW_BOTH, BAR_COLUMN, 9, BAR_COLUMN, 8, VALUE_BAR, NULL, {0}},
    {FIELD(RxBarCount), SHOW_BOTH, BAR_COLUMN, 13, BAR_COLUMN, 12, VALUE_BAR, NULL, {0}},
    {FIELD(RxDirUni), SHOW_BOTH, BAR_COLUMN, 14, BAR_COLUMN, 13, VALUE_BAR, NULL, {0}},
};

#define RATE_FIELD_COUNT (sizeof RateFields / sizeof RateFields[0])

/* Regulatory domains by bits 0 to 2 of IeeeTable. */
static const char *const DomainNames[8] = {"none", "STD", "Japan", "Korea", "France", "Spain", "tbd", "tbd"};

static CVL_STATUS_BLOCK ShownStats; /* the status block as last drawn */
static BOOL FirstPass = TRUE;
static WORD PrevRates[RATE_FIELD_COUNT]; /* the rate fields as the last rate pass read them */

void ResetStatusFields(void) {
  memset(&ShownStats, 0, sizeof ShownStats);
  FirstPass = TRUE;
  memset(PrevRates, 0, sizeof PrevRates);
}

/* Firmware, domain, mode word and station address: drawn once, at the first
   successful field pass. */
static void DrawOneTimeFields(void) {
  char Firmware[sizeof Stats.FirmwareText + 1];
  BYTE Address[6];
  memcpy(Firmware, Stats.FirmwareText, sizeof Stats.FirmwareText);
  Firmware[sizeof Stats.FirmwareText] = '\0';
  GotoXY(12, 2);
  ConsolePrintf("%s", Firmware);
  GotoXY(12, 3);
  ConsolePrintf("%s", DomainNames[Stats.IeeeTable & CVL_IEEE_TABLE_MASK]);
  if (CellApMode)
    GotoXY(60, 4);
  else
    GotoXY(8, 5);
  ConsolePrintf("%s", MemoryBase != 0 ? "Memory" : "    IO");
  if (Cvlapi(CVL_FN_GET_ADDRESS, 6, Address) == CVL_SUCCESS) {
    /* On standard output: over the template's address when that is the console. */
    GotoXY(20, 3);
    printf("%02X%02X%02X-%02X%02X%02X\n", Address[0], Address[1], Address[2], Address[3], Address[4], Address[5]);
    fflush(stdout);
  }
}

static WORD FieldValue(const CVL_STATUS_BLOCK *Block, const STATUS_FIELD *Field) {
  const BYTE *At = (const BYTE *)Block + Field->Offset;
  if (Field->Size == 1) return *At;
  WORD Value;
  memcpy(&Value, At, sizeof Value);
  return Value;
}

/* Draws a field when it differs from what was last drawn, and remembers it. */
static void DrawStatusField(const STATUS_FIELD *Field) {
  WORD Value = FieldValue(&Stats, Field);
  if (Value == FieldValue(&ShownStats, Field)) return;
  memcpy((BYTE *)&ShownStats + Field->Offset, (const BYTE *)&Stats + Field->Offset, Field->Size);
  if (CellApMode)
    GotoXY(Field->CellApColumn, Field->CellApRow);
  else
    GotoXY(Field->Column, Field->Row);
  switch (Field->Value) {
    case VALUE_CHOICE:
      ConsolePrintf(Field->Format, Field->Choice[Value != 0]);
      break;
    case VALUE_COUNT10:
      ConsolePrintf(Field->Format, Value & CVL_COUNT10_MASK);
      break;
    case VALUE_AP_NUMBER:
      ConsolePrintf(Field->Format, CurrentApNumber());
      break;
    default:
      ConsolePrintf(Field->Format, Value);
      break;
  }
}

int RefreshFields(BOOL ShowAll) {
  const BYTE Screen = CellApMode ? SHOW_CELLAP : SHOW_STATION;
  if (ReadAdapterData() != CVL_SUCCESS) return 1;
  if (FirstPass) {
    FirstPass = FALSE;
    DrawOneTimeFields();
  }
  if (!CellApMode) RefreshStationStatus();
  for (size_t i = 0; i < STATUS_FIELD_COUNT; ++i) {
    const STATUS_FIELD *Field = &StatusFields[i];
    if (!(Field->Show & Screen)) continue;
    if ((Field->Show & SHOW_ALL_ONLY) && !ShowAll) continue;
    if ((Field->Show & SHOW_HOP_DELTA) && Stats.IeeeTable > 3) continue;
    DrawStatusField(Field);
  }
  return 0;
}

void DrawTemplateRows(const char *const Rows[SCREEN_ROWS]) {
  ClearScreen();
  for (int Row = 1; Row <= SCREEN_ROWS; ++Row) {
    GotoXY(1, Row);
    ConsolePrintf("%s", Rows[Row - 1]);
  }
}

/* Draws a field of a table entry when it differs from what was last drawn, and
   remembers it; TRUE when it was drawn. */
BOOL DrawEntryField(const ENTRY_FIELD *Field, const void *Current, void *Shown, int Left, int Row) {
  const BYTE *From = (const BYTE *)Current + Field->Offset;
  BYTE *To = (BYTE *)Shown + Field->Offset;
  if (memcmp(From, To, Field->Size) == 0) return FALSE;
  memcpy(To, From, Field->Size);
  WORD Value = *From;
  if (Field->Size == 2) memcpy(&Value, From, sizeof Value);
  GotoXY(Left + Field->Column, Row);
  ConsolePrintf(Field->Format, Value / Field->Divisor);
  return TRUE;
}

static void DrawBar(int Column, int Row, int Count) {
  GotoXY(Column, Row);
  ClearToEndOfLine();
  if (Count > BAR_MAX_COUNT) Count = BAR_MAX_COUNT;
  for (int i = 0; i < Count; i += 2) ConsolePutChar(BAR_CHARACTER);
}

/* Per-period figures: the change of a counter between two rate passes (19
   ticks), unscaled. Byte/sec differences are taken modulo 65,536; the bars'
   are plain signed differences, so a wrapped counter gives an empty bar. */
void RefreshRates(void) {
  const BYTE Screen = CellApMode ? SHOW_CELLAP : SHOW_STATION;
  for (size_t i = 0; i < RATE_FIELD_COUNT; ++i) {
    const STATUS_FIELD *Field = &RateFields[i];
    if (!(Field->Show & Screen)) continue;
    WORD Value = FieldValue(&Stats, Field);
    if (Field->Value == VALUE_BAR) {
      DrawBar(Field->Column, CellApMode ? Field->CellApRow : Field->Row, (int)Value - (int)PrevRates[i]);
    } else {
      GotoXY(Field->Column, Field->Row);
      ConsolePrintf(Field->Format, (unsigned short)(Value - PrevRates[i]));
    }
    PrevRates[i] = Value;
  }
}
