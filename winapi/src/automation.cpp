// The automation front end: steps of a test in place of a user at the terminal.
#include <winapi/automation.h>

#include <cctype>
#include <deque>

#include "dialog_render.h"
#include "window_manager.h"

namespace winapi::automation {

struct Session::State : FrontEnd {
  CellSize size;
  std::deque<std::function<void()>> steps;
  bool ranOut = false;
  int beeps = 0;
  std::vector<HelpRequest> help;

  bool Available() override { return true; }
  CellSize ScreenSize() override { return size; }
  bool WaitForInput() override {
    if (steps.empty()) {
      ranOut = true;
      return false;
    }
    std::function<void()> step = std::move(steps.front());
    steps.pop_front();
    step();
    return true;
  }
  void Beep() override { ++beeps; }
  void HelpRequested(const std::string &file, UINT command) override { help.push_back(HelpRequest{file, command}); }
};

Session::Session(int columns, int rows) : state_(new State) {
  state_->size = CellSize{columns, rows};
  SetAutomationFrontEnd(state_);
  ResetMessageQueue();
}

Session::~Session() {
  SetAutomationFrontEnd(nullptr);
  ResetMessageQueue();
  delete state_;
}

Session &Session::Then(std::function<void()> step) {
  state_->steps.push_back(std::move(step));
  return *this;
}

size_t Session::StepsLeft() const { return state_->steps.size(); }
bool Session::RanOut() const { return state_->ranOut; }
int Session::Beeps() const { return state_->beeps; }
const std::vector<HelpRequest> &Session::HelpRequests() const { return state_->help; }

void PressKey(WORD virtualKey, unsigned modifiers) {
  char character = 0;
  switch (virtualKey) {
    case VK_RETURN:
      character = '\r';
      break;
    case VK_TAB:
      character = '\t';
      break;
    case VK_ESCAPE:
      character = 0x1B;
      break;
    case VK_BACK:
      character = '\b';
      break;
    case VK_SPACE:
      character = ' ';
      break;
    default:
      break;
  }
  PostKeyInput(virtualKey, character, modifiers);
}

void TypeText(const std::string &text) {
  for (char c : text) {
    unsigned char u = static_cast<unsigned char>(c);
    WORD vk = std::isalnum(u) ? static_cast<WORD>(std::toupper(u)) : (c == ' ' ? VK_SPACE : 0xBF /* VK_OEM_2 */);
    unsigned modifiers = std::isupper(u) ? kShift : 0;
    PostKeyInput(vk, c, modifiers);
  }
}

void FocusControl(HWND control) {
  PostInputAction([control] {
    Window *w = FindWindowRecord(control);
    if (w == nullptr || !ReallyVisible(*w) || !ReallyEnabled(*w)) return;
    SetDialogFocus(control);
  });
}

void Click(HWND control) {
  PostInputAction([control] {
    Window *w = FindWindowRecord(control);
    if (w == nullptr || !ReallyVisible(*w) || !ReallyEnabled(*w)) return;
    if (w->className == "BUTTON" && (w->style & BS_TYPEMASK) == BS_GROUPBOX) return;
    if (w->className != "STATIC") SetDialogFocus(control);
    if (w->className == "COMBOBOX") {
      ComboToggleList(control);
    } else {
      SendMessageA(control, WM_LBUTTONDOWN, 0, 0);
      SendMessageA(control, WM_LBUTTONUP, 0, 0);
    }
  });
}

void ChooseItem(HWND combo, int index) {
  PostInputAction([combo, index] {
    Window *w = FindWindowRecord(combo);
    if (w == nullptr || !w->combo.dropped) return;
    ComboChooseItem(combo, index);
  });
}

HWND ActiveDialog() {
  HWND newest = nullptr;
  for (HWND h : TopLevelWindows()) {
    Window *w = FindWindowRecord(h);
    if (w && w->className == "#32770" && (w->style & WS_VISIBLE)) newest = h;
  }
  return newest;
}

namespace {

ControlState StateOf(const Window &w) {
  ControlState s;
  s.id = w.id;
  s.className = w.className;
  s.text = w.text;
  s.style = w.style;
  s.visible = ReallyVisible(w);
  s.enabled = ReallyEnabled(w);
  s.focused = GetFocus() == w.handle;
  s.checked = w.check == BST_CHECKED;
  s.selection = w.className == "COMBOBOX" ? w.combo.selection : -1;
  s.dropped = w.combo.dropped;
  s.items = w.combo.items;
  s.rect = ScreenRect(w);
  return s;
}

} // namespace

ControlState Control(HWND dialog, int id) {
  Window *w = FindWindowRecord(GetDlgItem(dialog, id));
  return w ? StateOf(*w) : ControlState{};
}

std::vector<ControlState> Controls(HWND dialog) {
  std::vector<ControlState> result;
  if (Window *d = FindWindowRecord(dialog)) {
    for (HWND h : d->children) {
      if (Window *w = FindWindowRecord(h)) result.push_back(StateOf(*w));
    }
  }
  return result;
}

std::vector<std::string> ScreenText() {
  ScreenImage image = RenderScreen(CurrentFrontEnd().ScreenSize(), std::string());
  std::vector<std::string> rows;
  for (int y = 0; y < image.rows; ++y) rows.push_back(image.RowText(y));
  return rows;
}

} // namespace winapi::automation
