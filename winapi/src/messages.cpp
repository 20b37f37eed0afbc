// The thread's message queue and the message loop calls.
#include <chrono>
#include <deque>
#include <functional>

#include "window_manager.h"

namespace winapi {
namespace {

struct QueuedMessage {
  MSG msg{};
  char character = 0; // what TranslateMessage makes of a key message
  unsigned modifiers = 0;
  bool input = false;
  std::function<void()> action; // mouse input: done when the loop takes it, in order
};

struct Queue {
  std::deque<QueuedMessage> posted;
  bool quit = false;
  int quitCode = 0;
  QueuedMessage lastRetrieved;
  unsigned modifiers = 0;
};

Queue &TheQueue() {
  static Queue *queue = new Queue;
  return *queue;
}

DWORD TickTime() {
  using namespace std::chrono;
  return static_cast<DWORD>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

} // namespace

void ResetMessageQueue() {
  Queue &queue = TheQueue();
  queue.posted.clear();
  queue.quit = false;
  queue.lastRetrieved = QueuedMessage{};
  queue.modifiers = 0;
}

void PostInputAction(std::function<void()> action) {
  QueuedMessage q;
  q.input = true;
  q.action = std::move(action);
  TheQueue().posted.push_back(std::move(q));
}

void SetKeyModifiers(unsigned modifiers) { TheQueue().modifiers = modifiers; }

void PostKeyInput(WORD virtualKey, char character, unsigned modifiers) {
  QueuedMessage q; // its window is the one with the focus when it is taken from the queue
  bool alt = (modifiers & kAlt) != 0;
  q.msg.message = alt ? WM_SYSKEYDOWN : WM_KEYDOWN;
  q.msg.wParam = virtualKey;
  q.msg.lParam = 1 | (alt ? (1L << 29) : 0); // repeat count 1, context code for Alt
  q.msg.time = TickTime();
  q.character = character;
  q.modifiers = modifiers;
  q.input = true;
  TheQueue().posted.push_back(q);
}

} // namespace winapi

namespace winapi {
namespace {

// Takes (or with remove FALSE, copies) the first message that the filter lets
// through: posted messages first, then the quit message. FALSE when none waits.
BOOL TakeMessage(LPMSG lpMsg, HWND hWnd, UINT filterMin, UINT filterMax, BOOL remove) {
  Queue &queue = TheQueue();
  auto wanted = [&](UINT message, HWND target) {
    if (hWnd != nullptr && target != hWnd && TopLevelOf(target) != hWnd) return false;
    if (filterMin == 0 && filterMax == 0) return true;
    return message >= filterMin && message <= filterMax;
  };
  for (size_t i = 0; i < queue.posted.size();) {
    QueuedMessage q = queue.posted[i];
    if (q.action) {
      if (!remove) return FALSE; // what lies behind it depends on it
      queue.posted.erase(queue.posted.begin() + static_cast<long>(i));
      q.action();
      continue;
    }
    if (q.input && q.msg.hwnd == nullptr) {
      q.msg.hwnd = KeyboardTarget(); // input goes to the window with the focus when it is taken
      if (q.msg.hwnd == nullptr) {   // nobody to type to: the key is lost
        queue.posted.erase(queue.posted.begin() + static_cast<long>(i));
        continue;
      }
    }
    if (!wanted(q.msg.message, q.msg.hwnd)) {
      ++i;
      continue;
    }
    *lpMsg = q.msg;
    if (remove) {
      queue.posted.erase(queue.posted.begin() + static_cast<long>(i));
      queue.lastRetrieved = q;
      if (q.input) queue.modifiers = q.modifiers;
    }
    return TRUE;
  }
  if (queue.quit && (hWnd == nullptr) &&
      ((filterMin == 0 && filterMax == 0) || (filterMin <= WM_QUIT && WM_QUIT <= filterMax))) {
    if (remove) queue.quit = false;
    *lpMsg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(queue.quitCode), 0, TickTime(), {0, 0}};
    return TRUE;
  }
  return FALSE;
}

} // namespace
} // namespace winapi

extern "C" {

BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  if (hWnd != nullptr && winapi::FindWindowRecord(hWnd) == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  winapi::QueuedMessage q;
  q.msg = MSG{hWnd, Msg, wParam, lParam, winapi::TickTime(), {0, 0}};
  winapi::TheQueue().posted.push_back(q);
  return TRUE;
}

void WINAPI PostQuitMessage(int nExitCode) {
  winapi::Queue &queue = winapi::TheQueue();
  queue.quit = true;
  queue.quitCode = nExitCode;
}

// Posted messages first, then the quit message, then input. When no input can
// ever come (no front end, or the front end has none left) the loop is told to
// quit rather than made to wait for ever.

// Posted messages first, then the quit message, then input. When no input can
// ever come (no front end, or the front end has none left) the loop is told to
// quit rather than made to wait for ever.
BOOL WINAPI GetMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax) {
  while (true) {
    if (winapi::TakeMessage(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, TRUE)) return lpMsg->message != WM_QUIT;
    if (!winapi::CurrentFrontEnd().WaitForInput()) {
      *lpMsg = MSG{nullptr, WM_QUIT, 0, 0, winapi::TickTime(), {0, 0}};
      return FALSE;
    }
  }
}

BOOL WINAPI PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg) {
  return winapi::TakeMessage(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, (wRemoveMsg & PM_REMOVE) != 0);
}

BOOL WINAPI TranslateMessage(const MSG *lpMsg) {
  winapi::Queue &queue = winapi::TheQueue();
  if (lpMsg == nullptr || (lpMsg->message != WM_KEYDOWN && lpMsg->message != WM_SYSKEYDOWN)) return FALSE;
  const winapi::QueuedMessage &last = queue.lastRetrieved;
  if (!last.input || last.character == 0 || last.msg.hwnd != lpMsg->hwnd || last.msg.wParam != lpMsg->wParam)
    return FALSE;
  winapi::QueuedMessage q;
  q.msg = *lpMsg;
  q.msg.message = lpMsg->message == WM_SYSKEYDOWN ? WM_SYSCHAR : WM_CHAR;
  q.msg.wParam = static_cast<unsigned char>(last.character);
  q.modifiers = last.modifiers;
  q.input = true;
  queue.posted.push_front(q); // the character comes next, before anything posted later
  queue.lastRetrieved.character = 0;
  return TRUE;
}

LRESULT WINAPI DispatchMessageA(const MSG *lpMsg) {
  if (lpMsg == nullptr || lpMsg->hwnd == nullptr) return 0;
  return SendMessageA(lpMsg->hwnd, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
}

SHORT WINAPI GetKeyState(int nVirtKey) {
  unsigned modifiers = winapi::TheQueue().modifiers;
  bool down = (nVirtKey == VK_SHIFT && (modifiers & winapi::kShift)) ||
              (nVirtKey == VK_CONTROL && (modifiers & winapi::kControl)) ||
              (nVirtKey == VK_MENU && (modifiers & winapi::kAlt));
  return down ? static_cast<SHORT>(0x8000) : 0;
}

} // extern "C"
