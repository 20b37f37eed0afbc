/* The console screen primitives' entry points for tests. */
#ifndef CVLAN_CONSOLE_TESTING_H
#define CVLAN_CONSOLE_TESTING_H

#include "console_screen.h"

/* The millisecond clock that GetTicks counts from (NULL: the time of day);
   program start becomes the clock's present reading. */
void SetTickClock(long long (*Milliseconds)(void));
/* Forgets the console handles, so that a new console is used. */
void ConsoleForgetHandles(void);

#endif
