#include "setup_text.h"

#include <stdio.h>
#include <string.h>

static CHAR FoldCase(CHAR c) { return (c >= 'a' && c <= 'z') ? (CHAR)(c - 'a' + 'A') : c; }

/* Equal in their first count characters, or up to a NUL that both have there. */
static BOOL SameCharactersNoCase(LPCSTR a, LPCSTR b, size_t Count) {
  for (size_t i = 0; i < Count; i++) {
    if (FoldCase(a[i]) != FoldCase(b[i])) return FALSE;
    if (a[i] == '\0') return TRUE;
  }
  return TRUE;
}

BOOL SameTextNoCase(LPCSTR a, LPCSTR b) { return SameCharactersNoCase(a, b, (size_t)-1); }

BOOL BeginsWithNoCase(LPCSTR Text, LPCSTR Prefix) { return SameCharactersNoCase(Text, Prefix, strlen(Prefix)); }

void HexText(DWORD Number, LPSTR Text) { sprintf(Text, "0x%X", (unsigned int)Number); }
