// The process's console: made on first use over the controlling terminal, the
// standard handles, "CONOUT$" and "CONIN$", console modes and Sleep.
#include "console.h"

#include <fcntl.h>
#include <signal.h>
#include <strings.h>
#include <sched.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <cstdio>
#include <cstdlib>

#include "open_kinds.h"

namespace winapi {
namespace {

// The screen buffer is at least the 80 x 25 of a console window, so that a
// smaller terminal shows its top-left part instead of moving text about.
constexpr int kMinWidth = 80;
constexpr int kMinHeight = 25;

struct ConsoleState {
  bool decided = false;
  std::unique_ptr<Console> console;
  FILE *originalStdout = nullptr; // while printf() writes into the buffer
};

ConsoleState &State() {
  static ConsoleState *state = new ConsoleState; // kept for atexit code
  return *state;
}

ssize_t WriteStdoutToConsole(void *, const char *bytes, size_t size) {
  Console *console = GetConsole();
  if (!console) return -1;
  console->screen->WriteText(bytes, static_cast<DWORD>(size));
  return static_cast<ssize_t>(size);
}

// Standard output that is the console goes into the buffer at the cursor, in
// order with the console calls, as a Windows program's printf() does.
void RouteStdoutToConsole() {
  ConsoleState &state = State();
  std::fflush(stdout);
  cookie_io_functions_t functions{};
  functions.write = WriteStdoutToConsole;
  FILE *file = fopencookie(nullptr, "w", functions);
  if (!file) return;
  setvbuf(file, nullptr, _IONBF, 0);
  state.originalStdout = stdout;
  stdout = file;
}

void RestoreStdout() {
  ConsoleState &state = State();
  if (!state.originalStdout) return;
  FILE *file = stdout;
  stdout = state.originalStdout;
  state.originalStdout = nullptr;
  std::fclose(file);
}

void CreateStdHandles(Console &console) {
  for (int fd = 0; fd < 3; ++fd) {
    bool isConsole = console.terminal ? console.terminal->IsThisTerminal(fd) : (fd == 1 && console.stdoutIsConsole);
    if (isConsole) {
      if (fd == 0)
        console.stdHandles[fd] = InsertHandle(console.input);
      else
        console.stdHandles[fd] = InsertHandle(console.screen);
    } else if (fcntl(fd, F_GETFD) != -1) {
      console.stdHandles[fd] = InsertHandle(std::make_shared<StandardStream>(fd));
    }
  }
}

// The program's last screen is sent. A terminal of a console window's height
// keeps the cursor where the program left it, as the window does; on any other
// the cursor goes to the last row, column 1, below all that was drawn (or at
// the foot of what shows of it), where the shell's prompt overwrites nothing.
void AtExit() {
  PresentConsole(true);
  Console *console = State().console.get();
  if (console && console->terminal && !console->terminal->HungUp()) {
    terminal::Terminal &tty = *console->terminal;
    if (tty.Rows() != kMinHeight) {
      std::string out;
      console->renderer->PlaceCursor({0, static_cast<SHORT>(tty.Rows() - 1)}, true, out);
      tty.Write(out);
    }
  }
  RestoreStdout();
}

// Console control handlers, the last added first; the default one ends the process.
std::vector<PHANDLER_ROUTINE> &CtrlHandlers() {
  static auto *handlers = new std::vector<PHANDLER_ROUTINE>; // kept for exit-time calls
  return *handlers;
}

// The terminal hung up: as when a console window is closed, the handlers are
// told (CTRL_CLOSE_EVENT) and the process ends, whatever they answer. Its
// status is that of a process ended by the hang-up signal.
constexpr int kHangUpStatus = 128 + SIGHUP;

void OnTerminalHangUp() {
  static bool closing = false;
  if (closing) return;
  closing = true;
  std::vector<PHANDLER_ROUTINE> handlers = CtrlHandlers();
  for (auto it = handlers.rbegin(); it != handlers.rend(); ++it)
    if ((*it)(CTRL_CLOSE_EVENT)) break;
  std::exit(kHangUpStatus);
}

[[maybe_unused]] const bool g_hangUpHandled = [] {
  terminal::Terminal::SetHangUpHandler(OnTerminalHangUp);
  return true;
}();

} // namespace

Console *GetConsole() {
  ConsoleState &state = State();
  if (!state.decided) {
    state.decided = true;
    if (terminal::Terminal *tty = terminal::Terminal::Get()) {
      auto console = std::make_unique<Console>();
      console->terminal = tty;
      console->screen =
          std::make_shared<ScreenBuffer>(std::max(tty->Columns(), kMinWidth), std::max(tty->Rows(), kMinHeight));
      console->input = std::make_shared<InputBuffer>();
      console->renderer = std::make_unique<terminal::Renderer>(tty->Caps());
      console->renderer->SetTerminalSize(tty->Columns(), tty->Rows());
      console->stdoutIsConsole = tty->IsThisTerminal(1);
      CreateStdHandles(*console);
      state.console = std::move(console);
      if (state.console->stdoutIsConsole) RouteStdoutToConsole();
      tty->SetExitHook(AtExit);
    }
  }
  return state.console.get();
}

void PresentConsole(bool placeCursor) {
  Console *console = State().console.get();
  if (!console || !console->terminal) return;
  terminal::Terminal &tty = *console->terminal;
  if (tty.TakeRepaint()) {
    console->renderer->SetTerminalSize(tty.Columns(), tty.Rows());
    console->renderer->Invalidate();
  }
  std::string out;
  int first, last;
  ScreenBuffer &screen = *console->screen;
  if (screen.TakeDirty(&first, &last))
    console->renderer->Render(screen.Cells(), screen.Width(), screen.Height(), out, first, last);
  else
    console->renderer->Render(screen.Cells(), screen.Width(), screen.Height(), out, 0, -1); // repaint if due
  if (placeCursor) console->renderer->PlaceCursor(screen.Cursor(), true, out);
  if (!out.empty()) tty.Write(out);
}

namespace {

// When the terminal was last found with nothing to read: a look without waiting
// right after it (a count, then a peek; a peek right after a sleep that watched
// the terminal) finds nothing new, and the terminal is asked once.
timespec g_lastLook{};

timespec Now() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now;
}

long long MicrosecondsBetween(const timespec &from, const timespec &to) {
  return (to.tv_sec - from.tv_sec) * 1000000LL + (to.tv_nsec - from.tv_nsec) / 1000;
}

} // namespace

void PumpConsoleInput(int timeoutMs) {
  Console *console = GetConsole();
  if (!console || !console->terminal) return;
  timespec now = Now();
  if (timeoutMs == 0) {
    long long sinceUs = MicrosecondsBetween(g_lastLook, now);
    if (sinceUs >= 0 && sinceUs < 1000) return;
  }
  g_lastLook = now;
  std::vector<KEY_EVENT_RECORD> keys;
  console->terminal->ReadKeys(keys, timeoutMs);
  for (KEY_EVENT_RECORD key : keys) {
    INPUT_RECORD record{};
    record.EventType = KEY_EVENT;
    record.Event.KeyEvent = key;
    console->input->events.push_back(record);
    record.Event.KeyEvent.bKeyDown = FALSE;
    console->input->events.push_back(record);
  }
}

void BeginTestConsole(int width, int height, bool stdoutIsConsole) {
  EndTestConsole();
  ConsoleState &state = State();
  auto console = std::make_unique<Console>();
  console->screen = std::make_shared<ScreenBuffer>(width, height);
  console->input = std::make_shared<InputBuffer>();
  console->stdoutIsConsole = stdoutIsConsole;
  CreateStdHandles(*console);
  state.console = std::move(console);
  state.decided = true;
  if (stdoutIsConsole) RouteStdoutToConsole();
}

void EndTestConsole() {
  ConsoleState &state = State();
  if (!state.console || state.console->terminal) return;
  std::fflush(stdout);
  RestoreStdout();
  for (HANDLE handle : state.console->stdHandles)
    if (handle) RemoveHandle(handle);
  state.console.reset();
  state.decided = true; // a test process has no console between tests
}

void ReportNoConsole() {
  static bool reported = false;
  if (reported) return;
  reported = true;
  const std::string &problem = terminal::Terminal::Problem();
  if (!problem.empty()) std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, problem.c_str());
}

HANDLE OpenConsole(const char *name, DWORD, DWORD, DWORD) {
  Console *console = GetConsole();
  if (!console) {
    ReportNoConsole();
    SetLastError(ERROR_INVALID_HANDLE);
    return INVALID_HANDLE_VALUE;
  }
  if (strcasecmp(name, "CONIN$") == 0) return InsertHandle(console->input);
  return InsertHandle(console->screen);
}

} // namespace winapi

extern "C" HANDLE WINAPI GetStdHandle(DWORD nStdHandle) {
  int index;
  switch (nStdHandle) {
    case STD_INPUT_HANDLE:
      index = 0;
      break;
    case STD_OUTPUT_HANDLE:
      index = 1;
      break;
    case STD_ERROR_HANDLE:
      index = 2;
      break;
    default:
      SetLastError(ERROR_INVALID_HANDLE);
      return INVALID_HANDLE_VALUE;
  }
  winapi::Console *console = winapi::GetConsole();
  if (console) return console->stdHandles[index];
  // No console: the standard handles are the files, pipes or devices behind the
  // descriptors, on which console calls fail.
  static HANDLE streams[3] = {nullptr, nullptr, nullptr};
  if (!streams[index] && fcntl(index, F_GETFD) != -1)
    streams[index] = winapi::InsertHandle(std::make_shared<winapi::StandardStream>(index));
  return streams[index];
}

extern "C" BOOL WINAPI GetConsoleMode(HANDLE hConsoleHandle, LPDWORD lpMode) {
  if (auto screen = winapi::LookupHandleAs<winapi::ScreenBuffer>(hConsoleHandle)) {
    if (lpMode) *lpMode = screen->Mode();
    return TRUE;
  }
  if (auto input = winapi::LookupHandleAs<winapi::InputBuffer>(hConsoleHandle)) {
    if (lpMode) *lpMode = input->mode;
    return TRUE;
  }
  SetLastError(ERROR_INVALID_HANDLE);
  return FALSE;
}

extern "C" BOOL WINAPI SetConsoleMode(HANDLE hConsoleHandle, DWORD dwMode) {
  if (auto screen = winapi::LookupHandleAs<winapi::ScreenBuffer>(hConsoleHandle)) {
    if (dwMode & ~0x1Fu) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    screen->SetMode(dwMode);
    return TRUE;
  }
  if (auto input = winapi::LookupHandleAs<winapi::InputBuffer>(hConsoleHandle)) {
    if (dwMode & ~0x3FFu) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    input->mode = dwMode;
    winapi::Console *console = winapi::GetConsole();
    if (console && console->terminal) console->terminal->SetInterruptKey((dwMode & ENABLE_PROCESSED_INPUT) != 0);
    return TRUE;
  }
  SetLastError(ERROR_INVALID_HANDLE);
  return FALSE;
}

extern "C" BOOL WINAPI SetConsoleCtrlHandler(PHANDLER_ROUTINE HandlerRoutine, BOOL Add) {
  auto &handlers = winapi::CtrlHandlers();
  if (!HandlerRoutine) { // Ctrl+C ignored or not: here Ctrl+C is the terminal's interrupt signal
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
  }
  if (Add) {
    handlers.push_back(HandlerRoutine);
    return TRUE;
  }
  for (auto it = handlers.rbegin(); it != handlers.rend(); ++it)
    if (*it == HandlerRoutine) {
      handlers.erase(std::next(it).base());
      return TRUE;
    }
  SetLastError(ERROR_INVALID_PARAMETER);
  return FALSE;
}

namespace winapi {

// NT ends a sleep on a clock interrupt: Sleep(n) returns at the first tick of
// the system clock after n milliseconds have passed, and the clock ticks every
// 15.625 ms on a multiprocessor NT (10 ms on a uniprocessor NT 4.0). A polling
// loop that sleeps 4 ms a turn therefore turns about 64 times a second there,
// not 250 times; here too, with the ticks laid on the monotonic clock.
constexpr long long kClockTickNs = 15625000;

timespec SleepEnd(DWORD milliseconds) {
  timespec now = Now();
  long long end = now.tv_sec * 1000000000LL + now.tv_nsec + milliseconds * 1000000LL;
  end = (end + kClockTickNs - 1) / kClockTickNs * kClockTickNs;
  return timespec{static_cast<time_t>(end / 1000000000LL), static_cast<long>(end % 1000000000LL)};
}

void SleepWatchingConsole(DWORD milliseconds) {
  if (milliseconds == 0) {
    sched_yield(); // Sleep(0) gives up the rest of the time slice
    return;
  }
  timespec end = SleepEnd(milliseconds);
  Console *console = State().console.get();
  if (console && console->terminal && !console->terminal->HungUp() && milliseconds <= 60000) {
    // The sleep watches the terminal, so that a look for keys right after it
    // need not ask again: a polling loop's turn costs one wait.
    long long waitUs = MicrosecondsBetween(Now(), end);
    if (!console->terminal->WaitReadable(static_cast<int>((waitUs + 999) / 1000))) {
      g_lastLook = end; // the wait was the look
      return;
    }
    // Something came early: the next look reads it, and the rest is slept.
    g_lastLook = timespec{};
  }
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &end, nullptr) == EINTR) {}
}

} // namespace winapi

extern "C" void WINAPI Sleep(DWORD dwMilliseconds) {
  winapi::PresentConsole(true); // the program waits: the screen shows where it stands
  winapi::SleepWatchingConsole(dwMilliseconds);
}
