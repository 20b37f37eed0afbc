/* The check of mode "1": does a text file hold a line that begins with the
   driver's base name? */
#ifndef CVSETUP_TEXT_FILE_CHECK_H
#define CVSETUP_TEXT_FILE_CHECK_H

#include <windows.h>

/* The longest path the check takes, without its NUL; a longer one is refused. */
#define SCAN_PATH_LENGTH 259

/* 1 when a line of the file that path names (for a directory: the first file of
   its walk) begins with "CVLAN" without regard to case, else 0. */
BOOL CheckDriverLine(LPCSTR Path);

#endif
