/* DoDialog's dialog modes: the modeless dialog and the message loop that runs it. */
#include <string.h>

#include "dialog.h"
#include "dialog_loop.h"
#include "setup_state.h"
#include "validation.h"

static MSG LoopMessage;

/* The module handle that the loader gave DllMain when it loaded the library;
   NULL when the library's code is linked into a program of its own. */
HINSTANCE LibraryInstance;

/* The library's own module, whatever name it was loaded under. */
static HMODULE OwnModule(void) { return LibraryInstance ? (HMODULE)LibraryInstance : GetModuleHandleA(NULL); }

static HWND CreateConfigurationDialog(HMODULE Module) {
  if (!Module) return NULL;
  SetupModule = Module;
  return CreateDialogParamA(Module, MAKEINTRESOURCE(IDD_CONFIGURATION), GetDesktopWindow(), ConfigurationDialogProc, 0);
}

LONG RunConfigurationDialog(void) {
  DialogWindow = NULL;
  DiversityFlag = 0;
  CellApFlag = 0;
  DialogCancelled = FALSE;
  ResetValidation();
  LPCSTR Name = InstallMode ? "a:\\winnt35\\i386\\cvsetup.dll" : "cvsetup.dll";
  HMODULE Named = GetModuleHandleA(Name);
  HWND Dialog = CreateConfigurationDialog(Named);
  /* Loaded under another name or path: the library still has its resources. */
  if (!Dialog && OwnModule() != Named) Dialog = CreateConfigurationDialog(OwnModule());
  if (!Dialog) return 2; /* nothing to show, so no loop that could only wait for ever */
  ShowWindow(Dialog, SW_SHOWNORMAL);

  while (GetMessageA(&LoopMessage, NULL, 0, 0) > 0) {
    if (!IsDialogMessageA(Dialog, &LoopMessage)) {
      TranslateMessage(&LoopMessage);
      DispatchMessageA(&LoopMessage);
    }
  }

  if (IsWindow(Dialog)) {
    /* Cancelled: the window is still there. It goes, and help with it, before
       the call returns; the status stays what Cancel made it. */
    LONG Status = SetupStatus;
    DestroyWindow(Dialog);
    /* The quit message that WM_DESTROY posted belongs to this loop, not the caller's. */
    MSG Quit;
    PeekMessageA(&Quit, NULL, WM_QUIT, WM_QUIT, PM_REMOVE);
    SetupStatus = Status;
  }
  DialogWindow = NULL;
  /* Messages that reached the dialog between Cancel and the loop's end (the
     Escape key's release, say) set the status back to 0; Cancel still stands. */
  if (DialogCancelled) SetupStatus = 2;
  return SetupStatus;
}
