// Test hooks of the console (winapi/console_test.h).
#include <winapi/console_test.h>

#include "console.h"

namespace winapi::test {
namespace {

Console &Require() {
  Console *console = GetConsole();
  if (!console || console->terminal) abort(); // a test without UseTestConsole()
  return *console;
}

} // namespace

void UseTestConsole(int width, int height, bool stdoutIsConsole) { BeginTestConsole(width, height, stdoutIsConsole); }

void UseNoConsole() { EndTestConsole(); }

std::string ConsoleRow(int y) {
  ScreenBuffer &screen = *Require().screen;
  std::string row;
  for (int x = 0; x < screen.Width(); ++x) row += static_cast<char>(screen.At(x, y).ch);
  return row;
}

std::string ConsoleText(int column, int row, int count) {
  return ConsoleRow(row - 1).substr(static_cast<size_t>(column - 1), static_cast<size_t>(count));
}

WORD ConsoleAttribute(int x, int y) { return Require().screen->At(x, y).attr; }

COORD ConsoleCursor() { return Require().screen->Cursor(); }

void TypeOnConsole(const std::string &terminalBytes) {
  terminal::KeyDecoder decoder;
  std::vector<KEY_EVENT_RECORD> keys;
  decoder.Feed(terminalBytes.data(), terminalBytes.size(), keys);
  decoder.Flush(keys);
  for (const KEY_EVENT_RECORD &key : keys) {
    INPUT_RECORD record{};
    record.EventType = KEY_EVENT;
    record.Event.KeyEvent = key;
    QueueConsoleEvent(record);
    record.Event.KeyEvent.bKeyDown = FALSE;
    QueueConsoleEvent(record);
  }
}

void QueueConsoleEvent(const INPUT_RECORD &record) { Require().input->events.push_back(record); }

size_t QueuedConsoleEvents() { return Require().input->events.size(); }

} // namespace winapi::test
