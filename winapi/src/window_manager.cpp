// Window records and the calls that work on any window.
#include "window_manager.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>

namespace winapi {
namespace {

struct WindowTable {
  std::map<HWND, std::unique_ptr<Window>> windows;
  uintptr_t nextHandle = 0x10020; // window handles are small even numbers, as on NT
  HWND desktop = nullptr;
  HWND focus = nullptr;
};

WindowTable &Table() {
  static WindowTable *table = new WindowTable; // lives as long as the process
  return *table;
}

LRESULT CALLBACK DesktopProc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcA(h, m, w, l); }

} // namespace

Window *FindWindowRecord(HWND handle) {
  WindowTable &table = Table();
  if (handle == nullptr) return nullptr;
  auto found = table.windows.find(handle);
  if (found == table.windows.end()) return nullptr;
  return found->second.get();
}

HWND CreateWindowRecord(Window window) {
  WindowTable &table = Table();
  HWND handle = reinterpret_cast<HWND>(table.nextHandle);
  table.nextHandle += 2;
  window.handle = handle;
  HWND parent = window.parent;
  table.windows[handle] = std::make_unique<Window>(std::move(window));
  if (parent != nullptr && parent != table.desktop) {
    if (Window *p = FindWindowRecord(parent)) p->children.push_back(handle);
  }
  return handle;
}

HWND DesktopHandle() {
  WindowTable &table = Table();
  if (table.desktop == nullptr) {
    Window desktop;
    desktop.className = "#32769";
    desktop.style = WS_VISIBLE | WS_POPUP;
    desktop.proc = DesktopProc;
    table.desktop = reinterpret_cast<HWND>(table.nextHandle);
    table.nextHandle += 2;
    desktop.handle = table.desktop;
    table.windows[table.desktop] = std::make_unique<Window>(std::move(desktop));
  }
  return table.desktop;
}

std::vector<HWND> TopLevelWindows() {
  WindowTable &table = Table();
  std::vector<HWND> result;
  for (auto &[handle, window] : table.windows) {
    if (handle != table.desktop && (window->parent == nullptr || window->parent == table.desktop) &&
        !window->destroying) {
      result.push_back(handle);
    }
  }
  return result; // handles grow with age, so the map's order is creation order
}

HWND TopLevelOf(HWND handle) {
  Window *window = FindWindowRecord(handle);
  while (window != nullptr && window->parent != nullptr && window->parent != Table().desktop) {
    handle = window->parent;
    window = FindWindowRecord(handle);
  }
  return window ? handle : nullptr;
}

RECT ClientScreenRect(const Window &window) {
  RECT r = ScreenRect(window);
  if (window.style & WS_CAPTION) { // a caption row above, a frame row below and a column each side
    r.top += 1;
    r.bottom -= 1;
  }
  return r;
}

RECT ScreenRect(const Window &window) {
  RECT r = window.rect;
  Window *parent = FindWindowRecord(window.parent);
  if (parent != nullptr && window.parent != Table().desktop) {
    RECT origin = ClientScreenRect(*parent);
    r.left += origin.left;
    r.right += origin.left;
    r.top += origin.top;
    r.bottom += origin.top;
  }
  return r;
}

bool ReallyVisible(const Window &window) {
  for (const Window *w = &window; w != nullptr; w = w->parent ? FindWindowRecord(w->parent) : nullptr) {
    if (!(w->style & WS_VISIBLE)) return false;
    if (w->handle == Table().desktop) break;
  }
  return true;
}

bool ReallyEnabled(const Window &window) {
  for (const Window *w = &window; w != nullptr; w = w->parent ? FindWindowRecord(w->parent) : nullptr) {
    if (w->style & WS_DISABLED) return false;
    if (w->handle == Table().desktop) break;
  }
  return true;
}

HWND KeyboardTarget() {
  WindowTable &table = Table();
  if (table.focus != nullptr && FindWindowRecord(table.focus) != nullptr) return table.focus;
  std::vector<HWND> tops = TopLevelWindows();
  for (auto it = tops.rbegin(); it != tops.rend(); ++it) {
    Window *w = FindWindowRecord(*it);
    if (w && (w->style & WS_VISIBLE)) return *it;
  }
  return nullptr;
}

void SetDialogFocus(HWND control) {
  SetFocus(control);
  if (Window *w = FindWindowRecord(control)) {
    if (SendMessageA(control, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) {
      w->edit.anchor = 0;
      w->edit.caret = static_cast<int>(w->text.size());
    }
    UpdateDefaultButton(TopLevelOf(control), control);
  }
}

void NotifyParent(const Window &control, WORD code) {
  if (control.parent != nullptr && control.parent != Table().desktop) {
    SendMessageA(control.parent, WM_COMMAND, MAKELONG(control.id, code), reinterpret_cast<LPARAM>(control.handle));
  }
}

WNDPROC ClassProc(const std::string &className) {
  if (className == "STATIC") return StaticProc;
  if (className == "BUTTON") return ButtonProc;
  if (className == "EDIT") return EditProc;
  if (className == "COMBOBOX") return ComboProc;
  return nullptr;
}

namespace {

void DestroyTree(HWND handle, std::vector<HWND> &order) {
  Window *window = FindWindowRecord(handle);
  if (window == nullptr || window->destroying) return;
  window->destroying = true;
  order.push_back(handle);
  SendMessageA(handle, WM_DESTROY, 0, 0); // the parent hears it before its children
  window = FindWindowRecord(handle);
  if (window == nullptr) return;
  std::vector<HWND> children = window->children;
  for (HWND child : children) DestroyTree(child, order);
}

} // namespace
} // namespace winapi

using winapi::FindWindowRecord;
using winapi::Window;

namespace {

Window *Valid(HWND handle) {
  Window *window = FindWindowRecord(handle);
  if (window == nullptr) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return window;
}

} // namespace

extern "C" {

BOOL WINAPI IsWindow(HWND hWnd) {
  Window *w = FindWindowRecord(hWnd);
  return w != nullptr && !w->destroying;
}

BOOL WINAPI DestroyWindow(HWND hWnd) {
  Window *window = Valid(hWnd);
  if (window == nullptr || hWnd == winapi::DesktopHandle()) return FALSE;
  if (window->destroying) return TRUE;
  winapi::WindowTable &table = winapi::Table();
  window->style &= ~WS_VISIBLE;
  std::vector<HWND> order;
  winapi::DestroyTree(hWnd, order);
  for (auto it = order.rbegin(); it != order.rend(); ++it) SendMessageA(*it, WM_NCDESTROY, 0, 0);
  for (HWND h : order) {
    if (table.focus == h) table.focus = nullptr;
  }
  if (Window *w = FindWindowRecord(hWnd)) {
    if (Window *parent = FindWindowRecord(w->parent)) {
      auto &siblings = parent->children;
      siblings.erase(std::remove(siblings.begin(), siblings.end(), hWnd), siblings.end());
    }
  }
  for (HWND h : order) table.windows.erase(h);
  winapi::CurrentFrontEnd().WindowsChanged();
  return TRUE;
}

BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow) {
  Window *window = Valid(hWnd);
  if (window == nullptr) return FALSE;
  BOOL wasVisible = (window->style & WS_VISIBLE) != 0;
  bool show = nCmdShow != SW_HIDE;
  if (show != static_cast<bool>(wasVisible)) {
    if (show) {
      window->style |= WS_VISIBLE;
    } else {
      window->style &= ~WS_VISIBLE;
    }
    SendMessageA(hWnd, WM_SHOWWINDOW, show, 0);
    if (!show) winapi::CurrentFrontEnd().WindowsChanged();
  }
  return wasVisible;
}

BOOL WINAPI IsWindowVisible(HWND hWnd) {
  Window *window = FindWindowRecord(hWnd);
  return window != nullptr && winapi::ReallyVisible(*window);
}

BOOL WINAPI EnableWindow(HWND hWnd, BOOL bEnable) {
  Window *window = Valid(hWnd);
  if (window == nullptr) return FALSE;
  BOOL wasDisabled = (window->style & WS_DISABLED) != 0;
  if (bEnable) {
    window->style &= ~WS_DISABLED;
  } else {
    window->style |= WS_DISABLED;
    if (winapi::Table().focus == hWnd) SetFocus(nullptr); // a disabled window cannot keep the focus
    if (window->combo.dropped) window->combo.dropped = false;
  }
  if (static_cast<bool>(wasDisabled) == static_cast<bool>(bEnable)) SendMessageA(hWnd, WM_ENABLE, bEnable, 0);
  return wasDisabled;
}

BOOL WINAPI IsWindowEnabled(HWND hWnd) {
  Window *window = FindWindowRecord(hWnd);
  return window != nullptr && !(window->style & WS_DISABLED);
}

BOOL WINAPI SetWindowPos(HWND hWnd, HWND, int X, int Y, int cx, int cy, UINT uFlags) {
  Window *window = Valid(hWnd);
  if (window == nullptr) return FALSE;
  RECT &r = window->rect;
  if (!(uFlags & SWP_NOMOVE)) {
    LONG width = r.right - r.left, height = r.bottom - r.top;
    r.left = X;
    r.top = Y;
    r.right = X + width;
    r.bottom = Y + height;
  }
  if (!(uFlags & SWP_NOSIZE)) {
    r.right = r.left + std::max(cx, 0);
    r.bottom = r.top + std::max(cy, 0);
  }
  if (uFlags & SWP_SHOWWINDOW) ShowWindow(hWnd, SW_SHOWNA);
  if (uFlags & SWP_HIDEWINDOW) ShowWindow(hWnd, SW_HIDE);
  return TRUE;
}

BOOL WINAPI GetWindowRect(HWND hWnd, LPRECT lpRect) {
  Window *window = Valid(hWnd);
  if (window == nullptr || lpRect == nullptr) return FALSE;
  *lpRect = winapi::ScreenRect(*window);
  return TRUE;
}

int WINAPI GetSystemMetrics(int nIndex) {
  winapi::CellSize size = winapi::CurrentFrontEnd().ScreenSize();
  switch (nIndex) {
    case SM_CXSCREEN:
      return size.columns;
    case SM_CYSCREEN:
      return size.rows;
    default:
      return 0;
  }
}

HWND WINAPI GetDesktopWindow(void) {
  HWND desktop = winapi::DesktopHandle();
  winapi::CellSize size = winapi::CurrentFrontEnd().ScreenSize();
  FindWindowRecord(desktop)->rect = RECT{0, 0, size.columns, size.rows};
  return desktop;
}

HWND WINAPI GetParent(HWND hWnd) {
  Window *window = Valid(hWnd);
  if (window == nullptr) return nullptr;
  return window->parent;
}

HWND WINAPI GetFocus(void) { return winapi::Table().focus; }

HWND WINAPI SetFocus(HWND hWnd) {
  winapi::WindowTable &table = winapi::Table();
  HWND previous = table.focus;
  if (hWnd != nullptr) {
    Window *window = Valid(hWnd);
    if (window == nullptr || (window->style & WS_DISABLED)) return nullptr;
  }
  if (hWnd == previous) return previous;
  table.focus = hWnd;
  if (previous != nullptr && FindWindowRecord(previous))
    SendMessageA(previous, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hWnd), 0);
  if (hWnd != nullptr) {
    SendMessageA(hWnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0);
    HWND top = winapi::TopLevelOf(hWnd);
    if (Window *dialog = FindWindowRecord(top); dialog && top != hWnd) dialog->lastFocus = hWnd;
  }
  return previous;
}

int WINAPI GetDlgCtrlID(HWND hWnd) {
  Window *window = Valid(hWnd);
  return window ? window->id : 0;
}

int WINAPI GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount) {
  return static_cast<int>(SendMessageA(hWnd, WM_GETTEXT, nMaxCount, reinterpret_cast<LPARAM>(lpString)));
}

BOOL WINAPI SetWindowTextA(HWND hWnd, LPCSTR lpString) {
  return static_cast<BOOL>(SendMessageA(hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpString)));
}

LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  Window *window = Valid(hWnd);
  if (window == nullptr || window->proc == nullptr) return 0;
  return window->proc(hWnd, Msg, wParam, lParam);
}

LRESULT WINAPI DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  Window *window = FindWindowRecord(hWnd);
  if (window == nullptr) return 0;
  switch (Msg) {
    case WM_CLOSE:
      DestroyWindow(hWnd);
      return 0;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_CLOSE) SendMessageA(hWnd, WM_CLOSE, 0, 0);
      return 0;
    case WM_SYSKEYDOWN:
      if (wParam == VK_F4) { // Alt+F4 closes the top-level window, through its window menu
        PostMessageA(winapi::TopLevelOf(hWnd), WM_SYSCOMMAND, SC_CLOSE, 0);
      }
      return 0;
    case WM_SETTEXT: {
      const char *text = reinterpret_cast<const char *>(lParam);
      window->text = text ? text : "";
      window->edit.caret = window->edit.anchor = 0;
      return TRUE;
    }
    case WM_GETTEXT: {
      char *buffer = reinterpret_cast<char *>(lParam);
      if (buffer == nullptr || wParam == 0) return 0;
      size_t length = std::min(window->text.size(), static_cast<size_t>(wParam - 1));
      std::memcpy(buffer, window->text.data(), length);
      buffer[length] = '\0';
      return static_cast<LRESULT>(length);
    }
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(window->text.size());
    default:
      return 0;
  }
}

} // extern "C"
