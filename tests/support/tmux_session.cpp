#include "tmux_session.h"

#include <unistd.h>

#include <cstdio>
#include <stdexcept>

namespace cvtest {

namespace {

std::string Quote(const std::string &text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Characters of a UTF-8 string, each as its bytes.
std::vector<std::string> Characters(const std::string &line) {
  std::vector<std::string> out;
  for (size_t i = 0; i < line.size();) {
    unsigned char b = static_cast<unsigned char>(line[i]);
    size_t n = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
    out.push_back(line.substr(i, n));
    i += n;
  }
  return out;
}

} // namespace

TmuxSession::TmuxSession() : socket_("cvmon-e2e-" + std::to_string(getpid())) {}

TmuxSession::~TmuxSession() { Stop(); }

void TmuxSession::Stop() {
  Tmux("kill-server 2>/dev/null");
  // A server shuts down in its own time: the next session gets a server of its own.
  static int sessions = 0;
  socket_ = "cvmon-e2e-" + std::to_string(getpid()) + "-" + std::to_string(++sessions);
}

bool TmuxSession::Available() { return system("command -v tmux >/dev/null 2>&1") == 0; }

std::string TmuxSession::Tmux(const std::string &arguments) {
  std::string command = "tmux -L " + socket_ + " -f /dev/null " + arguments;
  FILE *pipe = popen(command.c_str(), "r");
  if (!pipe) throw std::runtime_error("cannot run tmux");
  std::string out;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  pclose(pipe);
  return out;
}

void TmuxSession::Start(const std::string &command) {
  // The programs draw by the locale's character set: the screens compared are
  // those of a UTF-8 terminal unless the command names another locale itself.
  Tmux("new-session -d -s mon -x 80 -y 25 " + Quote("LC_ALL=C.UTF-8; export LC_ALL; " + command));
  Tmux("set-option -t mon remain-on-exit on");
}

void TmuxSession::Keys(const std::string &keys) { Tmux("send-keys -t mon " + keys); }

std::vector<std::string> TmuxSession::Screen() {
  std::string text = Tmux("capture-pane -p -N -t mon");
  std::vector<std::string> rows;
  size_t start = 0;
  while (rows.size() < 25 && start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string row = text.substr(start, end - start);
    size_t width = Characters(row).size();
    if (width < 80) row += std::string(80 - width, ' ');
    rows.push_back(row);
    start = end + 1;
  }
  while (rows.size() < 25) rows.push_back(std::string(80, ' '));
  return rows;
}

std::vector<std::string> TmuxSession::ScreenWithAttributes() {
  std::string text = Tmux("capture-pane -p -e -N -t mon");
  std::vector<std::string> rows;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    rows.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return rows;
}

void TmuxSession::Resize(int columns, int rows) {
  Tmux("resize-window -t mon -x " + std::to_string(columns) + " -y " + std::to_string(rows));
}

int TmuxSession::CursorX() { return std::stoi(Tmux("display-message -p -t mon '#{cursor_x}'")); }
int TmuxSession::CursorY() { return std::stoi(Tmux("display-message -p -t mon '#{cursor_y}'")); }
int TmuxSession::PanePid() { return std::stoi(Tmux("display-message -p -t mon '#{pane_pid}'")); }

bool TmuxSession::Sleep100() {
  usleep(100000);
  return true;
}

} // namespace cvtest
