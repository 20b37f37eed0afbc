// The controlling terminal as the console and the dialog front end use it: raw
// keyboard input decoded into Win32 key events, frames of code page 437 cells
// drawn with terminfo (only what changed), and the terminal given back as it was
// on every way out (exit, SIGINT, SIGTERM, SIGHUP, SIGQUIT).
#pragma once

#include <windows.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace winapi::terminal {

// One character cell: a code page 437 byte and a Win32 character attribute.
struct Cell {
  unsigned char ch = ' ';
  WORD attr = 0x07;
  bool operator==(const Cell &) const = default;
};

// The Unicode character that a code page 437 byte stands for on screen. Control
// bytes show their glyphs (0x01 is a smiling face), 0 a blank.
char32_t Cp437ToUnicode(unsigned char byte);
// The code page 437 byte for a Unicode character, or '?' when it has none.
unsigned char UnicodeToCp437(char32_t c);
// Appends c as UTF-8.
void AppendUtf8(std::string &out, char32_t c);

// Decodes what a terminal sends for keys into key-down events (the console adds
// the key-up events). Escape sequences of xterm, VT and Linux console kind are
// known, and any that terminfo gives for this terminal. A lone Escape cannot be
// told from the start of a sequence until the terminal has been quiet for a
// moment: it stays pending until Flush().
class KeyDecoder {
 public:
  KeyDecoder();
  // A sequence that this terminal's terminfo entry names for a key.
  void AddSequence(const std::string &sequence, WORD virtualKey);
  void Feed(const char *bytes, size_t count, std::vector<KEY_EVENT_RECORD> &out);
  bool Pending() const { return !pending_.empty(); }
  // The terminal went quiet: what is pending are keys of their own (Escape).
  void Flush(std::vector<KEY_EVENT_RECORD> &out);

 private:
  // Length of the complete key at the start of pending_, 0 when more is needed.
  size_t DecodeOne(bool flushing, std::vector<KEY_EVENT_RECORD> &out);
  std::string pending_;
  std::map<std::string, WORD> terminfoKeys_;
};

// The key event of a virtual key (Page Down, F1, ...) with its scan code and
// the ENHANCED_KEY flag where the key is one of the grey keys.
KEY_EVENT_RECORD VirtualKeyEvent(WORD virtualKey, DWORD controlState);
// The key event of a character typed on a US keyboard: 'a', 'Q', '\r', 27, ...
KEY_EVENT_RECORD CharacterKeyEvent(unsigned char ch, DWORD controlState);

// What the terminal's locale can show: UTF-8, ISO 8859-1 or ISO 8859-15 (their
// own 8-bit characters), or 7-bit ASCII only (any other character set).
enum class Charset { kUtf8, kLatin1, kLatin9, kAscii };
// The character set of the locale that the environment names (LC_ALL, LC_CTYPE,
// LANG), without changing the process's own locale.
Charset LocaleCharset();

// Why the terminal cannot be drawn on, for a diagnostic: "" when it can.
std::string TerminalProblem(const char *terminalType, int fd);

// The terminfo strings that drawing needs. Loaded for the terminal, or for a
// named terminal type (tests). Every string is ready to send: its padding
// ($<N>) already turned into pad characters or dropped, as the terminal needs.
struct Capabilities {
  std::string clearScreen;   // clear
  std::string cursorAddress; // cup, with its two parameters
  std::string attributesOff; // sgr0
  std::string foreground;    // setaf
  std::string background;    // setab
  std::string bold;          // bold
  std::string dim;           // dim
  std::string reverse;       // rev
  std::string underline;     // smul
  // Whether colours are sent: the terminal has them and the user has not asked
  // for none (NO_COLOR set and not empty).
  bool colour = true;
  std::string cursorInvisible; // civis
  std::string cursorNormal;    // cnorm
  std::string keypadOn;        // smkx
  std::string keypadOff;       // rmkx
  std::string beep;            // bel
  std::string acsOn;           // smacs
  std::string acsOff;          // rmacs
  std::string acsEnable;       // enacs
  std::string eraseChars;      // ech, with its count: blanks cells from the cursor on, not moving it
  // acsc: the byte that the terminal shows in its alternate character set for
  // each VT100 line-drawing character; 0 where it has none.
  unsigned char acs[128] = {};
  Charset charset = Charset::kUtf8;
  // Padding: the terminal needs it only without XON/XOFF flow control, at or
  // above the padding baud rate, or where the string insists ($<N/>).
  bool xonXoff = true;
  int padBaudRate = 0;
  int baudRate = 0;
  char padChar = 0;
  bool noPadChar = false;
  bool autoMargin = true;                    // am: writing the last cell may scroll...
  bool eatNewline = false;                   // xenl: ...unless the terminal holds the wrap
  int fallbackColumns = 0, fallbackRows = 0; // from terminfo, when the terminal cannot say
  std::map<std::string, WORD> keys;          // key sequences of this terminal type
  // Relative cursor motions: the one-step strings (cuu1, cud1, cub1, cuf1) and
  // the counted ones (cuu, cud, cub, cuf); a cud1 of "\n" is left out, as the
  // terminal's output processing may add a carriage return to it (the terminal
  // puts it back once its output no longer does: lineFeedDown1).
  std::string up1, down1, left1, right1;
  bool lineFeedDown1 = false; // cud1 is "\n"
  std::string upN, downN, leftN, rightN;
  std::string MoveTo(int column, int row) const; // 0-based
  // The shortest relative motion by so many cells (negative: up or left); ""
  // when the terminal has none.
  std::string MoveBy(int dx, int dy) const;
  // Blanks n cells from the cursor on in the current attributes; "" without ech.
  std::string EraseChars(int n) const;
  std::string Foreground(int ansiColour) const;
  std::string Background(int ansiColour) const;
  // A terminfo string with its padding replaced by what the terminal needs.
  std::string Padded(const std::string &raw) const;
};
// False when the terminal type is unknown or cannot address the cursor.
bool LoadCapabilities(const char *terminalType, int fd, Capabilities &caps);

// Turns frames of cells into terminal output, writing only the cells that differ
// from what the terminal shows. Frames larger than the terminal are clipped to
// its top-left part.
class Renderer {
 public:
  explicit Renderer(const Capabilities &caps) : caps_(caps) {}
  void SetTerminalSize(int columns, int rows);
  // The terminal's content is unknown (start, resize, resume): repaint all.
  void Invalidate() { valid_ = false; }
  // Appends to out what brings rows firstRow to lastRow of the terminal to the
  // frame (all rows when the terminal's content is unknown).
  void Render(const Cell *cells, int width, int height, std::string &out, int firstRow = 0, int lastRow = 0x7FFF);
  // Appends what shows the cursor at that cell, or hides it (a cursor outside
  // the terminal is hidden).
  void PlaceCursor(COORD cursor, bool visible, std::string &out);

 private:
  void MoveTo(int x, int y, std::string &out);
  void SetAttribute(WORD attr, std::string &out);
  // Appends a code page 437 cell's character as the terminal's charset can show it.
  void AppendGlyph(unsigned char ch, std::string &out);
  void LeaveAcs(std::string &out);
  bool EraseBlanks(const Cell *row, int from, int last, std::string &out);
  const Capabilities &caps_;
  bool acsShown_ = false; // the terminal is in its alternate character set
  int columns_ = 0, rows_ = 0;
  bool valid_ = false;
  std::vector<Cell> shown_;         // columns_ * rows_
  int cursorX_ = -1, cursorY_ = -1; // where the terminal's cursor is; -1: unknown
  WORD attr_ = 0xFFFF;              // the terminal's current attribute; 0xFFFF: unknown
  bool cursorShown_ = true;
};

// The process's controlling terminal (/dev/tty), whatever standard input and
// output are. Open() enters raw mode; the terminal is restored at exit and on
// the terminating signals, and before the process stops (Ctrl+Z is a key here,
// but SIGTSTP from elsewhere is honoured) it is restored and taken back after.
class Terminal {
 public:
  // The one terminal of the process, opened on first call; null when the
  // process has none or its type cannot address the cursor.
  static Terminal *Get();
  // Why Get() gave no terminal ("" when it gave one): for a diagnostic.
  static const std::string &Problem();

  int Columns() const { return columns_; }
  int Rows() const { return rows_; }
  const Capabilities &Caps() const { return caps_; }
  // True once after the terminal was resized or the process resumed after a stop;
  // the size is up to date and the screen content must be redrawn.
  bool TakeRepaint();
  // True when fd is this terminal (standard output not redirected, say).
  bool IsThisTerminal(int fd) const;

  void Write(const std::string &bytes);
  // Waits up to timeoutMs (0: not at all; negative: until a key comes) and
  // appends the keys read to out.
  void ReadKeys(std::vector<KEY_EVENT_RECORD> &out, int timeoutMs);
  // Waits up to timeoutMs for the terminal to have something to read (a byte, a
  // hang-up), reading nothing; false when the time passed without any.
  bool WaitReadable(int timeoutMs);
  // The terminal hung up: no key will come again.
  bool HungUp() const { return hungUp_; }
  // Called once when a hang-up or a read error is first seen (the console's
  // window is gone, as it were).
  static void SetHangUpHandler(void (*handler)());
  // Ctrl+C raises SIGINT (the console's processed input) or is a key.
  void SetInterruptKey(bool enabled);
  // Called at exit before the terminal is restored, to draw what is still due.
  void SetExitHook(void (*hook)()) { exitHook_ = hook; }

  // Leaves raw mode (normal exit). Safe from a signal handler.
  static void RestoreNow();
  // While windows are drawn, leaving (Ctrl+C, a signal, an exit) also blanks the
  // screen, as closing the last window does, so that no frame is left around the
  // shell's prompt.
  static void SetClearAtRestore(bool clear);

 private:
  Terminal() = default;
  bool Open();
  void UpdateSize();
  void ApplyMode();
  void MarkHungUp();
  int fd_ = -1;
  int columns_ = 80, rows_ = 25;
  bool interruptKey_ = true;
  bool hungUp_ = false;
  Capabilities caps_;
  KeyDecoder decoder_;
  std::chrono::steady_clock::time_point lastByte_{};
  void (*exitHook_)() = nullptr;
  friend void ExitHandler();
};

} // namespace winapi::terminal
