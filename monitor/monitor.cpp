// cv_mon's start-up, polling loop, keys and read cycle.
#include "monitor.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

CVLAPI_PROC g_Cvlapi = NULL;
BOOL g_CellApMode = FALSE;
WORD g_ApTableAddress = 0;
WORD g_AssocTableAddress = 0;
WORD g_MemoryBase = 0;
int g_Page = 0;
BOOL g_TableRedraw = FALSE;
CVL_STATUS_BLOCK g_Stats;
CVL_AP_ENTRY g_ApTable[AP_TABLE_ENTRIES];
CVL_ASSOC_ENTRY g_AssocTable[ASSOC_TABLE_ENTRIES];
WORD g_AssocCount = 0;

static BOOL g_All = FALSE;
static BOOL g_ErrorShown = FALSE;
static HANDLE g_Keyboard = INVALID_HANDLE_VALUE;  // "CONIN$": keys come from the console, not stdin
static int g_FieldMark = 0;
static int g_RateMark = 0;

// Periods of the two passes, in ticks of 55 ms.
#define FIELD_PASS_TICKS 4  /* more than 4: every 5 ticks, 275 ms */
#define RATE_PASS_TICKS 18  /* more than 18: every 19 ticks, 1045 ms */

#define SCAN_PAGE_UP 0x49
#define SCAN_PAGE_DOWN 0x51
#define EXTENDED_KEY 0x100  // a key read as 0 or 0xE0 and its scan code

// The console is going away with the program (its window closed, the terminal
// hung up, the session ending): the connection is closed, and with it the DOS
// device name that it defined. The process ends after this in any case.
static BOOL WINAPI CloseOnConsoleEnd(DWORD event) {
  if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) CvlapiClose();
  return FALSE;
}

void MonitorReset(void) {
  SetConsoleCtrlHandler(CloseOnConsoleEnd, FALSE);
  g_Cvlapi = NULL;
  g_CellApMode = FALSE;
  g_ApTableAddress = 0;
  g_AssocTableAddress = 0;
  g_MemoryBase = 0;
  g_Page = 0;
  g_TableRedraw = FALSE;
  memset(&g_Stats, 0, sizeof g_Stats);
  memset(g_ApTable, 0, sizeof g_ApTable);
  memset(g_AssocTable, 0, sizeof g_AssocTable);
  g_AssocCount = 0;
  g_All = FALSE;
  g_ErrorShown = FALSE;
  if (g_Keyboard != INVALID_HANDLE_VALUE) CloseHandle(g_Keyboard);
  g_Keyboard = INVALID_HANDLE_VALUE;
  g_FieldMark = 0;
  g_RateMark = 0;
  ResetStationScreen();
  ResetCellApScreen();
}

static void ShowReadError(const char *message) {
  GotoXY(1, 25);
  ConsolePrintf("%s", message);
  g_ErrorShown = TRUE;
}

LONG ReadAdapterData(void) {
  LONG result = g_Cvlapi(CVL_FN_READ_MEMORY, CVL_MEM_STATUS_BLOCK, (int)sizeof g_Stats, &g_Stats);
  if (result != CVL_SUCCESS) {
    ShowReadError("Error reading Statistics");
    return result;
  }
  if (g_CellApMode) {
    result = g_Cvlapi(CVL_FN_READ_MEMORY, g_AssocTableAddress + g_Page * ASSOC_TABLE_PAGE_SIZE,
                      ASSOC_TABLE_PAGE_SIZE, g_AssocTable);
    if (result != CVL_SUCCESS) ShowReadError("Error reading Association Table");
    LONG countResult = g_Cvlapi(CVL_FN_READ_MEMORY, g_AssocTableAddress - 2, 2, &g_AssocCount);
    if (result == CVL_SUCCESS) result = countResult;
  } else {
    result = g_Cvlapi(CVL_FN_READ_MEMORY, g_ApTableAddress + g_Page * AP_TABLE_PAGE_SIZE, AP_TABLE_PAGE_SIZE,
                      g_ApTable);
    if (result != CVL_SUCCESS) ShowReadError("Error reading AP Table");
  }
  if (result == CVL_SUCCESS && g_ErrorShown) {
    GotoXY(1, 25);
    ConsolePrintf("%37s", "");
    g_ErrorShown = FALSE;
  }
  return result;
}

// Shift, Ctrl, Alt and the lock keys pressed alone are no keys.
static BOOL IsModifierKey(WORD virtualKey) {
  switch (virtualKey) {
    case VK_SHIFT: case VK_CONTROL: case VK_MENU: case VK_CAPITAL: case VK_NUMLOCK: case VK_SCROLL:
    case VK_LSHIFT: case VK_RSHIFT: case VK_LCONTROL: case VK_RCONTROL: case VK_LMENU: case VK_RMENU:
    case VK_LWIN: case VK_RWIN: case 0:
      return TRUE;
    default:
      return FALSE;
  }
}

// A key pressed down that gives a character or is an extended key.
static BOOL IsKey(const INPUT_RECORD *record) {
  if (record->EventType != KEY_EVENT || !record->Event.KeyEvent.bKeyDown) return FALSE;
  return record->Event.KeyEvent.uChar.AsciiChar != 0 || !IsModifierKey(record->Event.KeyEvent.wVirtualKeyCode);
}

// Every pending event is looked at: focus, mouse and size events queued ahead
// of a key must not hide it, however many there are.
static BOOL KeyWaiting(void) {
  static INPUT_RECORD *pending = NULL;
  static DWORD capacity = 0;
  DWORD count = 0, peeked = 0;
  if (!GetNumberOfConsoleInputEvents(g_Keyboard, &count)) return FALSE;
  // Peeked even at a count of 0: a console on a terminal (Wine's) takes in the
  // keys typed there only when it is asked to peek or read.
  if (count == 0) count = 1;
  if (count > capacity) {
    INPUT_RECORD *grown = (INPUT_RECORD *)realloc(pending, count * sizeof *pending);
    if (grown == NULL) return FALSE;
    pending = grown;
    capacity = count;
  }
  if (!PeekConsoleInputA(g_Keyboard, pending, count, &peeked)) return FALSE;
  for (DWORD i = 0; i < peeked; ++i)
    if (IsKey(&pending[i])) return TRUE;
  return FALSE;
}

// The next key: its character, or EXTENDED_KEY with its scan code; -1 if none.
static int ReadKey(void) {
  INPUT_RECORD record;
  DWORD mode = 0, read = 0;
  int key = -1;
  GetConsoleMode(g_Keyboard, &mode);
  SetConsoleMode(g_Keyboard, 0);
  while (ReadConsoleInputA(g_Keyboard, &record, 1, &read) && read == 1) {
    if (!IsKey(&record)) continue;
    unsigned char ch = (unsigned char)record.Event.KeyEvent.uChar.AsciiChar;
    key = ch != 0 ? ch : EXTENDED_KEY | (record.Event.KeyEvent.wVirtualScanCode & 0xFF);
    break;
  }
  SetConsoleMode(g_Keyboard, mode);
  return key;
}

// FALSE when the key quits.
static BOOL TakeKey(int key) {
  if (key < 0) return TRUE;
  if (key == (EXTENDED_KEY | SCAN_PAGE_DOWN)) {
    if (g_Page == 0) {
      g_Page = 1;
      g_TableRedraw = TRUE;
    }
    return TRUE;
  }
  if (key == (EXTENDED_KEY | SCAN_PAGE_UP)) {
    if (g_Page == 1) {
      g_Page = 0;
      g_TableRedraw = TRUE;
    }
    return TRUE;
  }
  return FALSE;
}

int MonitorStart(int argc, char **argv) {
  WORD versionMajor = 0, versionMinor = 0, interrupt = 0, ioBase = 0, netId = 0, aux = 0;
  CVL_RX_INFO *rxInfo = NULL;
  BYTE mode = 0;

  g_All = argc == 2 && strcmp(argv[1], "all") == 0;
  g_Cvlapi = CvlapiLocate();
  if (g_Cvlapi == NULL) {
    printf("Error - Corvane API is not installed.\n");
    return 1;
  }
  printf("CVLAPI found at %08lX\n", (unsigned long)(DWORD)(UINT_PTR)g_Cvlapi);
  g_Cvlapi(CVL_FN_READ_MEMORY, CVL_MEM_AP_TABLE_PTR, 2, &g_ApTableAddress);
  g_Cvlapi(CVL_FN_READ_MEMORY, CVL_MEM_ASSOC_TABLE_PTR, 2, &g_AssocTableAddress);
  g_Cvlapi(CVL_FN_READ_MEMORY, CVL_MEM_MODE, 1, &mode);
  if (mode == CVL_MODE_CELLAP) {
    g_CellApMode = TRUE;
    if (g_AssocTableAddress == 0) {
      printf("Error - No association table pointer\n");
      CvlapiClose();  // removes the DOS device name that CvlapiLocate defined
      return 1;
    }
  }
  if (g_Cvlapi(CVL_FN_GET_CONFIG, &versionMajor, &versionMinor, &interrupt, &ioBase, &g_MemoryBase, &netId, &aux,
               &rxInfo) == CVL_SUCCESS) {
    printf("Version = %d.%02d, IRQ = %d, IO Address = %X, Memory Address = %X\n", versionMajor, versionMinor,
           interrupt, ioBase, g_MemoryBase);
    printf("Net_ID = %X, Rx_Info_Ptr = %08lX\n", netId, (unsigned long)(DWORD)(UINT_PTR)rxInfo);
  }
  // Without a console there is no screen to draw and no key to end the run.
  g_Keyboard = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                           OPEN_EXISTING, 0, NULL);
  if (g_Keyboard == INVALID_HANDLE_VALUE) {
    printf("Error - No console to show the statistics on\n");
    CvlapiClose();
    return 1;
  }
  SetConsoleCtrlHandler(CloseOnConsoleEnd, TRUE);
  ResetStationScreen();
  fflush(stdout);  // the start-up lines come before the screen, wherever stdout goes
  DrawTemplate(g_All);
  return -1;
}

void MonitorBeginLoop(void) {
  g_FieldMark = GetTicks();
  g_RateMark = g_FieldMark;
}

BOOL MonitorTurn(void) {
  int now = GetTicks();
  if (now < g_FieldMark) {  // the clock went back
    g_FieldMark = 0;
    g_RateMark = 0;
  }
  if (now - g_FieldMark > FIELD_PASS_TICKS) {
    g_FieldMark = now;
    RefreshFields(g_All);
  }
  if (now - g_RateMark > RATE_PASS_TICKS) {
    g_RateMark = now;
    RefreshRates();
    if (g_CellApMode)
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
  int status = MonitorStart(argc, argv);
  if (status >= 0) return status;
  MonitorBeginLoop();
  while (MonitorTurn()) Sleep(4);
  return MonitorEnd();
}
