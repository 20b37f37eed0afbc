/* The configuration dialog: template 500 of the library's resources, run as a
   modeless dialog in DoDialog's own message loop. */
#ifndef CVSETUP_DIALOG_H
#define CVSETUP_DIALOG_H

#include <windows.h>

#define IDD_CONFIGURATION 500

/* Controls of template 500. */
#define IDC_CARD_TYPE 305
#define IDC_INTERRUPT 315
#define IDC_IO_PORT 325
#define IDC_MEMORY 335
#define IDC_NET_ID 345
#define IDC_DIVERSITY 350
#define IDC_CELLAP_GROUP 355
#define IDC_CELLAP 360
#define IDC_BEACON_DELAY_LABEL 365
#define IDC_BEACON_DELAY 370
#define IDC_HOP_SEQUENCE_LABEL 375
#define IDC_HOP_SEQUENCE 380
#define IDC_AP_ID_LABEL 390
#define IDC_AP_ID 395
#define IDC_HELP_BUTTON 420
#define IDC_STATUS_LINE 450

/* String-table ids of the lists' ranges and defaults. */
#define IDS_INTERRUPT_FIRST 1
#define IDS_INTERRUPT_LAST 6
#define IDS_IO_PORT_FIRST 7
#define IDS_IO_PORT_LAST 8
#define IDS_MEMORY_FIRST 9
#define IDS_MEMORY_LAST 10
#define IDS_NET_ID_FIRST 11
#define IDS_NET_ID_LAST 12
#define IDS_BEACON_DELAY_FIRST 13
#define IDS_BEACON_DELAY_LAST 14
#define IDS_HOP_SEQUENCE_FIRST 15
#define IDS_HOP_SEQUENCE_LAST 16
#define IDS_AP_ID_FIRST 17
#define IDS_AP_ID_LAST 18
#define IDS_IO_PORT_DEFAULT 19
#define IDS_MEMORY_DEFAULT 20
#define IDS_NET_ID_DEFAULT 21
#define IDS_BEACON_DELAY_DEFAULT 22
#define IDS_HOP_SEQUENCE_EXTRA 23
#define IDS_AP_ID_EXTRA 24
#define IDS_CARD_TYPE_ISA 25
#define IDS_CARD_TYPE_PCMCIA 26

/* The library's module: the dialog template and the string table come from it. */
extern HMODULE SetupModule;
/* The dialog while it exists (kept for the validation). */
extern HWND DialogWindow;
extern DWORD DiversityFlag;
extern DWORD CellApFlag;
/* Cancel was chosen: the status stays 2 whatever messages come before the loop ends. */
extern BOOL DialogCancelled;

/* A number of the string table, read into a buffer of bufferSize characters
   (the NUL included) and taken as a decimal integer. */
LONG LoadStringNumber(UINT Id, int BufferSize);

/* A list of numbers: the string-table ids of its first and last value (read
   with a buffer of BufferSize characters), its step, its form (HexText or
   decimal), and the id of one more value that follows the range (0: none). */
typedef struct _LIST_RANGE {
  UINT FirstId;
  UINT LastId;
  int BufferSize;
  LONG Step;
  BOOL Hex;
  UINT ExtraId;
} LIST_RANGE;

/* The dialog fills its lists from these, and the validation checks against them. */
extern const LIST_RANGE IoPortRange, MemoryRange, NetIdRange, BeaconDelayRange, HopSequenceRange, ApIdRange;

/* A value of the list as the list shows it. */
void ListValueText(const LIST_RANGE *Range, LONG Value, LPSTR Text);
/* The list's extra value as the list shows it. */
void ListExtraText(const LIST_RANGE *Range, LPSTR Text);
/* Calls visit with the text of each value of the list, the extra value last,
   until it returns TRUE; TRUE when it did. */
typedef BOOL (*LIST_VISIT)(LPCSTR Text, LPCVOID Context);
BOOL ForEachListText(const LIST_RANGE *Range, LIST_VISIT Visit, LPCVOID Context);

INT_PTR CALLBACK ConfigurationDialogProc(HWND Dialog, UINT Message, WPARAM wParam, LPARAM lParam);

#endif
