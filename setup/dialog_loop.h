/* The dialog modes' message loop. */
#ifndef CVSETUP_DIALOG_LOOP_H
#define CVSETUP_DIALOG_LOOP_H

#include <windows.h>

/* Creates the dialog over the desktop and runs the message loop until the
   dialog ends. Returns the status: 2 when cancelled or when the dialog could
   not be created, 0 otherwise. */
LONG RunConfigurationDialog(void);

/* The library's module handle as DllMain received it; NULL in a program that
   links the library's code. */
extern HINSTANCE LibraryInstance;

#endif
