// Static texts, buttons (push buttons, check boxes, group boxes) and edit fields.
#include <algorithm>

#include "window_manager.h"

namespace winapi {
namespace {

bool IsCheckBox(DWORD style) {
  DWORD type = style & BS_TYPEMASK;
  return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE || type == BS_AUTO3STATE;
}

void Click(Window &button) {
  if (!ReallyEnabled(button)) return;
  DWORD type = button.style & BS_TYPEMASK;
  if (type == BS_AUTOCHECKBOX) button.check = button.check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
  if (type == BS_AUTO3STATE) button.check = (button.check + 1) % 3;
  NotifyParent(button, BN_CLICKED);
}

int SelectionStart(const EditField &e) { return std::min(e.caret, e.anchor); }
int SelectionEnd(const EditField &e) { return std::max(e.caret, e.anchor); }

void DeleteSelection(Window &w) {
  int start = SelectionStart(w.edit), end = SelectionEnd(w.edit);
  w.text.erase(static_cast<size_t>(start), static_cast<size_t>(end - start));
  w.edit.caret = w.edit.anchor = start;
}

} // namespace

int VisibleFieldWidth(const Window &window) {
  int width = window.rect.right - window.rect.left;
  if (window.className == "COMBOBOX") width -= 1; // the drop-down button
  return std::max(width, 1);
}

bool EditFieldKey(Window &w, WPARAM key, bool shift) {
  EditField &e = w.edit;
  int length = static_cast<int>(w.text.size());
  e.caret = std::clamp(e.caret, 0, length);
  e.anchor = std::clamp(e.anchor, 0, length);
  switch (key) {
    case VK_LEFT:
      e.caret = std::max(e.caret - 1, 0);
      break;
    case VK_RIGHT:
      e.caret = std::min(e.caret + 1, length);
      break;
    case VK_HOME:
      e.caret = 0;
      break;
    case VK_END:
      e.caret = length;
      break;
    case VK_DELETE:
      if (w.style & ES_READONLY) return false;
      if (e.caret == e.anchor) {
        if (e.caret >= length) return false;
        w.text.erase(static_cast<size_t>(e.caret), 1);
      } else {
        DeleteSelection(w);
      }
      return true;
    default:
      return false;
  }
  if (!shift) e.anchor = e.caret;
  return false;
}

bool EditFieldChar(Window &w, char c) {
  EditField &e = w.edit;
  if ((w.className == "EDIT" && (w.style & ES_READONLY))) return false;
  int length = static_cast<int>(w.text.size());
  e.caret = std::clamp(e.caret, 0, length);
  e.anchor = std::clamp(e.anchor, 0, length);
  if (c == '\b') {
    if (e.caret != e.anchor) {
      DeleteSelection(w);
    } else if (e.caret > 0) {
      w.text.erase(static_cast<size_t>(e.caret - 1), 1);
      e.caret = e.anchor = e.caret - 1;
    } else {
      return false;
    }
    return true;
  }
  if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
  int kept = length - (SelectionEnd(e) - SelectionStart(e));
  // Without automatic scrolling a field takes no more than it can show.
  int limit = e.limit > 0 ? e.limit : VisibleFieldWidth(w);
  if (!(w.style & (w.className == "COMBOBOX" ? CBS_AUTOHSCROLL : ES_AUTOHSCROLL)) && kept >= limit) {
    MessageBeep(MB_OK);
    return false;
  }
  DeleteSelection(w);
  w.text.insert(static_cast<size_t>(e.caret), 1, c);
  e.caret = e.anchor = e.caret + 1;
  return true;
}

LRESULT CALLBACK StaticProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_GETDLGCODE) return DLGC_STATIC;
  return DefWindowProcA(hWnd, msg, wParam, lParam);
}

LRESULT CALLBACK ButtonProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Window *w = FindWindowRecord(hWnd);
  if (w == nullptr) return 0;
  DWORD type = w->style & BS_TYPEMASK;
  switch (msg) {
    case WM_GETDLGCODE:
      if (type == BS_GROUPBOX) return DLGC_STATIC;
      if (type == BS_DEFPUSHBUTTON) return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
      if (type == BS_PUSHBUTTON) return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
      return DLGC_BUTTON;
    case BM_GETCHECK:
      return IsCheckBox(w->style) ? w->check : BST_UNCHECKED;
    case BM_SETCHECK:
      if (IsCheckBox(w->style)) w->check = static_cast<int>(wParam) & 3;
      return 0;
    case BM_SETSTYLE:
      w->style = (w->style & ~0xFFFFUL) | (static_cast<DWORD>(wParam) & 0xFFFF);
      return 0;
    case BM_CLICK:
      Click(*w);
      return 0;
    case WM_KEYDOWN:
      if (wParam == VK_SPACE && type != BS_GROUPBOX) Click(*w);
      return 0;
    case WM_CHAR:
      return 0;
    case WM_LBUTTONUP:
      if (type != BS_GROUPBOX) Click(*w);
      return 0;
    default:
      return DefWindowProcA(hWnd, msg, wParam, lParam);
  }
}

LRESULT CALLBACK EditProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Window *w = FindWindowRecord(hWnd);
  if (w == nullptr) return 0;
  switch (msg) {
    case WM_GETDLGCODE:
      return DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
    case WM_KEYDOWN:
      if (EditFieldKey(*w, wParam, GetKeyState(VK_SHIFT) < 0)) NotifyParent(*w, 0x0300 /* EN_CHANGE */);
      return 0;
    case WM_CHAR:
      if (EditFieldChar(*w, static_cast<char>(wParam))) NotifyParent(*w, 0x0300 /* EN_CHANGE */);
      return 0;
    case EM_GETSEL:
      return MAKELONG(std::min(w->edit.caret, w->edit.anchor), std::max(w->edit.caret, w->edit.anchor));
    case EM_SETSEL: {
      int length = static_cast<int>(w->text.size());
      int start = static_cast<int>(static_cast<INT_PTR>(wParam)), end = static_cast<int>(lParam);
      if (start < 0) {
        start = end = w->edit.caret;
      }
      if (end < 0 || end > length) end = length;
      w->edit.anchor = std::clamp(start, 0, length);
      w->edit.caret = std::clamp(end, 0, length);
      return 0;
    }
    case EM_LIMITTEXT:
      w->edit.limit = static_cast<int>(wParam);
      return 0;
    case EM_SETREADONLY:
      if (wParam) {
        w->style |= ES_READONLY;
      } else {
        w->style &= ~ES_READONLY;
      }
      return TRUE;
    default:
      return DefWindowProcA(hWnd, msg, wParam, lParam);
  }
}

} // namespace winapi
