/* Text helpers of the setup library. */
#ifndef CVSETUP_SETUP_TEXT_H
#define CVSETUP_SETUP_TEXT_H

#include <windows.h>

/* Equal without regard to case (A to Z match a to z, nothing else folds). */
BOOL SameTextNoCase(LPCSTR a, LPCSTR b);
/* Text begins with Prefix, compared as SameTextNoCase compares. */
BOOL BeginsWithNoCase(LPCSTR Text, LPCSTR Prefix);
/* A number formatted with "%X" and 0x put in front: 832 gives 0x340. */
void HexText(DWORD Number, LPSTR Text);

#endif
