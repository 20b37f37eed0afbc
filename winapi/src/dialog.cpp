// Dialogs: creation from a template, the dialog manager's keyboard interface and
// the dialog-item calls.
#include <algorithm>
#include <cstring>

#include "resource_script.h"
#include "window_manager.h"

namespace winapi {

RECT DialogUnitsToCells(int x, int y, int cx, int cy) {
  auto floorDiv = [](int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); };
  RECT r;
  r.left = floorDiv(x + 1, 4);
  r.top = floorDiv(y + 5, 8);
  r.right = r.left + std::max(1, (cx + 3) / 4);
  r.bottom = r.top + std::max(1, (cy + 7) / 8);
  return r;
}

RECT ControlUnitsToCells(const std::string &className, DWORD style, int x, int y, int cx, int cy) {
  // Windows centres a control's one line of text (8 units) in its height, except
  // in static text and group boxes, which write it at their top. The row is taken
  // from that line, so that controls on one line of the dialog share a row: a
  // check box 10 units high at y 34 has its text at 35, beside a label at 35.
  int textTop = y;
  bool centred =
      className == "COMBOBOX" || className == "EDIT" || (className == "BUTTON" && (style & BS_TYPEMASK) != BS_GROUPBOX);
  if (centred) {
    int height = className == "COMBOBOX" ? kClosedComboHeight : cy; // a combo's cy includes its list
    textTop += std::max(0, (height - 8) / 2);
  }
  return DialogUnitsToCells(x, textTop, cx, cy);
}

namespace {

constexpr int kMinimumListRows = 6;

bool IsPushButton(const Window &w) {
  DWORD type = w.style & BS_TYPEMASK;
  return w.className == "BUTTON" && (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON);
}

bool CanTakeFocus(const Window &w) {
  // The control's own state: the dialog itself may not be shown yet.
  return (w.style & WS_TABSTOP) && (w.style & WS_VISIBLE) && !(w.style & WS_DISABLED);
}

// The next (or previous) control in tab order after the given one, wrapping.
HWND NextTabStop(Window &dialog, HWND from, bool backwards) {
  const std::vector<HWND> &items = dialog.children;
  int count = static_cast<int>(items.size());
  if (count == 0) return nullptr;
  int start = static_cast<int>(std::find(items.begin(), items.end(), from) - items.begin());
  if (start >= count) start = backwards ? 0 : count - 1;
  for (int n = 1; n <= count; ++n) {
    int i = backwards ? (start - n + count * 2) % count : (start + n) % count;
    Window *w = FindWindowRecord(items[static_cast<size_t>(i)]);
    if (w && CanTakeFocus(*w)) return w->handle;
  }
  return nullptr;
}

} // namespace

// A push button that has the focus is the default button while it keeps it.
void UpdateDefaultButton(HWND dialogHandle, HWND focus) {
  Window *dialogRecord = FindWindowRecord(dialogHandle);
  if (dialogRecord == nullptr || dialogRecord->className != "#32770") return;
  Window &dialog = *dialogRecord;
  Window *focused = FindWindowRecord(focus);
  int wanted = (focused && IsPushButton(*focused)) ? focused->id : dialog.templateDefaultId;
  dialog.defaultId = wanted;
  for (HWND h : dialog.children) {
    Window *w = FindWindowRecord(h);
    if (w == nullptr || !IsPushButton(*w)) continue;
    DWORD type = w->id == wanted ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
    w->style = (w->style & ~BS_TYPEMASK) | type;
  }
}

namespace {

void MoveFocus(Window &dialog, bool backwards) {
  HWND next = NextTabStop(dialog, GetFocus(), backwards);
  if (next == nullptr) return;
  SetDialogFocus(next);
}

void SendCommand(HWND dialog, int id) {
  HWND control = GetDlgItem(dialog, id);
  Window *w = FindWindowRecord(control);
  if (w != nullptr && !ReallyEnabled(*w)) return; // a disabled button cannot be pressed
  SendMessageA(dialog, WM_COMMAND, MAKELONG(id, BN_CLICKED), reinterpret_cast<LPARAM>(control));
}

// The window procedure of every dialog: the dialog procedure first, then the
// dialog manager's own handling of what it left alone.
LRESULT CALLBACK DialogWindowProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Window *dialog = FindWindowRecord(hWnd);
  if (dialog == nullptr) return 0;
  INT_PTR handled = dialog->dialogProc ? dialog->dialogProc(hWnd, msg, wParam, lParam) : 0;
  if (msg == WM_INITDIALOG) return handled;
  if (handled != 0 || !IsWindow(hWnd)) return 0;
  dialog = FindWindowRecord(hWnd);
  switch (msg) {
    case WM_CLOSE: // closing a dialog means pressing its Cancel button
      PostMessageA(hWnd, WM_COMMAND, MAKELONG(IDCANCEL, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(hWnd, IDCANCEL)));
      return 0;
    case DM_GETDEFID:
      return dialog->defaultId ? MAKELONG(dialog->defaultId, DC_HASDEFID) : 0;
    case DM_SETDEFID:
      dialog->templateDefaultId = static_cast<int>(wParam);
      UpdateDefaultButton(hWnd, GetFocus());
      return TRUE;
    case WM_SETFOCUS:
      if (dialog->lastFocus && IsWindow(dialog->lastFocus)) SetFocus(dialog->lastFocus);
      return 0;
    default:
      return DefWindowProcA(hWnd, msg, wParam, lParam);
  }
}

bool IsInside(HWND dialog, HWND window) {
  for (HWND h = window; h != nullptr;) {
    if (h == dialog) return true;
    Window *w = FindWindowRecord(h);
    if (w == nullptr) return false;
    h = w->parent;
  }
  return false;
}

} // namespace
} // namespace winapi

using winapi::FindWindowRecord;
using winapi::Window;

extern "C" {

HWND WINAPI CreateDialogParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent, DLGPROC lpDialogFunc,
                               LPARAM dwInitParam) {
  const winapi::ResourceScript *script = winapi::ModuleResources(reinterpret_cast<HMODULE>(hInstance));
  if (script == nullptr) {
    SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return nullptr;
  }
  if (!IS_INTRESOURCE(lpTemplateName) ||
      !script->dialogs.count(static_cast<WORD>(reinterpret_cast<ULONG_PTR>(lpTemplateName)))) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  if (!winapi::CurrentFrontEnd().Available()) { // no terminal and no automation: nowhere to show it
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  if (hWndParent != nullptr && FindWindowRecord(hWndParent) == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  const winapi::DialogTemplate &tpl =
      script->dialogs.at(static_cast<WORD>(reinterpret_cast<ULONG_PTR>(lpTemplateName)));

  Window dialog;
  dialog.className = "#32770";
  dialog.style = tpl.style & ~WS_VISIBLE; // shown after WM_INITDIALOG
  dialog.exStyle = tpl.exStyle;
  dialog.parent = hWndParent;
  dialog.text = tpl.caption;
  dialog.fontName = tpl.fontName;
  dialog.proc = winapi::DialogWindowProc;
  dialog.dialogProc = lpDialogFunc;
  RECT cells = winapi::DialogUnitsToCells(tpl.x, tpl.y, tpl.cx, tpl.cy);
  if (tpl.style & WS_CAPTION) cells.bottom += 2; // caption row and frame row
  dialog.rect = cells;
  HWND hDlg = winapi::CreateWindowRecord(std::move(dialog));

  for (const winapi::DialogItemTemplate &item : tpl.items) {
    Window control;
    control.className = item.className;
    control.style = item.style;
    control.exStyle = item.exStyle;
    control.id = item.id;
    control.parent = hDlg;
    control.text = item.text;
    control.proc = winapi::ClassProc(item.className);
    if (control.proc == nullptr) { // a class this window manager does not know
      DestroyWindow(hDlg);
      SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
      return nullptr;
    }
    control.rect = winapi::ControlUnitsToCells(item.className, item.style, item.x, item.y, item.cx, item.cy);
    if (item.className == "COMBOBOX") {
      control.listRows = std::max<int>(winapi::kMinimumListRows, (item.cy - 12) / 8);
      control.rect.bottom = control.rect.top + 1; // the closed box; the list drops over the others
      control.text.clear();
    }
    if (item.className == "BUTTON" && (item.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
      FindWindowRecord(hDlg)->templateDefaultId = item.id;
      FindWindowRecord(hDlg)->defaultId = item.id;
    }
    winapi::CreateWindowRecord(std::move(control));
  }

  if (tpl.style & DS_SETFONT) SendMessageA(hDlg, WM_SETFONT, 0, FALSE);
  Window *record = FindWindowRecord(hDlg);
  HWND first = winapi::NextTabStop(*record, nullptr, false);
  LRESULT setFocus = SendMessageA(hDlg, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), dwInitParam);
  if (!IsWindow(hDlg)) return nullptr; // the dialog procedure destroyed it
  record = FindWindowRecord(hDlg);
  if (setFocus) {
    HWND target = winapi::NextTabStop(*record, nullptr, false);
    if (target) {
      winapi::SetDialogFocus(target);
    }
  }
  if (tpl.style & WS_VISIBLE) ShowWindow(hDlg, SW_SHOWNORMAL);
  return hDlg;
}

BOOL WINAPI IsDialogMessageA(HWND hDlg, LPMSG lpMsg) {
  Window *dialog = FindWindowRecord(hDlg);
  if (dialog == nullptr || lpMsg == nullptr || !winapi::IsInside(hDlg, lpMsg->hwnd)) return FALSE;
  if (lpMsg->message == WM_KEYDOWN) {
    LRESULT code = SendMessageA(lpMsg->hwnd, WM_GETDLGCODE, lpMsg->wParam, reinterpret_cast<LPARAM>(lpMsg));
    if (!(code & DLGC_WANTMESSAGE)) {
      switch (lpMsg->wParam) {
        case VK_TAB:
          if (code & DLGC_WANTTAB) break;
          winapi::MoveFocus(*dialog, GetKeyState(VK_SHIFT) < 0);
          return TRUE;
        case VK_LEFT:
        case VK_UP:
        case VK_RIGHT:
        case VK_DOWN:
          if (code & DLGC_WANTARROWS) break;
          winapi::MoveFocus(*dialog, lpMsg->wParam == VK_LEFT || lpMsg->wParam == VK_UP);
          return TRUE;
        case VK_ESCAPE:
          winapi::SendCommand(hDlg, IDCANCEL);
          return TRUE;
        case VK_RETURN: {
          LRESULT def = SendMessageA(hDlg, DM_GETDEFID, 0, 0);
          winapi::SendCommand(hDlg, HIWORD(def) == DC_HASDEFID ? LOWORD(def) : IDOK);
          return TRUE;
        }
        default:
          break;
      }
    }
  }
  TranslateMessage(lpMsg);
  DispatchMessageA(lpMsg);
  return TRUE;
}

HWND WINAPI GetDlgItem(HWND hDlg, int nIDDlgItem) {
  Window *dialog = FindWindowRecord(hDlg);
  if (dialog == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  for (HWND h : dialog->children) {
    Window *w = FindWindowRecord(h);
    if (w && w->id == nIDDlgItem) return h;
  }
  SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
  return nullptr;
}

UINT WINAPI GetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPSTR lpString, int cchMax) {
  HWND item = GetDlgItem(hDlg, nIDDlgItem);
  if (item == nullptr) {
    if (lpString && cchMax > 0) lpString[0] = '\0';
    return 0;
  }
  return static_cast<UINT>(SendMessageA(item, WM_GETTEXT, cchMax, reinterpret_cast<LPARAM>(lpString)));
}

BOOL WINAPI SetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPCSTR lpString) {
  HWND item = GetDlgItem(hDlg, nIDDlgItem);
  if (item == nullptr) return FALSE;
  return static_cast<BOOL>(SendMessageA(item, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpString)));
}

UINT WINAPI IsDlgButtonChecked(HWND hDlg, int nIDButton) {
  HWND item = GetDlgItem(hDlg, nIDButton);
  if (item == nullptr) return 0;
  return static_cast<UINT>(SendMessageA(item, BM_GETCHECK, 0, 0));
}

BOOL WINAPI CheckDlgButton(HWND hDlg, int nIDButton, UINT uCheck) {
  HWND item = GetDlgItem(hDlg, nIDButton);
  if (item == nullptr) return FALSE;
  SendMessageA(item, BM_SETCHECK, uCheck, 0);
  return TRUE;
}

LRESULT WINAPI SendDlgItemMessageA(HWND hDlg, int nIDDlgItem, UINT Msg, WPARAM wParam, LPARAM lParam) {
  HWND item = GetDlgItem(hDlg, nIDDlgItem);
  if (item == nullptr) return 0;
  return SendMessageA(item, Msg, wParam, lParam);
}

} // extern "C"
