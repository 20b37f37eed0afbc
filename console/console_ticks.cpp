/* The 55 ms tick clock, counted from the time of day at program start. It goes
   back when the system time is set back; callers guard against that. */
#include <chrono>

#include "console_testing.h"

static long long TimeOfDayMilliseconds(void) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

static long long (*Clock)(void) = TimeOfDayMilliseconds;
static long long Start = TimeOfDayMilliseconds(); /* read as the program starts */

int GetTicks(void) { return (int)((Clock() - Start) / 55); }

void SetTickClock(long long (*Milliseconds)(void)) {
  Clock = Milliseconds ? Milliseconds : TimeOfDayMilliseconds;
  Start = Clock();
}
