// The terminfo strings that the terminal layer draws and reads keys with. Only
// this file sees <term.h>, whose capability macros would clash with any name.
#include "terminal.h"

#include <langinfo.h>
#include <locale.h>
#include <strings.h>
#include <termios.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

#include <term.h>

namespace winapi::terminal {
namespace {

// The line speed as a number of bits a second (0 when unknown).
int BaudRate(int fd) {
  termios mode{};
  if (tcgetattr(fd, &mode) != 0) return 0;
  switch (cfgetospeed(&mode)) {
    case B50:
      return 50;
    case B75:
      return 75;
    case B110:
      return 110;
    case B134:
      return 134;
    case B150:
      return 150;
    case B200:
      return 200;
    case B300:
      return 300;
    case B600:
      return 600;
    case B1200:
      return 1200;
    case B1800:
      return 1800;
    case B2400:
      return 2400;
    case B4800:
      return 4800;
    case B9600:
      return 9600;
    case B19200:
      return 19200;
    case B38400:
      return 38400;
    case B57600:
      return 57600;
    case B115200:
      return 115200;
    case B230400:
      return 230400;
    default:
      return 0;
  }
}

std::string String(const char *name) {
  char *value = tigetstr(name);
  if (value == nullptr || value == reinterpret_cast<char *>(-1)) return {};
  return value;
}

struct KeyName {
  const char *capability;
  WORD virtualKey;
};

constexpr KeyName kKeyNames[] = {
    {"kcuu1", VK_UP}, {"kcud1", VK_DOWN}, {"kcub1", VK_LEFT}, {"kcuf1", VK_RIGHT},  {"khome", VK_HOME},
    {"kend", VK_END}, {"kpp", VK_PRIOR},  {"knp", VK_NEXT},   {"kich1", VK_INSERT}, {"kdch1", VK_DELETE},
    {"kf1", VK_F1},   {"kf2", VK_F2},     {"kf3", VK_F3},     {"kf4", VK_F4},       {"kf5", VK_F5},
    {"kf6", VK_F6},   {"kf7", VK_F7},     {"kf8", VK_F8},     {"kf9", VK_F9},       {"kf10", VK_F10},
    {"kf11", VK_F11}, {"kf12", VK_F12},   {"kb2", VK_CLEAR},
};

} // namespace

Charset LocaleCharset() {
  locale_t locale = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
  if (locale == static_cast<locale_t>(0)) return Charset::kAscii; // a locale that is not installed
  std::string codeset = nl_langinfo_l(CODESET, locale);
  freelocale(locale);
  if (strcasecmp(codeset.c_str(), "UTF-8") == 0 || strcasecmp(codeset.c_str(), "UTF8") == 0) return Charset::kUtf8;
  if (strcasecmp(codeset.c_str(), "ISO-8859-1") == 0 || strcasecmp(codeset.c_str(), "ISO8859-1") == 0)
    return Charset::kLatin1;
  if (strcasecmp(codeset.c_str(), "ISO-8859-15") == 0 || strcasecmp(codeset.c_str(), "ISO8859-15") == 0)
    return Charset::kLatin9;
  return Charset::kAscii;
}

std::string TerminalProblem(const char *terminalType, int fd) {
  if (terminalType == nullptr || !*terminalType) return "TERM is not set, so the terminal type is unknown";
  std::string type = std::string("terminal type \"") + terminalType + "\"";
  int error = 0;
  if (setupterm(terminalType, fd, &error) != 0) { // OK
    if (error == 1) return type + " is a hardcopy terminal, which cannot address the cursor";
    if (error == -1) return "no terminfo database was found to look up " + type;
    return type + " is not in the terminfo database";
  }
  std::string missing;
  if (String("cup").empty())
    missing = "cannot address the cursor (no cup capability)";
  else if (String("clear").empty())
    missing = "cannot clear the screen (no clear capability)";
  del_curterm(cur_term);
  return missing.empty() ? std::string() : type + " " + missing;
}

bool LoadCapabilities(const char *terminalType, int fd, Capabilities &caps) {
  int error = 0;
  if (terminalType == nullptr || !*terminalType) return false;
  if (setupterm(terminalType, fd, &error) != 0) return false; // OK
  caps.xonXoff = tigetflag("xon") > 0;
  caps.padBaudRate = tigetnum("pb") > 0 ? tigetnum("pb") : 0;
  caps.baudRate = BaudRate(fd);
  std::string pad = String("pad");
  caps.padChar = pad.empty() ? '\0' : pad[0];
  caps.noPadChar = tigetflag("npc") > 0;
  caps.clearScreen = caps.Padded(String("clear"));
  caps.cursorAddress = String("cup"); // parameters first, then padding
  caps.attributesOff = caps.Padded(String("sgr0"));
  caps.foreground = String("setaf");
  caps.background = String("setab");
  caps.bold = caps.Padded(String("bold"));
  caps.dim = caps.Padded(String("dim"));
  caps.reverse = caps.Padded(String("rev"));
  caps.underline = caps.Padded(String("smul"));
  const char *noColour = std::getenv("NO_COLOR");
  caps.colour = !caps.foreground.empty() && !caps.background.empty() && !(noColour && *noColour);
  caps.cursorInvisible = caps.Padded(String("civis"));
  caps.cursorNormal = caps.Padded(String("cnorm"));
  caps.keypadOn = caps.Padded(String("smkx"));
  caps.keypadOff = caps.Padded(String("rmkx"));
  caps.beep = caps.Padded(String("bel"));
  caps.acsOn = caps.Padded(String("smacs"));
  caps.acsOff = caps.Padded(String("rmacs"));
  caps.acsEnable = caps.Padded(String("enacs"));
  std::string acsc = String("acsc");
  if (!caps.acsOn.empty())
    for (size_t i = 0; i + 1 < acsc.size(); i += 2) {
      unsigned char from = static_cast<unsigned char>(acsc[i]), to = static_cast<unsigned char>(acsc[i + 1]);
      if (from < 128 && to >= 0x20 && to < 0x7F) caps.acs[from] = to;
    }
  caps.charset = LocaleCharset();
  caps.up1 = caps.Padded(String("cuu1"));
  caps.down1 = caps.Padded(String("cud1"));
  caps.lineFeedDown1 = caps.down1 == "\n";
  if (caps.lineFeedDown1) caps.down1.clear();
  caps.left1 = caps.Padded(String("cub1"));
  caps.right1 = caps.Padded(String("cuf1"));
  caps.upN = String("cuu");
  caps.downN = String("cud");
  caps.leftN = String("cub");
  caps.rightN = String("cuf");
  caps.eraseChars = String("ech");
  caps.autoMargin = tigetflag("am") > 0;
  caps.eatNewline = tigetflag("xenl") > 0;
  caps.fallbackColumns = tigetnum("cols") > 0 ? tigetnum("cols") : 0;
  caps.fallbackRows = tigetnum("lines") > 0 ? tigetnum("lines") : 0;
  for (const KeyName &key : kKeyNames) {
    std::string sequence = String(key.capability);
    if (!sequence.empty()) caps.keys[sequence] = key.virtualKey;
  }
  // The strings are copied: the entry itself is not kept.
  del_curterm(cur_term);
  // The library keeps what it learns of each parameterised string for the life
  // of the process: it learns it here, at start-up, rather than in a program's
  // first screen, so that a running program's memory stays as it was.
  caps.MoveTo(0, 0);
  caps.MoveBy(1, 1);
  caps.MoveBy(-1, -1);
  caps.EraseChars(2);
  caps.Foreground(0);
  caps.Background(0);
  return !caps.cursorAddress.empty() && !caps.clearScreen.empty();
}

std::string Capabilities::MoveTo(int column, int row) const {
  const char *s = tiparm(cursorAddress.c_str(), row, column);
  return s ? Padded(s) : "";
}

namespace {

// n steps along one axis: the one-step string repeated or the counted one,
// whichever is shorter; "" when neither is there.
std::string Steps(const Capabilities &caps, const std::string &one, const std::string &counted, int n) {
  std::string best;
  if (!counted.empty()) {
    const char *s = tiparm(counted.c_str(), n);
    if (s) best = caps.Padded(s);
  }
  if (!one.empty() && (best.empty() || one.size() * static_cast<size_t>(n) < best.size())) {
    best.clear();
    for (int i = 0; i < n; ++i) best += one;
  }
  return best;
}

} // namespace

std::string Capabilities::MoveBy(int dx, int dy) const {
  std::string vertical, horizontal;
  if (dy > 0) vertical = Steps(*this, down1, downN, dy);
  if (dy < 0) vertical = Steps(*this, up1, upN, -dy);
  if (dx > 0) horizontal = Steps(*this, right1, rightN, dx);
  if (dx < 0) horizontal = Steps(*this, left1, leftN, -dx);
  if ((dy != 0 && vertical.empty()) || (dx != 0 && horizontal.empty())) return {};
  return vertical + horizontal;
}

std::string Capabilities::EraseChars(int n) const {
  if (eraseChars.empty()) return {};
  const char *s = tiparm(eraseChars.c_str(), n);
  return s ? Padded(s) : "";
}

std::string Capabilities::Foreground(int ansiColour) const {
  if (foreground.empty()) return {};
  const char *s = tiparm(foreground.c_str(), ansiColour);
  return s ? Padded(s) : "";
}

std::string Capabilities::Background(int ansiColour) const {
  if (background.empty()) return {};
  const char *s = tiparm(background.c_str(), ansiColour);
  return s ? Padded(s) : "";
}

// $<N>, $<N.M>, with '*' (per line affected: one here) and '/' (mandatory).
std::string Capabilities::Padded(const std::string &raw) const {
  std::string out;
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] != '$' || i + 1 >= raw.size() || raw[i + 1] != '<') {
      out += raw[i];
      continue;
    }
    size_t close = raw.find('>', i + 2);
    size_t digits = i + 2;
    if (close == std::string::npos || digits == close ||
        !(std::isdigit(static_cast<unsigned char>(raw[digits])) || raw[digits] == '.')) {
      out += raw[i]; // not padding: a literal '$'
      continue;
    }
    double ms = std::atof(raw.substr(digits, close - digits).c_str());
    bool mandatory = raw.find('/', digits) < close;
    bool needed = mandatory || (!xonXoff && padBaudRate > 0 && baudRate >= padBaudRate);
    if (needed && !noPadChar && baudRate > 0) {
      // A character takes ten bit times: start, eight data bits, stop.
      long count = static_cast<long>(ms * baudRate / 10000.0 + 0.5);
      out.append(static_cast<size_t>(std::min(count, 1000L)), padChar);
    }
    i = close;
  }
  return out;
}

} // namespace winapi::terminal
