// Drop-down combo boxes as the setup dialog uses them: the order of a sorted list,
// CB_FINDSTRING and CB_SELECTSTRING, and the edit text and selection after a
// selection, after WM_SETTEXT and after typing. Needs a display under Windows and
// a terminal on POSIX hosts, where winapi's dialogs are drawn.
#include "probe.h"

static HWND g_dialog;

static INT_PTR CALLBACK ProbeDialog(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

static LRESULT Send(int id, UINT message, WPARAM wParam, LPARAM lParam) {
  return SendDlgItemMessageA(g_dialog, id, message, wParam, lParam);
}

static void Add(int id, const char* text) {
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

static void State(const char* what, int id) {
  char text[64] = "";
  GetDlgItemTextA(g_dialog, id, text, sizeof text);
  printf("%s: text \"%s\", selection %ld\n", what, text, (long)Send(id, CB_GETCURSEL, 0, 0));
}

static void Find(int id, int start, const char* text) {
  printf("find \"%s\" in %d after %d: %ld\n", text, id, start,
         (long)Send(id, CB_FINDSTRING, (WPARAM)start, (LPARAM)text));
}

static void Select(int id, int start, const char* text) {
  LRESULT result = Send(id, CB_SELECTSTRING, (WPARAM)start, (LPARAM)text);
  char what[96];
  snprintf(what, sizeof what, "select \"%s\" in %d after %d gives %ld", text, id, start, (long)result);
  State(what, id);
}

static void Type(int id, const char* text) {
  for (const char* c = text; *c; ++c) Send(id, WM_CHAR, (WPARAM)(unsigned char)*c, 1);
}

int main() {
  g_dialog = CreateDialogParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(100), NULL, ProbeDialog, 0);
  printf("create the dialog: %s\n", g_dialog ? "ok" : ProbeResult(FALSE));
  if (!g_dialog) return 1;

  const char* sorted[] = {"0x2", "0x10", "0x1", "0x101", "0x100", "WPOS/ISA", "pcmcia", "0x1"};
  for (const char* item : sorted) Add(11, item);
  Items(11);
  const char* plain[] = {"5", "10", "11", "3", "15"};
  for (const char* item : plain) Add(12, item);
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
  Send(11, WM_SETTEXT, 0, (LPARAM)"");
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

  DestroyWindow(g_dialog);
  return 0;
}
