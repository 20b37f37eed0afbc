// The controlling terminal: raw mode, its size, output, key input, and the
// terminal given back as it was on every way out.
#include "terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace winapi::terminal {
namespace {

// A lone Escape is told from the start of a key's sequence by the quiet after it.
constexpr int kEscapeDelayMs = 40;

// What the signal handlers need, kept where they may reach it safely.
int g_fd = -1;
termios g_saved{}; // the terminal as the process found it
termios g_raw{};   // as the console runs it
char g_restore[128];
size_t g_restoreLength = 0;
char g_resume[128];
size_t g_resumeLength = 0;
char g_clear[128]; // what blanks the screen
size_t g_clearLength = 0;
volatile sig_atomic_t g_clearAtRestore = 0; // windows are drawn: blank them on the way out
volatile sig_atomic_t g_active = 0;         // raw mode is in force
volatile sig_atomic_t g_repaint = 0;        // resized, or resumed after a stop

constexpr int kTerminatingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
struct sigaction g_previous[sizeof kTerminatingSignals / sizeof kTerminatingSignals[0]];

Terminal *g_terminal = nullptr;
std::string *g_problem = new std::string; // why there is no terminal; kept for exit-time calls
void (*g_hangUpHandler)() = nullptr;

void WriteAll(int fd, const char *bytes, size_t length) {
  while (length > 0) {
    ssize_t n = write(fd, bytes, length);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN) {
        pollfd p{fd, POLLOUT, 0};
        poll(&p, 1, 100);
        continue;
      }
      return; // the terminal is gone
    }
    bytes += n;
    length -= static_cast<size_t>(n);
  }
}

void CopyInto(char *buffer, size_t size, size_t *length, const std::string &text) {
  *length = std::min(text.size(), size);
  std::memcpy(buffer, text.data(), *length);
}

void OnTerminatingSignal(int signal) {
  int saved = errno;
  Terminal::RestoreNow();
  for (size_t i = 0; i < sizeof kTerminatingSignals / sizeof kTerminatingSignals[0]; ++i)
    if (kTerminatingSignals[i] == signal) sigaction(signal, &g_previous[i], nullptr);
  raise(signal); // delivered as the process had it once this handler returns
  errno = saved;
}

void OnStop(int) {
  int saved = errno;
  Terminal::RestoreNow();
  signal(SIGTSTP, SIG_DFL);
  raise(SIGTSTP);
  errno = saved;
}

void OnContinue(int) {
  int saved = errno;
  if (!g_active && g_fd >= 0) {
    tcsetattr(g_fd, TCSANOW, &g_raw);
    WriteAll(g_fd, g_resume, g_resumeLength);
    g_active = 1;
  }
  struct sigaction stop {};
  stop.sa_handler = OnStop;
  sigemptyset(&stop.sa_mask);
  sigaction(SIGTSTP, &stop, nullptr);
  g_repaint = 1;
  errno = saved;
}

void OnResize(int) { g_repaint = 1; }

void Handle(int signal, void (*handler)(int), struct sigaction *previous) {
  struct sigaction current {};
  sigaction(signal, nullptr, &current);
  if (current.sa_handler == SIG_IGN) { // ignored as the process was started (nohup): stays so
    if (previous) *previous = current;
    return;
  }
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(signal, &action, previous);
}

int ElapsedMs(std::chrono::steady_clock::time_point since) {
  return static_cast<int>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - since).count());
}

} // namespace

void ExitHandler() {
  if (g_terminal && g_terminal->exitHook_) g_terminal->exitHook_();
  Terminal::RestoreNow();
}

Terminal *Terminal::Get() {
  static Terminal *terminal = [] {
    auto *t = new Terminal;
    if (!t->Open()) {
      delete t;
      return static_cast<Terminal *>(nullptr);
    }
    return t;
  }();
  return terminal;
}

const std::string &Terminal::Problem() {
  Get();
  return *g_problem;
}

bool Terminal::Open() {
  fd_ = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd_ < 0) {
    *g_problem = "no controlling terminal to draw on";
    return false;
  }
  if (tcgetattr(fd_, &g_saved) != 0 || !LoadCapabilities(std::getenv("TERM"), fd_, caps_)) {
    *g_problem = TerminalProblem(std::getenv("TERM"), fd_);
    if (g_problem->empty()) *g_problem = "the controlling terminal cannot be drawn on";
    close(fd_);
    fd_ = -1;
    return false;
  }
  for (const auto &[sequence, virtualKey] : caps_.keys) decoder_.AddSequence(sequence, virtualKey);
  UpdateSize();
  CopyInto(g_restore, sizeof g_restore, &g_restoreLength,
           caps_.acsOff + caps_.attributesOff + caps_.cursorNormal + caps_.keypadOff);
  CopyInto(g_resume, sizeof g_resume, &g_resumeLength, caps_.keypadOn);
  CopyInto(g_clear, sizeof g_clear, &g_clearLength, caps_.attributesOff + caps_.clearScreen);
  g_fd = fd_;
  g_terminal = this;
  ApplyMode();
  // A line feed that only moves down is the shortest step to the row below.
  termios applied{};
  if (caps_.lineFeedDown1 && tcgetattr(fd_, &applied) == 0 &&
      (!(applied.c_oflag & OPOST) || !(applied.c_oflag & ONLCR)))
    caps_.down1 = "\n";
  g_active = 1;
  Write(caps_.keypadOn);
  for (size_t i = 0; i < sizeof kTerminatingSignals / sizeof kTerminatingSignals[0]; ++i)
    Handle(kTerminatingSignals[i], OnTerminatingSignal, &g_previous[i]);
  Handle(SIGTSTP, OnStop, nullptr);
  Handle(SIGCONT, OnContinue, nullptr);
  Handle(SIGWINCH, OnResize, nullptr);
  std::atexit(ExitHandler);
  return true;
}

void Terminal::UpdateSize() {
  winsize size{};
  if (ioctl(fd_, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 && size.ws_row > 0) {
    columns_ = size.ws_col;
    rows_ = size.ws_row;
  } else if (caps_.fallbackColumns > 0 && caps_.fallbackRows > 0) {
    columns_ = caps_.fallbackColumns;
    rows_ = caps_.fallbackRows;
  }
}

void Terminal::ApplyMode() {
  g_raw = g_saved;
  g_raw.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON);
  g_raw.c_lflag &= ~(ECHO | ECHONL | ICANON | IEXTEN);
  g_raw.c_oflag &= ~ONLCR; // a line feed moves down only, as the screen is drawn
  if (interruptKey_)
    g_raw.c_lflag |= ISIG;
  else
    g_raw.c_lflag &= ~ISIG;
  // A console has no job control keys: Ctrl+Z and Ctrl+\ are keys like others.
  g_raw.c_cc[VSUSP] = _POSIX_VDISABLE;
  g_raw.c_cc[VQUIT] = _POSIX_VDISABLE;
  g_raw.c_cc[VMIN] = 1;
  g_raw.c_cc[VTIME] = 0;
  tcsetattr(fd_, TCSANOW, &g_raw);
}

void Terminal::SetInterruptKey(bool enabled) {
  if (enabled == interruptKey_) return;
  interruptKey_ = enabled;
  if (g_active) ApplyMode();
}

bool Terminal::TakeRepaint() {
  if (!g_repaint) return false;
  g_repaint = 0;
  UpdateSize();
  return true;
}

bool Terminal::IsThisTerminal(int fd) const {
  // /dev/tty is a device of its own: a terminal is the controlling one when it
  // belongs to this process's session.
  if (!isatty(fd)) return false;
  pid_t session = tcgetsid(fd);
  return session != -1 && session == getsid(0);
}

void Terminal::Write(const std::string &bytes) { WriteAll(fd_, bytes.data(), bytes.size()); }

void Terminal::ReadKeys(std::vector<KEY_EVENT_RECORD> &out, int timeoutMs) {
  // A look without waiting reads no clock: it is made on every turn of a polling loop.
  auto start = timeoutMs > 0 ? std::chrono::steady_clock::now() : std::chrono::steady_clock::time_point{};
  size_t before = out.size();
  for (;;) {
    int wait = timeoutMs <= 0 ? timeoutMs : std::max(0, timeoutMs - ElapsedMs(start));
    if (decoder_.Pending()) {
      int quiet = kEscapeDelayMs - ElapsedMs(lastByte_);
      if (quiet <= 0) {
        decoder_.Flush(out);
        if (out.size() > before) return;
        continue;
      }
      wait = wait < 0 ? quiet : std::min(wait, quiet);
    }
    pollfd p{fd_, POLLIN, 0};
    int ready = poll(&p, 1, wait);
    if (ready > 0 && (p.revents & POLLIN)) {
      char buffer[256];
      ssize_t n = read(fd_, buffer, sizeof buffer);
      if (n > 0) {
        lastByte_ = std::chrono::steady_clock::now();
        decoder_.Feed(buffer, static_cast<size_t>(n), out);
      } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
        MarkHungUp();
        return;
      }
    } else if (ready > 0 || (ready < 0 && errno != EINTR)) {
      MarkHungUp();
      return;
    }
    if (out.size() > before) return;
    if (timeoutMs == 0) return;
    if (timeoutMs > 0 && ElapsedMs(start) >= timeoutMs && !decoder_.Pending()) return;
  }
}

bool Terminal::WaitReadable(int timeoutMs) {
  if (decoder_.Pending()) return true; // the rest of a key sequence is due: the caller reads it
  pollfd p{fd_, POLLIN, 0};
  return poll(&p, 1, timeoutMs) != 0; // a byte, a hang-up or a signal: the caller looks
}

void Terminal::SetClearAtRestore(bool clear) { g_clearAtRestore = clear ? 1 : 0; }

void Terminal::SetHangUpHandler(void (*handler)()) { g_hangUpHandler = handler; }

void Terminal::MarkHungUp() {
  if (hungUp_) return;
  hungUp_ = true;
  if (g_hangUpHandler) g_hangUpHandler();
}

void Terminal::RestoreNow() {
  if (!g_active || g_fd < 0) return;
  g_active = 0;
  if (g_clearAtRestore) WriteAll(g_fd, g_clear, g_clearLength);
  WriteAll(g_fd, g_restore, g_restoreLength);
  tcsetattr(g_fd, TCSADRAIN, &g_saved);
}

} // namespace winapi::terminal
