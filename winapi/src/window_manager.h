// The window manager of the POSIX host: window records, focus, the message queue
// and the front end that shows the windows (the terminal, or a test's automation
// session). Positions are in cells of the screen: a dialog unit is a quarter of a
// cell across and an eighth of a cell down.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace winapi {

// A text field's contents and caret, shared by edit controls and combo boxes.
struct EditField {
  int caret = 0;
  int anchor = 0; // the other end of the selection; equal to caret when none
  int limit = 0;  // most characters the user may type; 0 for no limit
};

struct ComboState {
  std::vector<std::string> items;
  int selection = -1;
  bool dropped = false;
  int highlight = -1; // the item under the cursor of the dropped list
  int top = 0;        // first item shown in the dropped list
};

struct Window {
  HWND handle = nullptr;
  std::string className; // upper case: "#32770" for dialogs, "BUTTON", "COMBOBOX", ...
  DWORD style = 0;
  DWORD exStyle = 0;
  int id = 0;
  HWND parent = nullptr;
  std::vector<HWND> children; // in creation order, which is the tab order
  RECT rect{};                // relative to the parent's client area (the screen for top-level windows)
  std::string text;
  WNDPROC proc = nullptr;
  bool destroying = false;

  // Dialogs.
  DLGPROC dialogProc = nullptr;
  int templateDefaultId = 0;
  int defaultId = 0; // changes while a push button has the focus
  HWND lastFocus = nullptr;
  std::string fontName;
  int listRows = 0; // combo boxes: rows of the dropped list

  // Controls.
  int check = BST_UNCHECKED;
  EditField edit;
  ComboState combo;
};

// Dialog units to cells: a cell is 4 units across and 8 down. Edges are rounded
// so that a label and the control beside it share a row, as they share a line
// in the template, and extents are rounded up: 317 x 176 units are 80 x 22 cells.
RECT DialogUnitsToCells(int x, int y, int cx, int cy);
// A control's cells: its row is that of its line of text, which Windows centres
// in the height of buttons, check boxes, edits and closed combo boxes.
// A closed drop-down combo box is taken as 10 units high, as the check boxes
// beside it are: its template height includes the list.
constexpr int kClosedComboHeight = 10;
RECT ControlUnitsToCells(const std::string &className, DWORD style, int x, int y, int cx, int cy);

// The window behind a handle, or nullptr (with ERROR_INVALID_WINDOW_HANDLE).
Window *FindWindowRecord(HWND handle);
HWND CreateWindowRecord(Window window);
HWND DesktopHandle();
// Every live top-level window, oldest first.
std::vector<HWND> TopLevelWindows();
// Screen rectangle of a window, and of its client area (inside caption and frame).
RECT ScreenRect(const Window &window);
RECT ClientScreenRect(const Window &window);
// Whether a window and all its parents are visible, and enabled.
bool ReallyVisible(const Window &window);
bool ReallyEnabled(const Window &window);
HWND TopLevelOf(HWND handle);

// Focus. The window that receives keyboard input: the focus window, or the
// newest top-level window when none has the focus.
HWND KeyboardTarget();
// As the dialog manager moves the focus: an edit field has its text selected,
// and a push button that takes the focus becomes the default button.
void SetDialogFocus(HWND control);
void UpdateDefaultButton(HWND dialog, HWND focus);

// The control classes.
LRESULT CALLBACK StaticProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ButtonProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK EditProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ComboProc(HWND, UINT, WPARAM, LPARAM);
WNDPROC ClassProc(const std::string &className);

// Editing keys of a text field; true when the text changed. Shared by edits and combos.
bool EditFieldKey(Window &window, WPARAM key, bool shift);
bool EditFieldChar(Window &window, char c);
int VisibleFieldWidth(const Window &window);

// Sends WM_COMMAND with a notification code to a control's parent.
void NotifyParent(const Window &control, WORD code);

// Mouse actions on a combo box: a click on its button, a click on a list item.
void ComboToggleList(HWND combo);
void ComboChooseItem(HWND combo, int index);

// Keyboard state of the message being handled (GetKeyState).
enum Modifier : unsigned { kShift = 1, kControl = 2, kAlt = 4 };
void SetKeyModifiers(unsigned modifiers);

// Forgets every posted message and a pending quit: a new automation session
// starts with an empty queue.
void ResetMessageQueue();

// Input as the keyboard gives it: a key, the character it types (0 for none) and
// the modifiers held. Posted to the keyboard target.
void PostKeyInput(WORD virtualKey, char character, unsigned modifiers);
// Mouse input and the like: done when the message loop comes to it.
void PostInputAction(std::function<void()> action);

struct CellSize {
  int columns = 80;
  int rows = 25;
};

// What shows the windows and brings the input.
class FrontEnd {
 public:
  virtual ~FrontEnd() = default;
  // Whether windows can be shown at all.
  virtual bool Available() = 0;
  virtual CellSize ScreenSize() = 0;
  // Called by GetMessageA when no message is waiting: brings input (posting it)
  // and returns true, or returns false when no input can ever come.
  virtual bool WaitForInput() = 0;
  virtual void Beep() = 0;
  virtual void HelpRequested(const std::string &file, UINT command) = 0;
  // A window was destroyed or hidden: the front end may tidy its display.
  virtual void WindowsChanged() {}
};

FrontEnd &CurrentFrontEnd();
// An automation session takes the place of the terminal while it lives.
void SetAutomationFrontEnd(FrontEnd *frontEnd);
FrontEnd &TerminalFrontEnd();

} // namespace winapi
