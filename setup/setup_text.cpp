#include "setup_text.h"

#include <stdio.h>

static CHAR FoldCase(CHAR c) { return (c >= 'a' && c <= 'z') ? (CHAR)(c - 'a' + 'A') : c; }

BOOL SameTextNoCase(LPCSTR a, LPCSTR b) {
  while (*a && FoldCase(*a) == FoldCase(*b)) {
    a++;
    b++;
  }
  return FoldCase(*a) == FoldCase(*b);
}

void HexText(DWORD number, LPSTR text) { sprintf(text, "0x%X", (unsigned int)number); }
