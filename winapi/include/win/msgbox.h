/* Message boxes. MessageBoxA, its buttons and icons are declared with the
   windows (user.h); the default-button and mask bits and the further answers
   are here. On a POSIX host a message box asks on the controlling terminal;
   without one it writes its caption and text to standard error and answers
   with its default button (the first unless MB_DEFBUTTONn names another), so
   that a program run from a script never waits for an answer that cannot come. */
#ifndef CVLAN_WINAPI_MSGBOX_H
#define CVLAN_WINAPI_MSGBOX_H

#include <win/types.h>
#include <win/user.h>

#ifndef MB_CANCELTRYCONTINUE
#define MB_CANCELTRYCONTINUE 0x00000006L
#endif
#ifndef MB_DEFBUTTON1
#define MB_DEFBUTTON1 0x00000000L
#define MB_DEFBUTTON2 0x00000100L
#define MB_DEFBUTTON3 0x00000200L
#define MB_DEFBUTTON4 0x00000300L
#endif
#ifndef MB_APPLMODAL
#define MB_APPLMODAL 0x00000000L
#define MB_SYSTEMMODAL 0x00001000L
#define MB_TASKMODAL 0x00002000L
#endif
#ifndef MB_TYPEMASK
#define MB_TYPEMASK 0x0000000FL
#define MB_ICONMASK 0x000000F0L
#define MB_DEFMASK 0x00000F00L
#endif
#ifndef IDTRYAGAIN
#define IDTRYAGAIN 10
#define IDCONTINUE 11
#endif

#endif
