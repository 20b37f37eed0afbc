// Keys as the terminal sends them, decoded into the key events a Windows console
// delivers: virtual-key code, scan code (set 1, as the PC keyboard gives them),
// the character, and the state of Shift, Ctrl and Alt.
#include "terminal.h"

#include <cstdlib>

namespace winapi::terminal {
namespace {

constexpr char kEsc = '\x1b';
constexpr WORD kUnnamedKey = 0xFF;

struct KeyCap {
  WORD virtualKey;
  WORD scan;
  bool enhanced; // one of the grey keys beside the typing block
};

constexpr KeyCap kVirtualKeys[] = {
    {VK_ESCAPE, 0x01, false}, {VK_BACK, 0x0E, false},  {VK_TAB, 0x0F, false},   {VK_RETURN, 0x1C, false},
    {VK_SPACE, 0x39, false},  {VK_F1, 0x3B, false},    {VK_F2, 0x3C, false},    {VK_F3, 0x3D, false},
    {VK_F4, 0x3E, false},     {VK_F5, 0x3F, false},    {VK_F6, 0x40, false},    {VK_F7, 0x41, false},
    {VK_F8, 0x42, false},     {VK_F9, 0x43, false},    {VK_F10, 0x44, false},   {VK_F11, 0x57, false},
    {VK_F12, 0x58, false},    {VK_CLEAR, 0x4C, false}, {VK_HOME, 0x47, true},   {VK_UP, 0x48, true},
    {VK_PRIOR, 0x49, true},   {VK_LEFT, 0x4B, true},   {VK_RIGHT, 0x4D, true},  {VK_END, 0x4F, true},
    {VK_DOWN, 0x50, true},    {VK_NEXT, 0x51, true},   {VK_INSERT, 0x52, true}, {VK_DELETE, 0x53, true},
};

// The US keyboard's typing keys: the unshifted and the shifted character.
struct TypingKey {
  char plain, shifted;
  WORD virtualKey;
  WORD scan;
};

constexpr TypingKey kTypingKeys[] = {
    {'`', '~', VK_OEM_3, 0x29},      {'1', '!', '1', 0x02},      {'2', '@', '2', 0x03},
    {'3', '#', '3', 0x04},           {'4', '$', '4', 0x05},      {'5', '%', '5', 0x06},
    {'6', '^', '6', 0x07},           {'7', '&', '7', 0x08},      {'8', '*', '8', 0x09},
    {'9', '(', '9', 0x0A},           {'0', ')', '0', 0x0B},      {'-', '_', VK_OEM_MINUS, 0x0C},
    {'=', '+', VK_OEM_PLUS, 0x0D},   {'q', 'Q', 'Q', 0x10},      {'w', 'W', 'W', 0x11},
    {'e', 'E', 'E', 0x12},           {'r', 'R', 'R', 0x13},      {'t', 'T', 'T', 0x14},
    {'y', 'Y', 'Y', 0x15},           {'u', 'U', 'U', 0x16},      {'i', 'I', 'I', 0x17},
    {'o', 'O', 'O', 0x18},           {'p', 'P', 'P', 0x19},      {'[', '{', VK_OEM_4, 0x1A},
    {']', '}', VK_OEM_6, 0x1B},      {'a', 'A', 'A', 0x1E},      {'s', 'S', 'S', 0x1F},
    {'d', 'D', 'D', 0x20},           {'f', 'F', 'F', 0x21},      {'g', 'G', 'G', 0x22},
    {'h', 'H', 'H', 0x23},           {'j', 'J', 'J', 0x24},      {'k', 'K', 'K', 0x25},
    {'l', 'L', 'L', 0x26},           {';', ':', VK_OEM_1, 0x27}, {'\'', '"', VK_OEM_7, 0x28},
    {'\\', '|', VK_OEM_5, 0x2B},     {'z', 'Z', 'Z', 0x2C},      {'x', 'X', 'X', 0x2D},
    {'c', 'C', 'C', 0x2E},           {'v', 'V', 'V', 0x2F},      {'b', 'B', 'B', 0x30},
    {'n', 'N', 'N', 0x31},           {'m', 'M', 'M', 0x32},      {',', '<', VK_OEM_COMMA, 0x33},
    {'.', '>', VK_OEM_PERIOD, 0x34}, {'/', '?', VK_OEM_2, 0x35}, {' ', ' ', VK_SPACE, 0x39},
};

KEY_EVENT_RECORD MakeEvent(WORD virtualKey, WORD scan, unsigned char ch, DWORD state) {
  KEY_EVENT_RECORD key{};
  key.bKeyDown = TRUE;
  key.wRepeatCount = 1;
  key.wVirtualKeyCode = virtualKey;
  key.wVirtualScanCode = scan;
  key.uChar.UnicodeChar = ch;
  key.dwControlKeyState = state;
  return key;
}

const TypingKey *FindTypingKey(unsigned char ch, bool *shifted) {
  for (const TypingKey &key : kTypingKeys) {
    if (key.plain == static_cast<char>(ch)) {
      *shifted = false;
      return &key;
    }
    if (key.shifted == static_cast<char>(ch)) {
      *shifted = true;
      return &key;
    }
  }
  return nullptr;
}

// xterm's modifier parameter: 1 + (1 Shift, 2 Alt, 4 Ctrl).
DWORD ModifierState(int parameter) {
  if (parameter < 2) return 0;
  int bits = parameter - 1;
  DWORD state = 0;
  if (bits & 1) state |= SHIFT_PRESSED;
  if (bits & 2) state |= LEFT_ALT_PRESSED;
  if (bits & 4) state |= LEFT_CTRL_PRESSED;
  return state;
}

// "CSI n ~" keys.
WORD TildeKey(int n) {
  switch (n) {
    case 1:
    case 7:
      return VK_HOME;
    case 2:
      return VK_INSERT;
    case 3:
      return VK_DELETE;
    case 4:
    case 8:
      return VK_END;
    case 5:
      return VK_PRIOR;
    case 6:
      return VK_NEXT;
    case 11:
    case 12:
    case 13:
    case 14:
    case 15:
      return static_cast<WORD>(VK_F1 + n - 11);
    case 17:
    case 18:
    case 19:
    case 20:
    case 21:
      return static_cast<WORD>(VK_F6 + n - 17);
    case 23:
    case 24:
      return static_cast<WORD>(VK_F11 + n - 23);
    default:
      return 0;
  }
}

// "CSI x" and "SS3 x" keys by their final byte.
WORD LetterKey(char final) {
  switch (final) {
    case 'A':
      return VK_UP;
    case 'B':
      return VK_DOWN;
    case 'C':
      return VK_RIGHT;
    case 'D':
      return VK_LEFT;
    case 'E':
      return VK_CLEAR; // keypad 5 with Num Lock off
    case 'F':
      return VK_END;
    case 'H':
      return VK_HOME;
    case 'P':
      return VK_F1;
    case 'Q':
      return VK_F2;
    case 'R':
      return VK_F3;
    case 'S':
      return VK_F4;
    default:
      return 0;
  }
}

} // namespace

KEY_EVENT_RECORD VirtualKeyEvent(WORD virtualKey, DWORD controlState) {
  for (const KeyCap &cap : kVirtualKeys) {
    if (cap.virtualKey != virtualKey) continue;
    unsigned char ch = 0;
    if (virtualKey == VK_ESCAPE) ch = 27;
    if (virtualKey == VK_RETURN) ch = '\r';
    if (virtualKey == VK_TAB) ch = '\t';
    if (virtualKey == VK_BACK) ch = 8;
    if (virtualKey == VK_SPACE) ch = ' ';
    return MakeEvent(virtualKey, cap.scan, ch, controlState | (cap.enhanced ? ENHANCED_KEY : 0));
  }
  return MakeEvent(virtualKey, 0, 0, controlState);
}

KEY_EVENT_RECORD CharacterKeyEvent(unsigned char ch, DWORD controlState) {
  switch (ch) {
    case '\r':
      return VirtualKeyEvent(VK_RETURN, controlState);
    case '\n':
      return MakeEvent(VK_RETURN, 0x1C, '\n', controlState | LEFT_CTRL_PRESSED);
    case '\t':
      return VirtualKeyEvent(VK_TAB, controlState);
    case 8:
    case 0x7F:
      return VirtualKeyEvent(VK_BACK, controlState);
    case 27:
      return VirtualKeyEvent(VK_ESCAPE, controlState);
    case 0:
      return MakeEvent('2', 0x03, 0, controlState | LEFT_CTRL_PRESSED);
    case 0x1C:
      return MakeEvent(VK_OEM_5, 0x2B, ch, controlState | LEFT_CTRL_PRESSED);
    case 0x1D:
      return MakeEvent(VK_OEM_6, 0x1B, ch, controlState | LEFT_CTRL_PRESSED);
    case 0x1E:
      return MakeEvent('6', 0x07, ch, controlState | LEFT_CTRL_PRESSED);
    case 0x1F:
      return MakeEvent(VK_OEM_MINUS, 0x0C, ch, controlState | LEFT_CTRL_PRESSED);
    default:
      break;
  }
  bool shifted = false;
  if (ch < 0x20) { // Ctrl with a letter
    const TypingKey *key = FindTypingKey(static_cast<unsigned char>('a' + ch - 1), &shifted);
    return MakeEvent(key->virtualKey, key->scan, ch, controlState | LEFT_CTRL_PRESSED);
  }
  if (const TypingKey *key = FindTypingKey(ch, &shifted))
    return MakeEvent(key->virtualKey, key->scan, ch, controlState | (shifted ? SHIFT_PRESSED : 0));
  return MakeEvent(0, 0, ch, controlState); // a character of another layout
}

KeyDecoder::KeyDecoder() = default;

void KeyDecoder::AddSequence(const std::string &sequence, WORD virtualKey) {
  if (sequence.size() > 1 && sequence[0] == kEsc) terminfoKeys_[sequence] = virtualKey;
}

void KeyDecoder::Feed(const char *bytes, size_t count, std::vector<KEY_EVENT_RECORD> &out) {
  pending_.append(bytes, count);
  while (!pending_.empty()) {
    size_t used = DecodeOne(false, out);
    if (used == 0) break;
    pending_.erase(0, used);
  }
}

void KeyDecoder::Flush(std::vector<KEY_EVENT_RECORD> &out) {
  while (!pending_.empty()) pending_.erase(0, DecodeOne(true, out));
}

size_t KeyDecoder::DecodeOne(bool flushing, std::vector<KEY_EVENT_RECORD> &out) {
  const std::string &p = pending_;
  unsigned char first = static_cast<unsigned char>(p[0]);
  if (first >= 0x80) { // a UTF-8 character
    size_t length = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 1;
    if (p.size() < length) {
      if (!flushing) return 0;
      length = 1;
    }
    char32_t c = length == 1 ? 0xFFFD : first & (0x3F >> (length - 1));
    for (size_t i = 1; i < length; ++i) {
      unsigned char next = static_cast<unsigned char>(p[i]);
      if ((next & 0xC0) != 0x80) { // broken: take the lead byte alone
        length = 1;
        c = 0xFFFD;
        break;
      }
      c = (c << 6) | (next & 0x3F);
    }
    out.push_back(CharacterKeyEvent(UnicodeToCp437(c), 0));
    return length;
  }
  if (first != kEsc) {
    out.push_back(CharacterKeyEvent(first, 0));
    return 1;
  }
  if (p.size() == 1) {
    if (!flushing) return 0;
    out.push_back(VirtualKeyEvent(VK_ESCAPE, 0));
    return 1;
  }
  char introducer = p[1];
  if (introducer != '[' && introducer != 'O') {
    unsigned char ch = static_cast<unsigned char>(introducer);
    if (ch == kEsc || ch >= 0x80) { // Escape, then a key of its own
      out.push_back(VirtualKeyEvent(VK_ESCAPE, 0));
      return 1;
    }
    out.push_back(CharacterKeyEvent(ch, LEFT_ALT_PRESSED)); // Alt with a key
    return 2;
  }
  if (introducer == '[' && p.size() >= 3 && p[2] == '[') { // Linux console F1 to F5: ESC [ [ A
    if (p.size() < 4) {
      if (flushing) out.push_back(VirtualKeyEvent(VK_ESCAPE, 0));
      return flushing ? 1 : 0;
    }
    if (p[3] >= 'A' && p[3] <= 'E') out.push_back(VirtualKeyEvent(static_cast<WORD>(VK_F1 + p[3] - 'A'), 0));
    return 4;
  }
  // A control sequence: parameters, intermediates, one final byte.
  size_t i = 2;
  while (i < p.size() && p[i] >= 0x20 && p[i] <= 0x3F) ++i;
  if (i == p.size()) {
    if (!flushing) return 0;
    out.push_back(VirtualKeyEvent(VK_ESCAPE, 0)); // cut short: the Escape key, then the rest as typed
    return 1;
  }
  char final = p[i];
  if (final < 0x40 || final > 0x7E) {
    out.push_back(VirtualKeyEvent(VK_ESCAPE, 0));
    return 1;
  }
  std::string sequence = p.substr(0, i + 1);
  auto known = terminfoKeys_.find(sequence);
  if (known != terminfoKeys_.end()) {
    out.push_back(VirtualKeyEvent(known->second, 0));
    return i + 1;
  }
  int params[2] = {0, 0};
  int count = 0;
  for (size_t j = 2; j < i && count < 2; ++j) {
    if (p[j] >= '0' && p[j] <= '9') {
      params[count] = params[count] * 10 + (p[j] - '0');
      if (params[count] > 1000) params[count] = 1000;
    } else if (p[j] == ';') {
      ++count;
    }
  }
  bool secondGiven = sequence.find(';') != std::string::npos;
  WORD virtualKey = 0;
  DWORD state = 0;
  if (final == '~') {
    virtualKey = TildeKey(params[0]);
    state = secondGiven ? ModifierState(params[1]) : 0;
  } else if (final == 'Z' && introducer == '[') {
    virtualKey = VK_TAB;
    state = SHIFT_PRESSED;
  } else if (introducer == 'O' && final == 'M') {
    virtualKey = VK_RETURN;
  } else if (introducer == 'O' && final >= 'j' && final <= 'y') { // the keypad in application mode
    static const char kKeypad[] = "*+,-./0123456789";
    out.push_back(CharacterKeyEvent(static_cast<unsigned char>(kKeypad[final - 'j']), 0));
    return i + 1;
  } else {
    virtualKey = LetterKey(final);
    // "CSI 1 ; 5 A", and the older "SS3 5 A" with the modifier alone.
    state = secondGiven ? ModifierState(params[1]) : ModifierState(params[0]);
  }
  // A key that has no name here is still a key pressed: Windows gives such keys
  // the virtual-key code 0xFF.
  out.push_back(VirtualKeyEvent(virtualKey ? virtualKey : kUnnamedKey, state));
  return i + 1;
}

} // namespace winapi::terminal
