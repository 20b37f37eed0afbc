// Drop-down combo boxes as the setup dialog uses them: the order of a sorted list,
// CB_FINDSTRING and CB_SELECTSTRING, and the edit text and selection after a
// selection, after WM_SETTEXT and after typing; keys typed while the list is open
// and the Enter or Escape that closes it. Needs a display under Windows and a
// terminal on POSIX hosts, where winapi's dialogs are drawn.
#include "probe.h"

static HWND g_dialog;

static INT_PTR CALLBACK ProbeDialog(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

static LRESULT Send(int id, UINT message, WPARAM wParam, LPARAM lParam) {
  return SendDlgItemMessageA(g_dialog, id, message, wParam, lParam);
}

static void Add(int id, const char *text) {
  printf("add \"%s\" to %d: %ld\n", text, id, (long)Send(id, CB_ADDSTRING, 0, (LPARAM)text));
}

static void Items(int id) {
  LRESULT count = Send(id, CB_GETCOUNT, 0, 0);
  printf("items of %d:", id);
  for (LRESULT i = 0; i < count; ++i) {
    char text[64] = "";
    Send(id, CB_GETLBTEXT, (WPARAM)i, (LPARAM)text);
    printf("%s %s", i ? "," : "", text);
  }
  printf(" (%ld)\n", (long)count);
}

static void State(const char *what, int id) {
  char text[64] = "";
  GetDlgItemTextA(g_dialog, id, text, sizeof text);
  printf("%s: text \"%s\", selection %ld\n", what, text, (long)Send(id, CB_GETCURSEL, 0, 0));
}

static void Find(int id, int start, const char *text) {
  printf("find \"%s\" in %d after %d: %ld\n", text, id, start,
         (long)Send(id, CB_FINDSTRING, (WPARAM)start, (LPARAM)text));
}

static void Select(int id, int start, const char *text) {
  LRESULT result = Send(id, CB_SELECTSTRING, (WPARAM)start, (LPARAM)text);
  char what[96];
  snprintf(what, sizeof what, "select \"%s\" in %d after %d gives %ld", text, id, start, (long)result);
  State(what, id);
}

static void Type(int id, const char *text) {
  for (const char *c = text; *c; ++c) Send(id, WM_CHAR, (WPARAM)(unsigned char)*c, 1);
}

// A message as the keyboard brings it: to the window with the focus (on Windows
// the combo box's edit field), through the dialog manager. What the dialog
// manager's TranslateMessage posts as a character is dropped: the probe sends the character of
// a key itself, so that both hosts see the same messages.
static void Deliver(UINT message, WPARAM key) {
  MSG msg = {};
  msg.hwnd = GetFocus();
  msg.message = message;
  msg.wParam = key;
  msg.lParam = 1;
  if (!IsDialogMessageA(g_dialog, &msg)) DispatchMessageA(&msg);
  while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
    if (msg.message != WM_CHAR) DispatchMessageA(&msg); // painting and the like
}

// A key that types a character: its key-down message, then its character.
static void Press(WPARAM key, char character) {
  Deliver(WM_KEYDOWN, key);
  Deliver(WM_CHAR, (WPARAM)(unsigned char)character);
}

static void Dropped(const char *what, int id) {
  printf("%s: list %s\n", what, Send(id, CB_GETDROPPEDSTATE, 0, 0) ? "open" : "closed");
}

// Opens the list of an empty field, types text into it and closes the list with
// a key (VK_RETURN or VK_ESCAPE).
static void TypeIntoOpenList(int id, const char *text, WPARAM closeKey) {
  char what[96];
  Send(id, CB_SETCURSEL, (WPARAM)-1, 0);
  SetFocus(GetDlgItem(g_dialog, id));
  Send(id, CB_SHOWDROPDOWN, TRUE, 0);
  for (const char *c = text; *c; ++c) Deliver(WM_CHAR, (WPARAM)(unsigned char)*c);
  snprintf(what, sizeof what, "typed \"%s\" into the open list of %d", text, id);
  State(what, id);
  Dropped(what, id);
  Press(closeKey, closeKey == VK_RETURN ? '\r' : 27);
  snprintf(what, sizeof what, "%s after \"%s\" in the open list of %d", closeKey == VK_RETURN ? "Enter" : "Escape",
           text, id);
  State(what, id);
  Dropped(what, id);
}

int main() {
  setvbuf(stdout, NULL, _IONBF, 0); // every fact up to a failure is kept
  g_dialog = CreateDialogParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(100), NULL, ProbeDialog, 0);
  printf("create the dialog: %s\n", g_dialog ? "ok" : ProbeResult(FALSE));
  if (!g_dialog) return 1;

  const char *sorted[] = {"0x2", "0x10", "0x1", "0x101", "0x100", "WPOS/ISA", "pcmcia", "0x1"};
  for (const char *item : sorted) Add(11, item);
  Items(11);
  const char *plain[] = {"5", "10", "11", "3", "15"};
  for (const char *item : plain) Add(12, item);
  Items(12);

  Find(11, -1, "0x1");
  Find(11, 0, "0x1");
  Find(11, 4, "0x1");
  Find(11, -1, "0X10");
  Find(11, -1, "PC");
  Find(11, -1, "");
  Find(11, -1, "x");
  Find(11, 99, "0x2");
  Find(12, -1, "1");
  Find(12, 2, "1");

  State("at the start", 11);
  Select(11, -1, "0x10");
  Select(11, -1, "wpos");
  Select(11, -1, "zz");
  Select(11, 6, "0x1");
  printf("set the selection to 5: %ld\n", (long)Send(11, CB_SETCURSEL, 5, 0));
  State("after CB_SETCURSEL 5", 11);
  SetDlgItemTextA(g_dialog, 11, "0x100");
  State("after SetDlgItemTextA 0x100", 11);
  Send(11, WM_SETTEXT, 0, (LPARAM) "");
  State("after WM_SETTEXT of nothing", 11);
  Type(11, "0x2");
  State("after typing 0x2", 11);
  printf("set the selection to -1: %ld\n", (long)Send(11, CB_SETCURSEL, (WPARAM)-1, 0));
  State("after CB_SETCURSEL -1", 11);
  printf("set the selection to 42: %ld\n", (long)Send(11, CB_SETCURSEL, 42, 0));
  State("after CB_SETCURSEL 42", 11);
  Send(12, CB_SETCURSEL, 1, 0);
  State("unsorted after CB_SETCURSEL 1", 12);
  Type(12, "5");
  State("unsorted after typing 5 at the start", 12);

  ShowWindow(g_dialog, SW_SHOW);
  TypeIntoOpenList(11, "0x2", VK_RETURN);
  TypeIntoOpenList(11, "0X10", VK_RETURN);
  TypeIntoOpenList(11, "zz", VK_RETURN);
  TypeIntoOpenList(11, "0x1", VK_ESCAPE);
  TypeIntoOpenList(12, "1", VK_RETURN);

  DestroyWindow(g_dialog);
  return 0;
}
