// cvsetup-keys MODE KEY...: cvsetup-host with a keyboard. Loads cvsetup, calls
// DoDialog with MODE, and from a second thread waits for the dialog and types
// the keys into its focused control, one after the other; then prints the result
// text and a line feed as cvsetup-host does. Keys are Tab, Enter, Escape, Space,
// BSpace, or a text whose characters are typed as they are.
#include <windows.h>

#include <stdio.h>
#include <string.h>

typedef BOOL(WINAPI *DODIALOG_PROC)(DWORD count, LPSTR *args, LPSTR *textOut);

static const char Caption[] = "Veltrane Systems Corvane NT Installation";

typedef struct KEYS {
  int Count;
  char **Names;
  DWORD DialogThread;
} KEYS;

// The dialog manager handles these through WM_KEYDOWN to the focused control.
static UINT NamedKey(const char *name) {
  if (strcmp(name, "Tab") == 0) return VK_TAB;
  if (strcmp(name, "Enter") == 0) return VK_RETURN;
  if (strcmp(name, "Escape") == 0) return VK_ESCAPE;
  if (strcmp(name, "Space") == 0) return VK_SPACE;
  if (strcmp(name, "BSpace") == 0) return VK_BACK;
  return 0;
}

// Returns once the dialog's thread has handled everything posted before.
static void Settle(HWND dialog) {
  DWORD_PTR ignored;
  for (int i = 0; i < 3; i++) {
    SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_NORMAL, 2000, &ignored);
    Sleep(50);
  }
}

static void Post(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  HWND focus = GetFocus();
  PostMessageA(focus ? focus : dialog, message, wParam, lParam);
}

static void TypeKey(HWND dialog, UINT virtualKey, char character) {
  UINT scan = MapVirtualKeyA(virtualKey, 0);
  LPARAM down = 1 | ((LPARAM)scan << 16);
  LPARAM up = down | (1u << 30) | (1u << 31);
  // The dialog's loop translates a key down into its character, as it would a
  // real key's; a character without a key of its own comes as WM_CHAR alone.
  if (virtualKey)
    Post(dialog, WM_KEYDOWN, virtualKey, down);
  else
    Post(dialog, WM_CHAR, (WPARAM)(unsigned char)character, down);
  Settle(dialog);
  if (!virtualKey) return;
  Post(dialog, WM_KEYUP, virtualKey, up);
  Settle(dialog);
}

static DWORD WINAPI SendKeys(LPVOID parameter) {
  KEYS *keys = (KEYS *)parameter;
  HWND dialog = NULL;
  for (int i = 0; i < 600 && !dialog; i++) {
    dialog = FindWindowA(NULL, Caption);
    if (!dialog) Sleep(100);
  }
  if (!dialog) {
    fprintf(stderr, "cvsetup-keys: no dialog appeared\n");
    return 1;
  }
  Settle(dialog);
  // Sharing the dialog thread's input state makes its focus this thread's GetFocus.
  AttachThreadInput(GetCurrentThreadId(), keys->DialogThread, TRUE);
  for (int k = 0; k < keys->Count && IsWindow(dialog); k++) {
    const char *name = keys->Names[k];
    UINT virtualKey = NamedKey(name);
    if (virtualKey) {
      TypeKey(dialog, virtualKey, 0);
    } else {
      for (const char *c = name; *c; c++) {
        // A character that needs Shift or has no key here comes as a character alone.
        SHORT scan = VkKeyScanA(*c);
        TypeKey(dialog, scan == -1 || (scan & 0xFF00) ? 0 : (UINT)(scan & 0xFF), *c);
      }
    }
  }
  AttachThreadInput(GetCurrentThreadId(), keys->DialogThread, FALSE);
  return 0;
}

int main(int argc, char **argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: cvsetup-keys MODE [KEY...]\n");
    return 2;
  }
  char name[MAX_PATH + 64];
  DWORD length = GetModuleFileNameA(NULL, name, MAX_PATH);
  char *slash = length && length < MAX_PATH ? strrchr(name, '\\') : NULL;
  if (slash)
    strcpy(slash + 1, "cvsetup.dll");
  else
    strcpy(name, "cvsetup.dll");
  HMODULE library = LoadLibraryA(name);
  DODIALOG_PROC doDialog = library ? (DODIALOG_PROC)(void *)GetProcAddress(library, "DoDialog") : NULL;
  if (!doDialog) {
    fprintf(stderr, "cvsetup-keys: cannot load DoDialog of %s (error %lu)\n", name, (unsigned long)GetLastError());
    return 1;
  }
  KEYS keys = {argc - 2, argv + 2, GetCurrentThreadId()};
  HANDLE typist = CreateThread(NULL, 0, SendKeys, &keys, 0, NULL);
  LPSTR text = NULL;
  doDialog(1, argv + 1, &text);
  if (typist) {
    WaitForSingleObject(typist, 5000);
    CloseHandle(typist);
  }
  printf("%s\n", text ? text : "");
  return 0;
}
