/* The result text that DoDialog hands back to the setup script: the status
   digit, then, for the dialog modes, a comma and the fields of a confirmed
   dialog, each followed by a comma. */
#ifndef CVSETUP_RESULT_TEXT_H
#define CVSETUP_RESULT_TEXT_H

#include <windows.h>

/* Status digit, a comma, up to twelve fields with their commas, and the NUL: 45
   bytes at the widest. */
#define RESULT_TEXT_SIZE 48

/* The result handed back to the caller; it outlives the call. */
extern CHAR ResultText[RESULT_TEXT_SIZE];

/* Empties the result text, as in a freshly loaded library. */
void ClearResultText(void);
/* ResultText[0] becomes the first character of SetupStatus in decimal. */
void PutStatusDigit(void);
/* The status digit, then a comma in ResultText[1]. */
void PutStatusDigitAndComma(void);
/* Writes the fields from the dialog's controls into ResultText from its third
   character on, each followed by a comma; DoDialog puts the status in front. */
void BuildResultFields(HWND Dialog);

#endif
