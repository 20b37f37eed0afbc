#include "setup_state.h"

#include <string.h>

CHAR ResultText[RESULT_TEXT_SIZE];
LONG SetupStatus;
DWORD InstallMode;
DWORD ReconfigureMode;

void ResetSetupState(void) {
  memset(ResultText, 0, sizeof(ResultText));
  SetupStatus = 0;
  InstallMode = 0;
  ReconfigureMode = 0;
}
