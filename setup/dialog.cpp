/* The configuration dialog's procedure: its lists, presets, the CellAP group,
   Help, Cancel and Close. */
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

/* The index each list is preset to. */
static LONG CardTypePreset, InterruptPreset, IoPortPreset, MemoryPreset, NetIdPreset;
static LONG BeaconDelayPreset, HopSequencePreset, ApIdPreset;

/* The controls that the CellAP check box switches on and off. */
static const int CellApGroup[] = {IDC_CELLAP_GROUP, IDC_BEACON_DELAY_LABEL, IDC_BEACON_DELAY, IDC_HOP_SEQUENCE_LABEL,
                                  IDC_HOP_SEQUENCE, IDC_AP_ID_LABEL,        IDC_AP_ID};

static LPCSTR HelpFile(void) { return InstallMode ? "a:\\winnt35\\i386\\cvsetup.hlp" : "cvsetup.hlp"; }

LONG LoadStringNumber(UINT Id, int BufferSize) {
  CHAR Text[16];
  if (BufferSize > (int)sizeof(Text)) BufferSize = sizeof(Text);
  LoadStringA(SetupModule, Id, Text, BufferSize);
  return strtol(Text, NULL, 10);
}

static LRESULT AddItem(HWND Dialog, int Control, LPCSTR Text) {
  return SendDlgItemMessageA(Dialog, Control, CB_ADDSTRING, 0, (LPARAM)Text);
}

/* The first item that begins with text, or CB_ERR (the empty text finds none). */
static LONG FindItem(HWND Dialog, int Control, LPCSTR Text) {
  return (LONG)SendDlgItemMessageA(Dialog, Control, CB_FINDSTRING, (WPARAM)-1, (LPARAM)Text);
}

static void Select(HWND Dialog, int Control, LONG Index) {
  SendDlgItemMessageA(Dialog, Control, CB_SETCURSEL, (WPARAM)Index, 0);
}

const LIST_RANGE IoPortRange = {IDS_IO_PORT_FIRST, IDS_IO_PORT_LAST, 6, 16, TRUE, 0};
const LIST_RANGE MemoryRange = {IDS_MEMORY_FIRST, IDS_MEMORY_LAST, 10, 16384, TRUE, 0};
const LIST_RANGE NetIdRange = {IDS_NET_ID_FIRST, IDS_NET_ID_LAST, 5, 1, TRUE, 0};
const LIST_RANGE BeaconDelayRange = {IDS_BEACON_DELAY_FIRST, IDS_BEACON_DELAY_LAST, 5, 1, FALSE, 0};
const LIST_RANGE HopSequenceRange = {IDS_HOP_SEQUENCE_FIRST, IDS_HOP_SEQUENCE_LAST, 5, 1, FALSE,
                                     IDS_HOP_SEQUENCE_EXTRA};
const LIST_RANGE ApIdRange = {IDS_AP_ID_FIRST, IDS_AP_ID_LAST, 5, 1, TRUE, IDS_AP_ID_EXTRA};

void ListValueText(const LIST_RANGE *Range, LONG Value, LPSTR Text) {
  if (Range->Hex)
    HexText((DWORD)Value, Text);
  else
    sprintf(Text, "%ld", (long)Value);
}

void ListExtraText(const LIST_RANGE *Range, LPSTR Text) {
  ListValueText(Range, LoadStringNumber(Range->ExtraId, 10), Text);
}

BOOL ForEachListText(const LIST_RANGE *Range, LIST_VISIT Visit, LPCVOID Context) {
  CHAR Text[16];
  LONG Last = LoadStringNumber(Range->LastId, Range->BufferSize);
  for (LONG Value = LoadStringNumber(Range->FirstId, Range->BufferSize); Value <= Last; Value += Range->Step) {
    ListValueText(Range, Value, Text);
    if (Visit(Text, Context)) return TRUE;
  }
  if (Range->ExtraId == 0) return FALSE;
  ListExtraText(Range, Text);
  return Visit(Text, Context);
}

/* Adds an item to the list whose dialog and control the context names. */
typedef struct _LIST_CONTROL {
  HWND Dialog;
  int Control;
} LIST_CONTROL;

static BOOL AddListItem(LPCSTR Text, LPCVOID Context) {
  const LIST_CONTROL *List = (const LIST_CONTROL *)Context;
  AddItem(List->Dialog, List->Control, Text);
  return FALSE;
}

/* Adds the values of the range, and its extra value, to the list. */
static void AddRange(HWND Dialog, int Control, const LIST_RANGE *Range) {
  LIST_CONTROL List = {Dialog, Control};
  ForEachListText(Range, AddListItem, &List);
}

/* The preset of a list: the string table's default, replaced in a
   reconfiguration by the instance's current value. */
static LONG FindPreset(HWND Dialog, int Control, LPCSTR DefaultText, int CurrentValue) {
  return FindItem(Dialog, Control, ReconfigureMode ? CurrentValues[CurrentValue] : DefaultText);
}

static void FillMainLists(HWND Dialog) {
  CHAR Text[16];
  LoadStringA(SetupModule, IDS_CARD_TYPE_ISA, Text, 10);
  AddItem(Dialog, IDC_CARD_TYPE, Text);
  LoadStringA(SetupModule, IDS_CARD_TYPE_PCMCIA, Text, 10);
  AddItem(Dialog, IDC_CARD_TYPE, Text);
  CardTypePreset =
      FindItem(Dialog, IDC_CARD_TYPE, strcmp(CurrentValues[CV_CARD_TYPE], "0") == 0 ? "PCMCIA" : "WPOS/ISA");

  for (UINT Id = IDS_INTERRUPT_FIRST; Id <= IDS_INTERRUPT_LAST; Id++) {
    LoadStringA(SetupModule, Id, Text, 10);
    AddItem(Dialog, IDC_INTERRUPT, Text);
  }
  InterruptPreset = ReconfigureMode ? FindItem(Dialog, IDC_INTERRUPT, CurrentValues[CV_INTERRUPT_NUMBER]) : 0;

  AddRange(Dialog, IDC_IO_PORT, &IoPortRange);
  HexText((DWORD)LoadStringNumber(IDS_IO_PORT_DEFAULT, 10), Text);
  IoPortPreset = FindPreset(Dialog, IDC_IO_PORT, Text, CV_IO_BASE_ADDRESS);

  AddRange(Dialog, IDC_MEMORY, &MemoryRange);
  HexText((DWORD)LoadStringNumber(IDS_MEMORY_DEFAULT, 10), Text);
  MemoryPreset = FindPreset(Dialog, IDC_MEMORY, Text, CV_MEMORY_ADDRESS);

  AddRange(Dialog, IDC_NET_ID, &NetIdRange);
  HexText((DWORD)LoadStringNumber(IDS_NET_ID_DEFAULT, 10), Text);
  NetIdPreset = FindPreset(Dialog, IDC_NET_ID, Text, CV_NET_ID);
}

/* Fills the three CellAP lists and selects their presets. */
static void FillCellApLists(HWND Dialog) {
  CHAR Text[16];
  /* Emptied first, so that a repeated notification cannot add the items twice. */
  SendDlgItemMessageA(Dialog, IDC_BEACON_DELAY, CB_RESETCONTENT, 0, 0);
  SendDlgItemMessageA(Dialog, IDC_HOP_SEQUENCE, CB_RESETCONTENT, 0, 0);
  SendDlgItemMessageA(Dialog, IDC_AP_ID, CB_RESETCONTENT, 0, 0);

  AddRange(Dialog, IDC_BEACON_DELAY, &BeaconDelayRange);
  sprintf(Text, "%ld", (long)LoadStringNumber(IDS_BEACON_DELAY_DEFAULT, 10));
  BeaconDelayPreset = FindPreset(Dialog, IDC_BEACON_DELAY, Text, CV_CELLAP_BDELAY);

  AddRange(Dialog, IDC_HOP_SEQUENCE, &HopSequenceRange);
  ListExtraText(&HopSequenceRange, Text);
  HopSequencePreset = FindPreset(Dialog, IDC_HOP_SEQUENCE, Text, CV_CELLAP_HOP_SEQ);

  AddRange(Dialog, IDC_AP_ID, &ApIdRange);
  ListExtraText(&ApIdRange, Text);
  ApIdPreset = FindPreset(Dialog, IDC_AP_ID, Text, CV_CELLAP_ID);

  Select(Dialog, IDC_BEACON_DELAY, BeaconDelayPreset);
  Select(Dialog, IDC_HOP_SEQUENCE, HopSequencePreset);
  Select(Dialog, IDC_AP_ID, ApIdPreset);
}

static void EnableCellApGroup(HWND Dialog, BOOL Enable) {
  for (size_t i = 0; i < sizeof(CellApGroup) / sizeof(CellApGroup[0]); i++)
    EnableWindow(GetDlgItem(Dialog, CellApGroup[i]), Enable);
}

static void SwitchCellAp(HWND Dialog) {
  if (IsDlgButtonChecked(Dialog, IDC_CELLAP) == BST_CHECKED) {
    CellApFlag = 1;
    EnableCellApGroup(Dialog, TRUE);
    FillCellApLists(Dialog);
  } else {
    CellApFlag = 0;
    SendDlgItemMessageA(Dialog, IDC_BEACON_DELAY, CB_RESETCONTENT, 0, 0);
    SendDlgItemMessageA(Dialog, IDC_HOP_SEQUENCE, CB_RESETCONTENT, 0, 0);
    SendDlgItemMessageA(Dialog, IDC_AP_ID, CB_RESETCONTENT, 0, 0);
    EnableCellApGroup(Dialog, FALSE);
  }
}

static void CentreDialog(HWND Dialog) {
  RECT Rect;
  GetWindowRect(Dialog, &Rect);
  int x = (GetSystemMetrics(SM_CXSCREEN) - (Rect.right - Rect.left)) / 2;
  int y = (GetSystemMetrics(SM_CYSCREEN) - (Rect.bottom - Rect.top)) / 2;
  SetWindowPos(Dialog, NULL, x, y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
}

static void InitialiseDialog(HWND Dialog) {
  DialogWindow = Dialog;
  CentreDialog(Dialog);
  FillMainLists(Dialog);
  if (ReconfigureMode) {
    DiversityFlag = strcmp(CurrentValues[CV_DIVERSITY], "1") == 0;
    if (DiversityFlag) SendDlgItemMessageA(Dialog, IDC_DIVERSITY, BM_SETCHECK, BST_CHECKED, 0);
    CellApFlag = strcmp(CurrentValues[CV_CELLAP], "1") == 0;
    if (CellApFlag) {
      SendDlgItemMessageA(Dialog, IDC_CELLAP, BM_SETCHECK, BST_CHECKED, 0);
      EnableCellApGroup(Dialog, TRUE);
      FillCellApLists(Dialog);
    }
    Select(Dialog, IDC_CARD_TYPE, CardTypePreset);
    Select(Dialog, IDC_INTERRUPT, InterruptPreset);
  } else {
    SendDlgItemMessageA(Dialog, IDC_CARD_TYPE, CB_SELECTSTRING, 0, (LPARAM) "PCMCIA");
    Select(Dialog, IDC_INTERRUPT, 0);
  }
  Select(Dialog, IDC_IO_PORT, IoPortPreset);
  Select(Dialog, IDC_MEMORY, MemoryPreset);
  Select(Dialog, IDC_NET_ID, NetIdPreset);
}

INT_PTR CALLBACK ConfigurationDialogProc(HWND Dialog, UINT Message, WPARAM wParam, LPARAM lParam) {
  switch (Message) {
    case WM_INITDIALOG:
      InitialiseDialog(Dialog);
      SetupStatus = 0;
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
          SetupStatus = 0;
          ValidateAll();
          if (AllFieldsValid) {
            BuildResultFields(Dialog);
            DestroyWindow(Dialog);
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
          DiversityFlag = IsDlgButtonChecked(Dialog, IDC_DIVERSITY) == BST_CHECKED;
          break;
        case IDC_CELLAP:
          SetupStatus = 0;
          SwitchCellAp(Dialog);
          break;
        case IDC_HELP_BUTTON:
          SetupStatus = 0;
          WinHelpA(Dialog, HelpFile(), HELP_CONTENTS, 0);
          return 0;
        default:
          SetupStatus = 0;
          break;
      }
      return DefWindowProcA(Dialog, Message, wParam, lParam);
    case WM_CLOSE:
      SetupStatus = 0;
      WinHelpA(Dialog, HelpFile(), HELP_QUIT, 0);
      DestroyWindow(Dialog);
      return 0;
    case WM_DESTROY:
      WinHelpA(Dialog, HelpFile(), HELP_QUIT, 0);
      PostQuitMessage(0);
      return 0;
    default:
      SetupStatus = 0;
      return DefWindowProcA(Dialog, Message, wParam, lParam);
  }
}
