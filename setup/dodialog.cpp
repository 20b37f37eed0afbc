/* DoDialog, the library's one export: the NT setup's script calls it with a mode
   and its arguments and reads the result text whose address it gets back. */
#include <windows.h>

#include <string.h>

#include "dialog.h"
#include "dialog_loop.h"
#include "page_heap.h"
#include "registry_parameters.h"
#include "result_text.h"
#include "setup_state.h"
#include "text_file_check.h"

typedef void (*SETUP_MODE_RUN)(DWORD Count, LPSTR *Args);

typedef struct _SETUP_MODE {
  LPCSTR Name; /* compared exactly with the first argument */
  SETUP_MODE_RUN Run;
} SETUP_MODE;

/* Mode "1": the status digit alone, "2" when the file has a driver line, else "0". */
static void RunTextFileCheck(DWORD Count, LPSTR *Args) {
  LPCSTR Path = Count >= 2 ? Args[1] : NULL;
  SetupStatus = CheckDriverLine(Path) ? 2 : 0;
  PutStatusDigit();
}

/* Modes "0" and "99999": the configuration dialog, preset to the string table's
   defaults or to the installed instance's values. The status digit and a comma,
   then the fields when the dialog was confirmed. */
static void RunDialogMode(DWORD, LPSTR *Args) {
  if (strcmp(Args[0], "0") == 0) InstallMode = 1;
  if (strcmp(Args[0], "99999") == 0) ReconfigureMode = 1;
  if (ReconfigureMode) {
    SetupStatus = ReadInstanceParameters();
    CloseServicesKey();
  }
  if (SetupStatus == 0) SetupStatus = RunConfigurationDialog();
  PutStatusDigitAndComma();
}

static const SETUP_MODE SetupModes[] = {
    {"1", RunTextFileCheck},
    {"0", RunDialogMode},
    {"99999", RunDialogMode},
};

extern "C" BOOL WINAPI DoDialog(DWORD Count, LPSTR *Args, LPSTR *ResultOut) {
  ResetSetupState();
  LibraryHeap = PageHeapCreate();
  LPCSTR Mode = (Args && Count >= 1) ? Args[0] : NULL;
  const SETUP_MODE *Selected = NULL;
  for (size_t i = 0; Mode && i < sizeof(SetupModes) / sizeof(SetupModes[0]); i++)
    if (strcmp(Mode, SetupModes[i].Name) == 0) Selected = &SetupModes[i];
  if (Selected) {
    Selected->Run(Count, Args);
  } else {
    /* No mode: nothing to show and nothing to wait for; the call is refused. */
    SetupStatus = 2;
    PutStatusDigitAndComma();
  }
  if (ResultOut) *ResultOut = ResultText;
  return TRUE;
}
