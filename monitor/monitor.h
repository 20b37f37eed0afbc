/* cv_mon: the live statistics screen of the adapter. The main loop (monitor.cpp)
   reads the adapter on field passes and redraws rates, bars and the table on
   rate passes; the station screen (station_screen.cpp) and the CellAP screen
   (cellap_screen.cpp) draw the fields. All state is static. */
#ifndef CVLAN_MONITOR_H
#define CVLAN_MONITOR_H

#include <windows.h>

#include "console_screen.h"
#include "cvlapi.h"

/* One entry of the adapter's access-point table (station mode). */
#pragma pack(push, 1)
typedef struct _CVL_AP_ENTRY {
  BYTE Reserved00[2];
  BYTE EntryStatus; /* 0: empty; bit 7: marked; bits 0 to 3: status number */
  BYTE ApId;
  BYTE Hop;
  BYTE Reserved05[29];
  WORD Rssi; /* shown divided by 4 */
  BYTE Reserved24[2];
  BYTE MuCount;
  BYTE Load;
  BYTE Reserved28[10];
} CVL_AP_ENTRY, *PCVL_AP_ENTRY;

/* One entry of the adapter's association table (CellAP mode). */
typedef struct _CVL_ASSOC_ENTRY {
  BYTE EntryStatus; /* 0: empty */
  BYTE Address[6];  /* the station's address, in transmission order */
  BYTE Reserved07[4];
  WORD Fifo;
  WORD Id;
  WORD TxDir;
  WORD TxRtry;
  WORD TxFail;
  WORD RxMac;
  WORD RxDup;
  WORD RxCrc;
  BYTE TxCon;
  WORD Act;
  WORD Pol;
} CVL_ASSOC_ENTRY, *PCVL_ASSOC_ENTRY;
#pragma pack(pop)

static_assert(sizeof(CVL_AP_ENTRY) == 50, "CVL_AP_ENTRY size");
static_assert(offsetof(CVL_AP_ENTRY, EntryStatus) == 0x02, "CVL_AP_ENTRY.EntryStatus");
static_assert(offsetof(CVL_AP_ENTRY, ApId) == 0x03, "CVL_AP_ENTRY.ApId");
static_assert(offsetof(CVL_AP_ENTRY, Hop) == 0x04, "CVL_AP_ENTRY.Hop");
static_assert(offsetof(CVL_AP_ENTRY, Rssi) == 0x22, "CVL_AP_ENTRY.Rssi");
static_assert(offsetof(CVL_AP_ENTRY, MuCount) == 0x26, "CVL_AP_ENTRY.MuCount");
static_assert(offsetof(CVL_AP_ENTRY, Load) == 0x27, "CVL_AP_ENTRY.Load");

static_assert(sizeof(CVL_ASSOC_ENTRY) == 32, "CVL_ASSOC_ENTRY size");
static_assert(offsetof(CVL_ASSOC_ENTRY, EntryStatus) == 0x00, "CVL_ASSOC_ENTRY.EntryStatus");
static_assert(offsetof(CVL_ASSOC_ENTRY, Address) == 0x01, "CVL_ASSOC_ENTRY.Address");
static_assert(offsetof(CVL_ASSOC_ENTRY, Fifo) == 0x0B, "CVL_ASSOC_ENTRY.Fifo");
static_assert(offsetof(CVL_ASSOC_ENTRY, Id) == 0x0D, "CVL_ASSOC_ENTRY.Id");
static_assert(offsetof(CVL_ASSOC_ENTRY, TxDir) == 0x0F, "CVL_ASSOC_ENTRY.TxDir");
static_assert(offsetof(CVL_ASSOC_ENTRY, TxRtry) == 0x11, "CVL_ASSOC_ENTRY.TxRtry");
static_assert(offsetof(CVL_ASSOC_ENTRY, TxFail) == 0x13, "CVL_ASSOC_ENTRY.TxFail");
static_assert(offsetof(CVL_ASSOC_ENTRY, RxMac) == 0x15, "CVL_ASSOC_ENTRY.RxMac");
static_assert(offsetof(CVL_ASSOC_ENTRY, RxDup) == 0x17, "CVL_ASSOC_ENTRY.RxDup");
static_assert(offsetof(CVL_ASSOC_ENTRY, RxCrc) == 0x19, "CVL_ASSOC_ENTRY.RxCrc");
static_assert(offsetof(CVL_ASSOC_ENTRY, TxCon) == 0x1B, "CVL_ASSOC_ENTRY.TxCon");
static_assert(offsetof(CVL_ASSOC_ENTRY, Act) == 0x1C, "CVL_ASSOC_ENTRY.Act");
static_assert(offsetof(CVL_ASSOC_ENTRY, Pol) == 0x1E, "CVL_ASSOC_ENTRY.Pol");

#define AP_TABLE_ENTRIES 10                                               /* one page of the access-point table */
#define ASSOC_TABLE_ENTRIES 8                                             /* one page of the association table */
#define AP_TABLE_PAGE_SIZE (AP_TABLE_ENTRIES * (int)sizeof(CVL_AP_ENTRY)) /* 500 */
#define ASSOC_TABLE_PAGE_SIZE (ASSOC_TABLE_ENTRIES * (int)sizeof(CVL_ASSOC_ENTRY)) /* 256 */

/* Monitor state (monitor.cpp), shared with the screens. */
extern CVLAPI_PROC Cvlapi;
extern BOOL CellApMode;
extern WORD ApTableAddress;
extern WORD AssocTableAddress;
extern WORD MemoryBase;        /* decides the mode word: "Memory" or "    IO" */
extern int Page;               /* 0 or 1 */
extern BOOL TableRedraw;       /* a page key was taken: the next table pass redraws */
extern CVL_STATUS_BLOCK Stats; /* the status block as last read */
extern CVL_AP_ENTRY ApTable[AP_TABLE_ENTRIES];
extern CVL_ASSOC_ENTRY AssocTable[ASSOC_TABLE_ENTRIES];
extern WORD AssocCount; /* stations associated with the CellAP */
/* The read cycle of a field pass: 0 when everything was read. */
LONG ReadAdapterData(void);

/* The status block's fields on both screens (status_fields.cpp): the field pass
   (1 when the adapter could not be read) and the rate pass. */
int RefreshFields(BOOL ShowAll);
void RefreshRates(void);
void ResetStatusFields(void);

#define SCREEN_ROWS 25

/* Clears the screen and writes a screen's template, a text a row. */
void DrawTemplateRows(const char *const Rows[SCREEN_ROWS]);

/* A field of an access-point or association table entry: its place in the
   entry, its column in the slot, and how it is printed (the field divided by
   Divisor). */
typedef struct _ENTRY_FIELD {
  WORD Offset;
  BYTE Size; /* 1 or 2 bytes */
  BYTE Column;
  BYTE Divisor;
  const char *Format;
} ENTRY_FIELD;

#define ENTRY_FIELD_OF(type, name) offsetof(type, name), sizeof(((type *)0)->name)

BOOL DrawEntryField(const ENTRY_FIELD *Field, const void *Current, void *Shown, int Left, int Row);

/* Station screen (station_screen.cpp). */
void DrawStationTemplate(BOOL ShowAll);
void RefreshStationStatus(void);
int CurrentApNumber(void);
void RefreshApTable(void);
void ResetStationScreen(void);

/* CellAP screen (cellap_screen.cpp). */
void DrawCellApTemplate(BOOL ShowAll);
void RefreshAssocTable(void);
void ResetCellApScreen(void);

/* The whole program. */
int MonitorMain(int argc, char **argv);

#endif
