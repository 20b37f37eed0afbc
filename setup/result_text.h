// The fields of the result text that a confirmed dialog hands to the setup script.
#pragma once

#include <windows.h>

// Writes the fields from the dialog's controls into ResultText from its third
// character on, each followed by a comma; DoDialog puts the status in front.
void BuildResultFields(HWND dialog);
