// Drop-down combo boxes: an edit field over a list that may be kept sorted.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "window_manager.h"

namespace winapi {
namespace {

int CompareNoCase(const std::string &a, const std::string &b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    int ca = std::toupper(static_cast<unsigned char>(a[i])), cb = std::toupper(static_cast<unsigned char>(b[i]));
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool StartsWithNoCase(const std::string &item, const std::string &prefix) {
  return item.size() >= prefix.size() && CompareNoCase(item.substr(0, prefix.size()), prefix) == 0;
}

// The search of CB_FINDSTRING and CB_SELECTSTRING: the items after start, then
// from the first item round to start; the empty text matches nothing.
int Find(const ComboState &combo, int start, const std::string &text, bool exact) {
  int count = static_cast<int>(combo.items.size());
  if (text.empty() || count == 0) return CB_ERR;
  if (start < -1 || start >= count) start = -1;
  for (int n = 1; n <= count; ++n) {
    int i = (start + n) % count;
    const std::string &item = combo.items[static_cast<size_t>(i)];
    if (exact ? CompareNoCase(item, text) == 0 : StartsWithNoCase(item, text)) return i;
  }
  return CB_ERR;
}

void ShowSelection(Window &w) {
  ComboState &c = w.combo;
  w.text = c.selection >= 0 ? c.items[static_cast<size_t>(c.selection)] : std::string();
  // As on Windows: the new text is selected only while the combo box has the focus;
  // otherwise the caret stands before it, so that typing inserts there.
  bool focused = GetFocus() == w.handle;
  w.edit.anchor = 0;
  w.edit.caret = focused ? static_cast<int>(w.text.size()) : 0;
}

int Insert(Window &w, int index, const char *text) {
  ComboState &c = w.combo;
  std::string item = text ? text : "";
  int count = static_cast<int>(c.items.size());
  if (index < 0 || index > count) index = count;
  c.items.insert(c.items.begin() + index, item);
  if (c.selection >= index) ++c.selection;
  return index;
}

// The place of a new item in a sorted list, found as Windows' list box finds it:
// a binary search that stops at an equal item and puts the new one before it.
int SortedPosition(const ComboState &c, const std::string &item) {
  int low = 0, high = static_cast<int>(c.items.size());
  while (low != high) {
    int middle = (low + high) / 2;
    int order = CompareNoCase(item, c.items[static_cast<size_t>(middle)]);
    if (order == 0) return middle;
    if (order < 0) {
      high = middle;
    } else {
      low = middle + 1;
    }
  }
  return low;
}

void ScrollToHighlight(Window &w) {
  ComboState &c = w.combo;
  int rows = std::max(w.listRows, 1);
  if (c.highlight < 0) return;
  if (c.highlight < c.top) c.top = c.highlight;
  if (c.highlight >= c.top + rows) c.top = c.highlight - rows + 1;
}

void Drop(Window &w, bool drop) {
  ComboState &c = w.combo;
  if (c.dropped == drop) return;
  if (drop) {
    NotifyParent(w, CBN_DROPDOWN);
    c.dropped = true;
    c.highlight = c.selection >= 0 ? c.selection : Find(c, -1, w.text, false);
    c.top = 0;
    ScrollToHighlight(w);
  } else {
    c.dropped = false;
    NotifyParent(w, CBN_CLOSEUP);
  }
}

// The user moved the selection with a key or the mouse.
void UserSelect(Window &w, int index) {
  ComboState &c = w.combo;
  int count = static_cast<int>(c.items.size());
  if (count == 0) return;
  index = std::clamp(index, 0, count - 1);
  bool changed = index != c.selection || w.text != c.items[static_cast<size_t>(index)];
  c.selection = index;
  c.highlight = index;
  ShowSelection(w);
  ScrollToHighlight(w);
  if (changed) NotifyParent(w, CBN_SELCHANGE);
}

// Typing into the field. With the list closed the text is no selection, even
// when it equals an item. With the list open, the first item that the text
// begins (without regard to case) becomes the selection, and stays it when Enter
// or Escape closes the list; the field keeps the text as typed ("0x2" with
// 0x200 selected), and text that begins no item selects nothing.
void UserEdited(Window &w) {
  ComboState &c = w.combo;
  c.selection = -1;
  if (c.dropped) {
    c.highlight = c.selection = Find(c, -1, w.text, false);
    ScrollToHighlight(w);
  }
  NotifyParent(w, CBN_EDITUPDATE);
  NotifyParent(w, CBN_EDITCHANGE);
}

} // namespace

LRESULT CALLBACK ComboProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Window *w = FindWindowRecord(hWnd);
  if (w == nullptr) return 0;
  ComboState &c = w->combo;
  int count = static_cast<int>(c.items.size());
  const char *text = reinterpret_cast<const char *>(lParam);
  switch (msg) {
    case CB_ADDSTRING:
      if (w->style & CBS_SORT) return Insert(*w, SortedPosition(c, text ? text : ""), text);
      return Insert(*w, -1, text);
    case CB_INSERTSTRING:
      return Insert(*w, static_cast<int>(static_cast<INT_PTR>(wParam)), text);
    case CB_DELETESTRING: {
      int index = static_cast<int>(static_cast<INT_PTR>(wParam));
      if (index < 0 || index >= count) return CB_ERR;
      c.items.erase(c.items.begin() + index);
      if (c.selection == index) {
        c.selection = -1;
      } else if (c.selection > index) {
        --c.selection;
      }
      return static_cast<LRESULT>(c.items.size());
    }
    case CB_RESETCONTENT:
      c.items.clear();
      c.selection = c.highlight = -1;
      c.top = 0;
      w->text.clear();
      w->edit.caret = w->edit.anchor = 0;
      return CB_OKAY;
    case CB_GETCOUNT:
      return count;
    case CB_GETCURSEL:
      return c.selection;
    case CB_SETCURSEL: {
      int index = static_cast<int>(static_cast<INT_PTR>(wParam));
      bool valid = index >= 0 && index < count;
      c.selection = valid ? index : -1;
      c.highlight = c.selection;
      ShowSelection(*w);
      ScrollToHighlight(*w);
      return valid ? index : CB_ERR;
    }
    case CB_GETLBTEXT: {
      int index = static_cast<int>(static_cast<INT_PTR>(wParam));
      char *buffer = reinterpret_cast<char *>(lParam);
      if (index < 0 || index >= count || buffer == nullptr) return CB_ERR;
      const std::string &item = c.items[static_cast<size_t>(index)];
      std::memcpy(buffer, item.c_str(), item.size() + 1);
      return static_cast<LRESULT>(item.size());
    }
    case CB_GETLBTEXTLEN: {
      int index = static_cast<int>(static_cast<INT_PTR>(wParam));
      if (index < 0 || index >= count) return CB_ERR;
      return static_cast<LRESULT>(c.items[static_cast<size_t>(index)].size());
    }
    case CB_FINDSTRING:
    case CB_FINDSTRINGEXACT:
      return Find(c, static_cast<int>(static_cast<INT_PTR>(wParam)), text ? text : "", msg == CB_FINDSTRINGEXACT);
    case CB_SELECTSTRING: {
      int found = Find(c, static_cast<int>(static_cast<INT_PTR>(wParam)), text ? text : "", false);
      if (found == CB_ERR) return CB_ERR; // the selection stays as it was
      c.selection = c.highlight = found;
      ShowSelection(*w);
      ScrollToHighlight(*w);
      return found;
    }
    case CB_SHOWDROPDOWN:
      Drop(*w, wParam != 0);
      return TRUE;
    case CB_GETDROPPEDSTATE:
      return c.dropped;
    case CB_LIMITTEXT:
      w->edit.limit = static_cast<int>(wParam);
      return TRUE;
    case CB_GETEDITSEL:
      return MAKELONG(std::min(w->edit.caret, w->edit.anchor), std::max(w->edit.caret, w->edit.anchor));
    case CB_SETEDITSEL:
      return SendMessageA(hWnd, EM_SETSEL, static_cast<WPARAM>(static_cast<SHORT>(LOWORD(lParam))),
                          static_cast<SHORT>(HIWORD(lParam)));
    case EM_SETSEL:
      return EditProc(hWnd, msg, wParam, lParam);
    case WM_SETTEXT: // the edit text changes; the list's selection stays
      w->text = text ? text : "";
      w->edit.caret = w->edit.anchor = 0;
      return TRUE;
    case WM_GETDLGCODE: {
      LRESULT code = DLGC_WANTCHARS | DLGC_WANTARROWS | DLGC_HASSETSEL;
      const MSG *m = reinterpret_cast<const MSG *>(lParam);
      if (c.dropped && m != nullptr && m->message == WM_KEYDOWN && (m->wParam == VK_RETURN || m->wParam == VK_ESCAPE)) {
        code |= DLGC_WANTMESSAGE; // the open list takes Enter and Escape
      }
      return code;
    }
    case WM_KILLFOCUS:
      if (c.dropped) Drop(*w, false);
      w->edit.anchor = w->edit.caret;
      return 0;
    case WM_SYSKEYDOWN:
      if (wParam == VK_DOWN || wParam == VK_UP) {
        Drop(*w, !c.dropped);
        return 0;
      }
      return DefWindowProcA(hWnd, msg, wParam, lParam);
    case WM_KEYDOWN: {
      int rows = std::max(w->listRows, 1);
      int current = c.dropped ? c.highlight : c.selection;
      switch (wParam) {
        case VK_F4:
          Drop(*w, !c.dropped);
          return 0;
        case VK_DOWN:
          UserSelect(*w, current < 0 ? 0 : current + 1);
          return 0;
        case VK_UP:
          UserSelect(*w, current < 0 ? 0 : current - 1);
          return 0;
        case VK_NEXT:
          UserSelect(*w, current < 0 ? rows - 1 : current + rows);
          return 0;
        case VK_PRIOR:
          UserSelect(*w, current < 0 ? 0 : current - rows);
          return 0;
        case VK_RETURN:
        case VK_ESCAPE:
          Drop(*w, false);
          return 0;
        default:
          if (EditFieldKey(*w, wParam, GetKeyState(VK_SHIFT) < 0)) UserEdited(*w);
          return 0;
      }
    }
    case WM_CHAR:
      if (EditFieldChar(*w, static_cast<char>(wParam))) UserEdited(*w);
      return 0;
    default:
      return DefWindowProcA(hWnd, msg, wParam, lParam);
  }
}

// A click on one item of the open list: selects it and closes the list.
void ComboChooseItem(HWND combo, int index) {
  Window *w = FindWindowRecord(combo);
  if (w == nullptr || index < 0 || index >= static_cast<int>(w->combo.items.size())) return;
  UserSelect(*w, index);
  Drop(*w, false);
}

void ComboToggleList(HWND combo) {
  if (Window *w = FindWindowRecord(combo)) Drop(*w, !w->combo.dropped);
}

} // namespace winapi
