// The configuration dialog's procedure: its lists, presets, the CellAP group,
// Help, Cancel and Close.
#include "dialog.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "registry_parameters.h"
#include "result_text.h"
#include "setup_state.h"
#include "setup_text.h"
#include "validation.h"

HMODULE SetupModule;
HWND DialogWindow;
DWORD DiversityFlag;
DWORD CellApFlag;
BOOL DialogCancelled;

// The index each list is preset to.
static LONG CardTypePreset, InterruptPreset, IoPortPreset, MemoryPreset, NetIdPreset;
static LONG BeaconDelayPreset, HopSequencePreset, ApIdPreset;

// The controls that the CellAP check box switches on and off.
static const int CellApGroup[] = {IDC_CELLAP_GROUP, IDC_BEACON_DELAY_LABEL, IDC_BEACON_DELAY, IDC_HOP_SEQUENCE_LABEL,
                                  IDC_HOP_SEQUENCE, IDC_AP_ID_LABEL, IDC_AP_ID};

static LPCSTR HelpFile(void) { return InstallMode ? "a:\\winnt35\\i386\\cvsetup.hlp" : "cvsetup.hlp"; }

LONG LoadStringNumber(UINT id, int bufferSize) {
  CHAR text[16];
  if (bufferSize > (int)sizeof(text)) bufferSize = sizeof(text);
  LoadStringA(SetupModule, id, text, bufferSize);
  return strtol(text, NULL, 10);
}

static LRESULT AddItem(HWND dialog, int control, LPCSTR text) {
  return SendDlgItemMessageA(dialog, control, CB_ADDSTRING, 0, (LPARAM)text);
}

// The first item that begins with text, or CB_ERR (the empty text finds none).
static LONG FindItem(HWND dialog, int control, LPCSTR text) {
  return (LONG)SendDlgItemMessageA(dialog, control, CB_FINDSTRING, (WPARAM)-1, (LPARAM)text);
}

static void Select(HWND dialog, int control, LONG index) {
  SendDlgItemMessageA(dialog, control, CB_SETCURSEL, (WPARAM)index, 0);
}

const LIST_RANGE IoPortRange = {IDS_IO_PORT_FIRST, IDS_IO_PORT_LAST, 6, 16, TRUE, 0};
const LIST_RANGE MemoryRange = {IDS_MEMORY_FIRST, IDS_MEMORY_LAST, 10, 16384, TRUE, 0};
const LIST_RANGE NetIdRange = {IDS_NET_ID_FIRST, IDS_NET_ID_LAST, 5, 1, TRUE, 0};
const LIST_RANGE BeaconDelayRange = {IDS_BEACON_DELAY_FIRST, IDS_BEACON_DELAY_LAST, 5, 1, FALSE, 0};
const LIST_RANGE HopSequenceRange = {IDS_HOP_SEQUENCE_FIRST, IDS_HOP_SEQUENCE_LAST, 5, 1, FALSE, IDS_HOP_SEQUENCE_EXTRA};
const LIST_RANGE ApIdRange = {IDS_AP_ID_FIRST, IDS_AP_ID_LAST, 5, 1, TRUE, IDS_AP_ID_EXTRA};

void ListValueText(const LIST_RANGE* range, LONG value, LPSTR text) {
  if (range->Hex)
    HexText((DWORD)value, text);
  else
    sprintf(text, "%ld", (long)value);
}

void ListExtraText(const LIST_RANGE* range, LPSTR text) {
  ListValueText(range, LoadStringNumber(range->ExtraId, 10), text);
}

BOOL ForEachListText(const LIST_RANGE* range, LIST_VISIT visit, LPCVOID context) {
  CHAR text[16];
  LONG last = LoadStringNumber(range->LastId, range->BufferSize);
  for (LONG value = LoadStringNumber(range->FirstId, range->BufferSize); value <= last; value += range->Step) {
    ListValueText(range, value, text);
    if (visit(text, context)) return TRUE;
  }
  if (range->ExtraId == 0) return FALSE;
  ListExtraText(range, text);
  return visit(text, context);
}

// Adds an item to the list whose dialog and control the context names.
typedef struct LIST_CONTROL {
  HWND Dialog;
  int Control;
} LIST_CONTROL;

static BOOL AddListItem(LPCSTR text, LPCVOID context) {
  const LIST_CONTROL* list = (const LIST_CONTROL*)context;
  AddItem(list->Dialog, list->Control, text);
  return FALSE;
}

// Adds the values of the range, and its extra value, to the list.
static void AddRange(HWND dialog, int control, const LIST_RANGE* range) {
  LIST_CONTROL list = {dialog, control};
  ForEachListText(range, AddListItem, &list);
}

// The preset of a list: the string table's default, replaced in a
// reconfiguration by the instance's current value.
static LONG FindPreset(HWND dialog, int control, LPCSTR defaultText, int currentValue) {
  return FindItem(dialog, control, ReconfigureMode ? CurrentValues[currentValue] : defaultText);
}

static void FillMainLists(HWND dialog) {
  CHAR text[16];
  LoadStringA(SetupModule, IDS_CARD_TYPE_ISA, text, 10);
  AddItem(dialog, IDC_CARD_TYPE, text);
  LoadStringA(SetupModule, IDS_CARD_TYPE_PCMCIA, text, 10);
  AddItem(dialog, IDC_CARD_TYPE, text);
  CardTypePreset = FindItem(dialog, IDC_CARD_TYPE, strcmp(CurrentValues[CV_CARD_TYPE], "0") == 0 ? "PCMCIA" : "WPOS/ISA");

  for (UINT id = IDS_INTERRUPT_FIRST; id <= IDS_INTERRUPT_LAST; id++) {
    LoadStringA(SetupModule, id, text, 10);
    AddItem(dialog, IDC_INTERRUPT, text);
  }
  InterruptPreset = ReconfigureMode ? FindItem(dialog, IDC_INTERRUPT, CurrentValues[CV_INTERRUPT_NUMBER]) : 0;

  AddRange(dialog, IDC_IO_PORT, &IoPortRange);
  HexText((DWORD)LoadStringNumber(IDS_IO_PORT_DEFAULT, 10), text);
  IoPortPreset = FindPreset(dialog, IDC_IO_PORT, text, CV_IO_BASE_ADDRESS);

  AddRange(dialog, IDC_MEMORY, &MemoryRange);
  HexText((DWORD)LoadStringNumber(IDS_MEMORY_DEFAULT, 10), text);
  MemoryPreset = FindPreset(dialog, IDC_MEMORY, text, CV_MEMORY_ADDRESS);

  AddRange(dialog, IDC_NET_ID, &NetIdRange);
  HexText((DWORD)LoadStringNumber(IDS_NET_ID_DEFAULT, 10), text);
  NetIdPreset = FindPreset(dialog, IDC_NET_ID, text, CV_NET_ID);
}

// Fills the three CellAP lists and selects their presets.
static void FillCellApLists(HWND dialog) {
  CHAR text[16];
  // Emptied first, so that a repeated notification cannot add the items twice.
  SendDlgItemMessageA(dialog, IDC_BEACON_DELAY, CB_RESETCONTENT, 0, 0);
  SendDlgItemMessageA(dialog, IDC_HOP_SEQUENCE, CB_RESETCONTENT, 0, 0);
  SendDlgItemMessageA(dialog, IDC_AP_ID, CB_RESETCONTENT, 0, 0);

  AddRange(dialog, IDC_BEACON_DELAY, &BeaconDelayRange);
  sprintf(text, "%ld", (long)LoadStringNumber(IDS_BEACON_DELAY_DEFAULT, 10));
  BeaconDelayPreset = FindPreset(dialog, IDC_BEACON_DELAY, text, CV_CELLAP_BDELAY);

  AddRange(dialog, IDC_HOP_SEQUENCE, &HopSequenceRange);
  ListExtraText(&HopSequenceRange, text);
  HopSequencePreset = FindPreset(dialog, IDC_HOP_SEQUENCE, text, CV_CELLAP_HOP_SEQ);

  AddRange(dialog, IDC_AP_ID, &ApIdRange);
  ListExtraText(&ApIdRange, text);
  ApIdPreset = FindPreset(dialog, IDC_AP_ID, text, CV_CELLAP_ID);

  Select(dialog, IDC_BEACON_DELAY, BeaconDelayPreset);
  Select(dialog, IDC_HOP_SEQUENCE, HopSequencePreset);
  Select(dialog, IDC_AP_ID, ApIdPreset);
}

static void EnableCellApGroup(HWND dialog, BOOL enable) {
  for (size_t i = 0; i < sizeof(CellApGroup) / sizeof(CellApGroup[0]); i++)
    EnableWindow(GetDlgItem(dialog, CellApGroup[i]), enable);
}

static void SwitchCellAp(HWND dialog) {
  if (IsDlgButtonChecked(dialog, IDC_CELLAP) == BST_CHECKED) {
    CellApFlag = 1;
    EnableCellApGroup(dialog, TRUE);
    FillCellApLists(dialog);
  } else {
    CellApFlag = 0;
    SendDlgItemMessageA(dialog, IDC_BEACON_DELAY, CB_RESETCONTENT, 0, 0);
    SendDlgItemMessageA(dialog, IDC_HOP_SEQUENCE, CB_RESETCONTENT, 0, 0);
    SendDlgItemMessageA(dialog, IDC_AP_ID, CB_RESETCONTENT, 0, 0);
    EnableCellApGroup(dialog, FALSE);
  }
}

static void CentreDialog(HWND dialog) {
  RECT rect;
  GetWindowRect(dialog, &rect);
  int x = (GetSystemMetrics(SM_CXSCREEN) - (rect.right - rect.left)) / 2;
  int y = (GetSystemMetrics(SM_CYSCREEN) - (rect.bottom - rect.top)) / 2;
  SetWindowPos(dialog, NULL, x, y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
}

static void InitialiseDialog(HWND dialog) {
  DialogWindow = dialog;
  CentreDialog(dialog);
  FillMainLists(dialog);
  if (ReconfigureMode) {
    DiversityFlag = strcmp(CurrentValues[CV_DIVERSITY], "1") == 0;
    if (DiversityFlag) SendDlgItemMessageA(dialog, IDC_DIVERSITY, BM_SETCHECK, BST_CHECKED, 0);
    CellApFlag = strcmp(CurrentValues[CV_CELLAP], "1") == 0;
    if (CellApFlag) {
      SendDlgItemMessageA(dialog, IDC_CELLAP, BM_SETCHECK, BST_CHECKED, 0);
      EnableCellApGroup(dialog, TRUE);
      FillCellApLists(dialog);
    }
    Select(dialog, IDC_CARD_TYPE, CardTypePreset);
    Select(dialog, IDC_INTERRUPT, InterruptPreset);
  } else {
    SendDlgItemMessageA(dialog, IDC_CARD_TYPE, CB_SELECTSTRING, 0, (LPARAM) "PCMCIA");
    Select(dialog, IDC_INTERRUPT, 0);
  }
  Select(dialog, IDC_IO_PORT, IoPortPreset);
  Select(dialog, IDC_MEMORY, MemoryPreset);
  Select(dialog, IDC_NET_ID, NetIdPreset);
}

INT_PTR CALLBACK ConfigurationDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      InitialiseDialog(dialog);
      SetupStatus = 0;
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
          SetupStatus = 0;
          ValidateAll();
          if (AllFieldsValid) {
            BuildResultFields(dialog);
            DestroyWindow(dialog);
            return 0;
          }
          ShowFirstMessage();
          break;
        case IDCANCEL:
          SetupStatus = 2;
          DialogCancelled = TRUE;
          PostQuitMessage(0);
          return 0;
        case IDC_DIVERSITY:
          SetupStatus = 0;
          DiversityFlag = IsDlgButtonChecked(dialog, IDC_DIVERSITY) == BST_CHECKED;
          break;
        case IDC_CELLAP:
          SetupStatus = 0;
          SwitchCellAp(dialog);
          break;
        case IDC_HELP_BUTTON:
          SetupStatus = 0;
          WinHelpA(dialog, HelpFile(), HELP_CONTENTS, 0);
          return 0;
        default:
          SetupStatus = 0;
          break;
      }
      return DefWindowProcA(dialog, message, wParam, lParam);
    case WM_CLOSE:
      SetupStatus = 0;
      WinHelpA(dialog, HelpFile(), HELP_QUIT, 0);
      DestroyWindow(dialog);
      return 0;
    case WM_DESTROY:
      WinHelpA(dialog, HelpFile(), HELP_QUIT, 0);
      PostQuitMessage(0);
      return 0;
    default:
      SetupStatus = 0;
      return DefWindowProcA(dialog, message, wParam, lParam);
  }
}
