// The 55 ms tick clock, counted from the time of day at program start. It goes
// back when the system time is set back; callers guard against that.
#include <chrono>

#include "console_screen.h"

static long long TimeOfDayMilliseconds(void) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

static long long (*g_clock)(void) = TimeOfDayMilliseconds;
static long long g_start = TimeOfDayMilliseconds();  // read as the program starts

int GetTicks(void) { return (int)((g_clock() - g_start) / 55); }

void SetTickClock(long long (*milliseconds)(void)) {
  g_clock = milliseconds ? milliseconds : TimeOfDayMilliseconds;
  g_start = g_clock();
}
