// Message boxes on a terminal. The box is a prompt on the controlling terminal
// (so it works while standard output is captured); without a terminal the text
// goes to standard error and the default button answers.
#include <windows.h>
#include <winapi/msgbox_hooks.h>

#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

namespace {

struct Button {
  const char *label; // its first letter answers it
  int id;
};

std::vector<Button> ButtonsOf(UINT type) {
  switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
      return {{"OK", IDOK}, {"Cancel", IDCANCEL}};
    case MB_ABORTRETRYIGNORE:
      return {{"Abort", IDABORT}, {"Retry", IDRETRY}, {"Ignore", IDIGNORE}};
    case MB_YESNOCANCEL:
      return {{"Yes", IDYES}, {"No", IDNO}, {"Cancel", IDCANCEL}};
    case MB_YESNO:
      return {{"Yes", IDYES}, {"No", IDNO}};
    case MB_RETRYCANCEL:
      return {{"Retry", IDRETRY}, {"Cancel", IDCANCEL}};
    case MB_CANCELTRYCONTINUE:
      return {{"Cancel", IDCANCEL}, {"Try Again", IDTRYAGAIN}, {"Continue", IDCONTINUE}};
    default:
      return {{"OK", IDOK}};
  }
}

size_t DefaultIndex(UINT type, size_t count) {
  size_t index = (type & MB_DEFMASK) >> 8;
  return index < count ? index : 0;
}

std::mutex handlerMutex;
winapi::MessageBoxHandler &Handler() {
  static auto *handler = new winapi::MessageBoxHandler;
  return *handler;
}

void WriteAll(int fd, const std::string &text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

// Reads one answer line; false at the end of input. Works whether the terminal
// is in line mode or raw mode (a dialog may have it raw).
bool ReadLine(int fd, std::string &line) {
  line.clear();
  for (;;) {
    char c;
    ssize_t n = ::read(fd, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return !line.empty();
    if (c == '\n' || c == '\r') return true;
    if (c == 4 && line.empty()) return false; // Ctrl+D in raw mode
    line += c;
  }
}

int AskOnTerminal(int fd, const char *text, const char *caption, UINT type) {
  std::vector<Button> buttons = ButtonsOf(type);
  size_t fallback = DefaultIndex(type, buttons.size());
  std::string prompt = "\r\n[" + std::string(caption ? caption : "Error") + "]\r\n";
  for (const char *p = text ? text : ""; *p; ++p) prompt += (*p == '\n') ? std::string("\r\n") : std::string(1, *p);
  prompt += "\r\n";
  for (size_t i = 0; i < buttons.size(); ++i) {
    prompt += i ? ", " : "";
    prompt += std::string("(") + buttons[i].label[0] + ")" + (buttons[i].label + 1);
  }
  prompt += std::string(" [") + buttons[fallback].label + "]? ";
  for (;;) {
    WriteAll(fd, prompt);
    std::string line;
    if (!ReadLine(fd, line)) break;
    size_t start = line.find_first_not_of(' ');
    if (start == std::string::npos) break; // Enter alone: the default button
    for (const Button &button : buttons)
      if (std::toupper(static_cast<unsigned char>(line[start])) == button.label[0]) {
        WriteAll(fd, "\r\n");
        return button.id;
      }
  }
  WriteAll(fd, "\r\n");
  return buttons[fallback].id;
}

} // namespace

namespace winapi {

void SetMessageBoxHandler(MessageBoxHandler handler) {
  std::lock_guard lock(handlerMutex);
  Handler() = std::move(handler);
}

int DefaultMessageBoxAnswer(UINT type) {
  std::vector<Button> buttons = ButtonsOf(type);
  return buttons[DefaultIndex(type, buttons.size())].id;
}

} // namespace winapi

extern "C" int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
  {
    std::lock_guard lock(handlerMutex);
    if (Handler()) return Handler()(hWnd, lpText, lpCaption, uType);
  }
  int fd = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd >= 0) {
    int answer = AskOnTerminal(fd, lpText, lpCaption, uType);
    ::close(fd);
    return answer;
  }
  std::fprintf(stderr, "%s: %s\n", lpCaption ? lpCaption : "Error", lpText ? lpText : "");
  std::fflush(stderr);
  return winapi::DefaultMessageBoxAnswer(uType);
}
