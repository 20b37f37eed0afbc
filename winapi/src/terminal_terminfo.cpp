// The terminfo strings that the terminal layer draws and reads keys with. Only
// this file sees <term.h>, whose capability macros would clash with any name.
#include "terminal.h"

#include <cstdlib>

#include <term.h>

namespace winapi::terminal {
namespace {

std::string String(const char* name) {
  char* value = tigetstr(name);
  if (value == nullptr || value == reinterpret_cast<char*>(-1)) return {};
  return value;
}

struct KeyName {
  const char* capability;
  WORD virtualKey;
};

constexpr KeyName kKeyNames[] = {
    {"kcuu1", VK_UP},   {"kcud1", VK_DOWN}, {"kcub1", VK_LEFT},  {"kcuf1", VK_RIGHT}, {"khome", VK_HOME},
    {"kend", VK_END},   {"kpp", VK_PRIOR},  {"knp", VK_NEXT},    {"kich1", VK_INSERT}, {"kdch1", VK_DELETE},
    {"kf1", VK_F1},     {"kf2", VK_F2},     {"kf3", VK_F3},      {"kf4", VK_F4},      {"kf5", VK_F5},
    {"kf6", VK_F6},     {"kf7", VK_F7},     {"kf8", VK_F8},      {"kf9", VK_F9},      {"kf10", VK_F10},
    {"kf11", VK_F11},   {"kf12", VK_F12},   {"kb2", VK_CLEAR},
};

}  // namespace

bool LoadCapabilities(const char* terminalType, int fd, Capabilities& caps) {
  int error = 0;
  if (terminalType == nullptr || !*terminalType) return false;
  if (setupterm(terminalType, fd, &error) != 0) return false;  // OK
  caps.clearScreen = String("clear");
  caps.cursorAddress = String("cup");
  caps.attributesOff = String("sgr0");
  caps.foreground = String("setaf");
  caps.background = String("setab");
  caps.bold = String("bold");
  caps.dim = String("dim");
  caps.reverse = String("rev");
  caps.underline = String("smul");
  const char* noColour = std::getenv("NO_COLOR");
  caps.colour = !caps.foreground.empty() && !caps.background.empty() && !(noColour && *noColour);
  caps.cursorInvisible = String("civis");
  caps.cursorNormal = String("cnorm");
  caps.keypadOn = String("smkx");
  caps.keypadOff = String("rmkx");
  caps.beep = String("bel");
  caps.autoMargin = tigetflag("am") > 0;
  caps.eatNewline = tigetflag("xenl") > 0;
  caps.fallbackColumns = tigetnum("cols") > 0 ? tigetnum("cols") : 0;
  caps.fallbackRows = tigetnum("lines") > 0 ? tigetnum("lines") : 0;
  for (const KeyName& key : kKeyNames) {
    std::string sequence = String(key.capability);
    if (!sequence.empty()) caps.keys[sequence] = key.virtualKey;
  }
  // The strings are copied: the entry itself is not kept.
  del_curterm(cur_term);
  return !caps.cursorAddress.empty() && !caps.clearScreen.empty();
}

std::string Capabilities::MoveTo(int column, int row) const {
  const char* s = tiparm(cursorAddress.c_str(), row, column);
  return s ? s : "";
}

std::string Capabilities::Foreground(int ansiColour) const {
  if (foreground.empty()) return {};
  const char* s = tiparm(foreground.c_str(), ansiColour);
  return s ? s : "";
}

std::string Capabilities::Background(int ansiColour) const {
  if (background.empty()) return {};
  const char* s = tiparm(background.c_str(), ansiColour);
  return s ? s : "";
}

}  // namespace winapi::terminal
