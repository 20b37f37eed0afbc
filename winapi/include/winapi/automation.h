// Driving windows from a test: while an automation Session lives, it takes the
// terminal's place. Dialogs can be created without a terminal, and whenever a
// message loop has nothing to do it runs the session's next step; so a test can
// call code that runs its own message loop (DoDialog) and act inside it, step by
// step, as a user at the keyboard would.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace winapi::automation {

constexpr unsigned kShift = 1, kControl = 2, kAlt = 4;

struct ControlState {
  int id = 0;
  std::string className; // "STATIC", "BUTTON", "COMBOBOX", "EDIT"
  std::string text;      // a combo box's edit text
  DWORD style = 0;
  bool visible = false; // the control and its dialog are shown
  bool enabled = false;
  bool focused = false;
  bool checked = false;
  int selection = -1;   // combo boxes: CB_GETCURSEL
  bool dropped = false; // combo boxes: the list is open
  std::vector<std::string> items;
  RECT rect{}; // on the screen, in cells
};

struct HelpRequest {
  std::string file;
  UINT command = 0;
};

class Session {
 public:
  // The screen that GetSystemMetrics reports while the session lives.
  explicit Session(int columns = 80, int rows = 25);
  ~Session();
  Session(const Session &) = delete;
  Session &operator=(const Session &) = delete;

  // Adds a step. Steps run one at a time, in order, each when a message loop
  // next waits for input, so a step sees the effect of the input sent before it.
  Session &Then(std::function<void()> step);
  size_t StepsLeft() const;
  // A loop waited with no step left; it was handed WM_QUIT instead of hanging.
  bool RanOut() const;
  int Beeps() const;
  const std::vector<HelpRequest> &HelpRequests() const;

  struct State;

 private:
  State *state_;
};

// Input goes into the queue, in order, as a user's would: it takes effect when
// the message loop takes it, after the step that sent it has returned.
// Keyboard input, delivered to the window with the focus as the terminal would.
void PressKey(WORD virtualKey, unsigned modifiers = 0);
void TypeText(const std::string &text);

// Moves the focus to a control as Tab would bring it there: an edit field's
// text is selected, so that typing replaces it.
void FocusControl(HWND control);

// Mouse input. A push button or check box is pressed; a combo box's button opens
// or closes its list; ChooseItem clicks an item of the open list.
void Click(HWND control);
void ChooseItem(HWND combo, int index);

// The newest visible dialog, or null.
HWND ActiveDialog();
ControlState Control(HWND dialog, int id);
std::vector<ControlState> Controls(HWND dialog);
// The screen as the terminal front end draws it, row by row, as UTF-8.
std::vector<std::string> ScreenText();

} // namespace winapi::automation
