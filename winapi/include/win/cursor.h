/* The mouse cursor. A terminal has none: the shapes are remembered, not shown. */
#ifndef CVLAN_WINAPI_CURSOR_H
#define CVLAN_WINAPI_CURSOR_H

#include <win/types.h>

#define IDC_ARROW MAKEINTRESOURCEA(32512)
#define IDC_IBEAM MAKEINTRESOURCEA(32513)
#define IDC_WAIT MAKEINTRESOURCEA(32514)
#define IDC_CROSS MAKEINTRESOURCEA(32515)
#define IDC_UPARROW MAKEINTRESOURCEA(32516)
#define IDC_APPSTARTING MAKEINTRESOURCEA(32650)

#ifdef __cplusplus
extern "C" {
#endif

HCURSOR WINAPI LoadCursorA(HINSTANCE hInstance, LPCSTR lpCursorName);
HCURSOR WINAPI SetCursor(HCURSOR hCursor);

#ifdef __cplusplus
}
#endif

#endif
