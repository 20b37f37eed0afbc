// The state that the parts of the setup library share for one DoDialog call.
#pragma once

#include <windows.h>

// Status digit, a comma, up to twelve fields with their commas, and the NUL: 45
// bytes at the widest.
#define RESULT_TEXT_SIZE 48

// The result handed back to the caller; it outlives the call.
extern CHAR ResultText[RESULT_TEXT_SIZE];
// The outcome: 0, 2 or 3; its first decimal digit starts the result.
extern LONG SetupStatus;
// Set when the mode is "0" (a new installation).
extern DWORD InstallMode;
// Set when the mode is "99999" (a reconfiguration).
extern DWORD ReconfigureMode;

// Every call starts from the state of a freshly loaded library: the result text
// empty, the status 0, no mode flags. State that other parts keep for a call is
// cleared here too.
void ResetSetupState(void);

// ResultText[0] becomes the first character of SetupStatus in decimal.
void PutStatusDigit(void);
// The status digit, then a comma in ResultText[1].
void PutStatusDigitAndComma(void);
