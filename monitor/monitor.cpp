/* cv_mon's start-up, polling loop, keys and read cycle. */
#include "monitor_testing.h"

#include <stdio.h>
#include <string.h>

CVLAPI_PROC Cvlapi = NULL;
BOOL CellApMode = FALSE;
WORD ApTableAddress = 0;
WORD AssocTableAddress = 0;
WORD MemoryBase = 0;
int Page = 0;
BOOL TableRedraw = FALSE;
CVL_STATUS_BLOCK Stats;
CVL_AP_ENTRY ApTable[AP_TABLE_ENTRIES];
CVL_ASSOC_ENTRY AssocTable[ASSOC_TABLE_ENTRIES];
WORD AssocCount = 0;

static BOOL AllFields = FALSE;
static BOOL ErrorShown = FALSE;
static HANDLE Keyboard = INVALID_HANDLE_VALUE; /* "CONIN$": keys come from the console, not stdin */
static int FieldMark = 0;
static int RateMark = 0;

/* Periods of the two passes, in ticks of 55 ms. */
#define FIELD_PASS_TICKS 4 /* more than 4: every 5 ticks, 275 ms */
#define RATE_PASS_TICKS 18 /* more than 18: every 19 ticks, 1045 ms */

#define SCAN_PAGE_UP 0x49
#define SCAN_PAGE_DOWN 0x51
#define EXTENDED_KEY 0x100 /* a key read as 0 or 0xE0 and its scan code */

/* The console is going away with the program (its window closed, the terminal
   hung up, the session ending): the connection is closed, and with it the DOS
   device name that it defined. The process ends after this in any case. */
static BOOL WINAPI CloseOnConsoleEnd(DWORD Event) {
  if (Event == CTRL_CLOSE_EVENT || Event == CTRL_LOGOFF_EVENT || Event == CTRL_SHUTDOWN_EVENT) CvlapiClose();
  return FALSE;
}

void MonitorReset(void) {
  SetConsoleCtrlHandler(CloseOnConsoleEnd, FALSE);
  Cvlapi = NULL;
  CellApMode = FALSE;
  ApTableAddress = 0;
  AssocTableAddress = 0;
  MemoryBase = 0;
  Page = 0;
  TableRedraw = FALSE;
  memset(&Stats, 0, sizeof Stats);
  memset(ApTable, 0, sizeof ApTable);
  memset(AssocTable, 0, sizeof AssocTable);
  AssocCount = 0;
  AllFields = FALSE;
  ErrorShown = FALSE;
  if (Keyboard != INVALID_HANDLE_VALUE) CloseHandle(Keyboard);
  Keyboard = INVALID_HANDLE_VALUE;
  FieldMark = 0;
  RateMark = 0;
  ResetStatusFields();
  ResetStationScreen();
  ResetCellApScreen();
}

static void ShowReadError(const char *Message) {
  GotoXY(1, 25);
  ConsolePrintf("%s", Message);
  ErrorShown = TRUE;
}

LONG ReadAdapterData(void) {
  LONG Result = Cvlapi(CVL_FN_READ_MEMORY, CVL_MEM_STATUS_BLOCK, (int)sizeof Stats, &Stats);
  if (Result != CVL_SUCCESS) {
    ShowReadError("Error reading Statistics");
    return Result;
  }
  if (CellApMode) {
    Result =
        Cvlapi(CVL_FN_READ_MEMORY, AssocTableAddress + Page * ASSOC_TABLE_PAGE_SIZE, ASSOC_TABLE_PAGE_SIZE, AssocTable);
    if (Result != CVL_SUCCESS) ShowReadError("Error reading Association Table");
    LONG CountResult = Cvlapi(CVL_FN_READ_MEMORY, AssocTableAddress - 2, 2, &AssocCount);
    if (Result == CVL_SUCCESS) Result = CountResult;
  } else {
    Result = Cvlapi(CVL_FN_READ_MEMORY, ApTableAddress + Page * AP_TABLE_PAGE_SIZE, AP_TABLE_PAGE_SIZE, ApTable);
    if (Result != CVL_SUCCESS) ShowReadError("Error reading AP Table");
  }
  if (Result == CVL_SUCCESS && ErrorShown) {
    GotoXY(1, 25);
    ConsolePrintf("%37s", "");
    ErrorShown = FALSE;
  }
  return Result;
}

/* Shift, Ctrl, Alt and the lock keys pressed alone are no keys. */
static BOOL IsModifierKey(WORD VirtualKey) {
  switch (VirtualKey) {
    case VK_SHIFT:
    case VK_CONTROL:
    case VK_MENU:
    case VK_CAPITAL:
    case VK_NUMLOCK:
    case VK_SCROLL:
    case VK_LSHIFT:
    case VK_RSHIFT:
    case VK_LCONTROL:
    case VK_RCONTROL:
    case VK_LMENU:
    case VK_RMENU:
    case VK_LWIN:
    case VK_RWIN:
    case 0:
      return TRUE;
    default:
      return FALSE;
  }
}

/* A key pressed down that gives a character or is an extended key. */
static BOOL IsKey(const INPUT_RECORD *Record) {
  if (Record->EventType != KEY_EVENT || !Record->Event.KeyEvent.bKeyDown) return FALSE;
  return Record->Event.KeyEvent.uChar.AsciiChar != 0 || !IsModifierKey(Record->Event.KeyEvent.wVirtualKeyCode);
}

/* Every pending event is looked at: focus, mouse and size events queued ahead
   of a key must not hide it, however many there are. */
static BOOL KeyWaiting(void) {
  static INPUT_RECORD Pending[64];
  DWORD Count = 0, Peeked = 0, Taken = 0;
  for (;;) {
    if (!GetNumberOfConsoleInputEvents(Keyboard, &Count)) return FALSE;
    /* Peeked even at a count of 0: a console on a terminal (Wine's) takes in the
       keys typed there only when it is asked to peek or read. */
    if (Count == 0) Count = 1;
    if (!PeekConsoleInputA(Keyboard, Pending, Count > 64 ? 64 : Count, &Peeked)) return FALSE;
    for (DWORD i = 0; i < Peeked; ++i)
      if (IsKey(&Pending[i])) return TRUE;
    if (Count <= 64 || Peeked < 64) return FALSE;
    /* A full buffer of events that are no keys: the monitor has no use for
       them, so they leave the queue and the events behind them are looked at. */
    if (!ReadConsoleInputA(Keyboard, Pending, Peeked, &Taken) || Taken == 0) return FALSE;
  }
}

/* The next key: its character, or EXTENDED_KEY with its scan code; -1 if none. */
static int ReadKey(void) {
  INPUT_RECORD Record;
  DWORD Mode = 0, Read = 0;
  int Key = -1;
  GetConsoleMode(Keyboard, &Mode);
  SetConsoleMode(Keyboard, 0);
  while (ReadConsoleInputA(Keyboard, &Record, 1, &Read) && Read == 1) {
    if (!IsKey(&Record)) continue;
    unsigned char Ch = (unsigned char)Record.Event.KeyEvent.uChar.AsciiChar;
    Key = Ch != 0 ? Ch : EXTENDED_KEY | (Record.Event.KeyEvent.wVirtualScanCode & 0xFF);
    break;
  }
  SetConsoleMode(Keyboard, Mode);
  return Key;
}

/* FALSE when the key quits. */
static BOOL TakeKey(int Key) {
  if (Key < 0) return TRUE;
  if (Key == (EXTENDED_KEY | SCAN_PAGE_DOWN)) {
    if (Page == 0) {
      Page = 1;
      TableRedraw = TRUE;
    }
    return TRUE;
  }
  if (Key == (EXTENDED_KEY | SCAN_PAGE_UP)) {
    if (Page == 1) {
      Page = 0;
      TableRedraw = TRUE;
    }
    return TRUE;
  }
  return FALSE;
}

int MonitorStart(int argc, char **argv) {
  WORD VersionMajor = 0, VersionMinor = 0, Interrupt = 0, IoBase = 0, NetId = 0, Aux = 0;
  CVL_RX_INFO *RxInfo = NULL;
  BYTE Mode = 0;

  AllFields = argc == 2 && strcmp(argv[1], "all") == 0;
  Cvlapi = CvlapiLocate();
  if (Cvlapi == NULL) {
    printf("Error - Corvane API is not installed.\n");
    return 1;
  }
  printf("CVLAPI found at %08lX\n", (unsigned long)(DWORD)(UINT_PTR)Cvlapi);
  Cvlapi(CVL_FN_READ_MEMORY, CVL_MEM_AP_TABLE_PTR, 2, &ApTableAddress);
  Cvlapi(CVL_FN_READ_MEMORY, CVL_MEM_ASSOC_TABLE_PTR, 2, &AssocTableAddress);
  Cvlapi(CVL_FN_READ_MEMORY, CVL_MEM_MODE, 1, &Mode);
  if (Mode == CVL_MODE_CELLAP) {
    CellApMode = TRUE;
    if (AssocTableAddress == 0) {
      printf("Error - No association table pointer\n");
      CvlapiClose(); /* removes the DOS device name that CvlapiLocate defined */
      return 1;
    }
  }
  if (Cvlapi(CVL_FN_GET_CONFIG, &VersionMajor, &VersionMinor, &Interrupt, &IoBase, &MemoryBase, &NetId, &Aux,
             &RxInfo) == CVL_SUCCESS) {
    printf("Version = %d.%02d, IRQ = %d, IO Address = %X, Memory Address = %X\n", VersionMajor, VersionMinor, Interrupt,
           IoBase, MemoryBase);
    printf("Net_ID = %X, Rx_Info_Ptr = %08lX\n", NetId, (unsigned long)(DWORD)(UINT_PTR)RxInfo);
  }
  /* Without a console there is no screen to draw and no key to end the run. */
  Keyboard = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                         OPEN_EXISTING, 0, NULL);
  if (Keyboard == INVALID_HANDLE_VALUE) {
    printf("Error - No console to show the statistics on\n");
    CvlapiClose();
    return 1;
  }
  SetConsoleCtrlHandler(CloseOnConsoleEnd, TRUE);
  ResetStatusFields();
  ResetStationScreen();
  fflush(stdout); /* the start-up lines come before the screen, wherever stdout goes */
  if (CellApMode)
    DrawCellApTemplate(AllFields);
  else
    DrawStationTemplate(AllFields);
  return -1;
}

void MonitorBeginLoop(void) {
  FieldMark = GetTicks();
  RateMark = FieldMark;
}

BOOL MonitorTurn(void) {
  int Now = GetTicks();
  if (Now < FieldMark) { /* the clock went back */
    FieldMark = 0;
    RateMark = 0;
  }
  if (Now - FieldMark > FIELD_PASS_TICKS) {
    FieldMark = Now;
    RefreshFields(AllFields);
  }
  if (Now - RateMark > RATE_PASS_TICKS) {
    RateMark = Now;
    RefreshRates();
    if (CellApMode)
      RefreshAssocTable();
    else
      RefreshApTable();
  }
  if (KeyWaiting()) return TakeKey(ReadKey());
  return TRUE;
}

int MonitorEnd(void) {
  GotoXY(1, 24);
  SetConsoleCtrlHandler(CloseOnConsoleEnd, FALSE);
  CvlapiClose();
  return 0;
}

int MonitorMain(int argc, char **argv) {
  int Status = MonitorStart(argc, argv);
  if (Status >= 0) return Status;
  MonitorBeginLoop();
  while (MonitorTurn()) Sleep(4);
  return MonitorEnd();
}
