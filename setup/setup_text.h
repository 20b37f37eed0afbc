// Text helpers of the setup library.
#pragma once

#include <windows.h>

// Equal without regard to case (A to Z match a to z, nothing else folds).
BOOL SameTextNoCase(LPCSTR a, LPCSTR b);
// A number formatted with "%X" and 0x put in front: 832 gives 0x340.
void HexText(DWORD number, LPSTR text);
