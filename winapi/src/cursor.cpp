// Cursor shapes. A terminal shows no mouse cursor, so a shape is a token that
// SetCursor remembers and hands back, which is all that callers can observe.
#include <windows.h>

#include <atomic>

namespace {

std::atomic<HCURSOR> current{nullptr};

// One token per system cursor: its identifier, which is not a valid address.
HCURSOR SystemCursor(LPCSTR name) { return reinterpret_cast<HCURSOR>(const_cast<LPSTR>(name)); }

}  // namespace

extern "C" HCURSOR WINAPI LoadCursorA(HINSTANCE hInstance, LPCSTR lpCursorName) {
  // Only the system cursors exist here: no module carries cursor resources.
  if (hInstance || !IS_INTRESOURCE(lpCursorName)) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  UINT_PTR id = reinterpret_cast<UINT_PTR>(lpCursorName);
  if (!((id >= 32512 && id <= 32516) || (id >= 32640 && id <= 32651))) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  return SystemCursor(lpCursorName);
}

extern "C" HCURSOR WINAPI SetCursor(HCURSOR hCursor) { return current.exchange(hCursor); }
