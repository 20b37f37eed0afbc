/* The state that the parts of the setup library share for one DoDialog call. */
#ifndef CVSETUP_SETUP_STATE_H
#define CVSETUP_SETUP_STATE_H

#include <windows.h>

/* The outcome: 0, 2 or 3; its first decimal digit starts the result. */
extern LONG SetupStatus;
/* Set when the mode is "0" (a new installation). */
extern DWORD InstallMode;
/* Set when the mode is "99999" (a reconfiguration). */
extern DWORD ReconfigureMode;

/* Every call starts from the state of a freshly loaded library: the result text
   empty, the status 0, no mode flags. State that other parts keep for a call is
   cleared here too. */
void ResetSetupState(void);

#endif
