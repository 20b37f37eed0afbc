// Test hooks of the console: a console of a given size with no terminal behind
// it, read back cell by cell, with keys typed as a terminal would send them.
#pragma once

#include <windows.h>

#include <string>

namespace winapi::test {

// From now on the process has a console of width x height cells and no
// terminal. With stdoutIsConsole, printf() writes into it as it does when
// standard output is the console; otherwise standard output stays redirected.
void UseTestConsole(int width, int height, bool stdoutIsConsole = false);
// From now on the process has no console at all (as under cron): the console
// calls fail as Windows' do.
void UseNoConsole();

// Row y (0-based) of the screen buffer, all its cells, as code page 437 bytes.
std::string ConsoleRow(int y);
// Columns from to from + count - 1 (1-based) of row (1-based): how screens are
// described.
std::string ConsoleText(int column, int row, int count);
WORD ConsoleAttribute(int x, int y);
COORD ConsoleCursor();

// Keys as a terminal sends them ("\x1b[6~" is Page Down), decoded as the
// terminal layer decodes them, queued as key-down and key-up events. A lone
// Escape at the end counts as the Escape key.
void TypeOnConsole(const std::string &terminalBytes);
void QueueConsoleEvent(const INPUT_RECORD &record);
size_t QueuedConsoleEvents();

} // namespace winapi::test
