/* Hexadecimal command-line parameters. */
#include "cv_util.h"

#include <ctype.h>

static int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

BOOL ParseHex(const char *Text, DWORD *Value) {
  const char *p = Text;
  while (isspace((unsigned char)*p)) p++;
  BOOL Negative = *p == '-';
  if (*p == '+' || *p == '-') p++;
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && HexDigit(p[2]) >= 0) p += 2;
  if (HexDigit(*p) < 0) return FALSE;
  DWORD Number = 0;
  for (; HexDigit(*p) >= 0; p++) Number = (Number << 4) | (DWORD)HexDigit(*p); /* keeps the low 32 bits */
  *Value = Negative ? 0u - Number : Number;
  return TRUE;
}
