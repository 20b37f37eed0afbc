#include "setup_state.h"

#include "result_text.h"

LONG SetupStatus;
DWORD InstallMode;
DWORD ReconfigureMode;

void ResetSetupState(void) {
  ClearResultText();
  SetupStatus = 0;
  InstallMode = 0;
  ReconfigureMode = 0;
}
