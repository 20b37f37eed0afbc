/* The result text: its buffer, the status digit and the fields of a confirmed dialog. */
#include "result_text.h"

#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "dialog.h"
#include "setup_state.h"
#include "setup_text.h"

#define CONTROL_TEXT_SIZE 10

CHAR ResultText[RESULT_TEXT_SIZE];

static int WritePosition;

void ClearResultText(void) { memset(ResultText, 0, sizeof(ResultText)); }

void PutStatusDigit(void) {
  CHAR digits[16];
  snprintf(digits, sizeof(digits), "%ld", (long)SetupStatus);
  ResultText[0] = digits[0];
}

void PutStatusDigitAndComma(void) {
  PutStatusDigit();
  ResultText[1] = ',';
}

static void AppendField(LPCSTR text) {
  size_t length = strlen(text);
  if (WritePosition + length + 2 > sizeof(ResultText)) return;  // never past the buffer
  memcpy(ResultText + WritePosition, text, length);
  WritePosition += (int)length;
  ResultText[WritePosition++] = ',';
  ResultText[WritePosition] = '\0';
}

// The selected item's text, or the edit text when nothing is selected.
static void ControlText(HWND dialog, int control, LPSTR text) {
  LRESULT selected = SendDlgItemMessageA(dialog, control, CB_GETCURSEL, 0, 0);
  LRESULT length = selected == CB_ERR ? CB_ERR : SendDlgItemMessageA(dialog, control, CB_GETLBTEXTLEN, selected, 0);
  if (length != CB_ERR && length < CONTROL_TEXT_SIZE) {
    SendDlgItemMessageA(dialog, control, CB_GETLBTEXT, selected, (LPARAM)text);
  } else {
    GetDlgItemTextA(dialog, control, text, CONTROL_TEXT_SIZE);
  }
}

// The hexadecimal digits after the 0x, at most maxDigits of them, in decimal.
static void AppendHexField(HWND dialog, int control, int maxDigits) {
  CHAR text[CONTROL_TEXT_SIZE];
  ControlText(dialog, control, text);
  const CHAR* from = strlen(text) >= 2 ? text + 2 : text + strlen(text);
  CHAR digits[CONTROL_TEXT_SIZE];
  int count = 0;
  while (count < maxDigits && isxdigit((unsigned char)from[count])) {
    digits[count] = from[count];
    count++;
  }
  digits[count] = '\0';
  CHAR decimal[16];
  sprintf(decimal, "%lu", strtoul(digits, NULL, 16));
  AppendField(decimal);
}

static void AppendTextField(HWND dialog, int control) {
  CHAR text[CONTROL_TEXT_SIZE];
  ControlText(dialog, control, text);
  AppendField(text);
}

void BuildResultFields(HWND dialog) {
  CHAR text[CONTROL_TEXT_SIZE];
  ClearResultText();
  ResultText[0] = ' ';
  ResultText[1] = ' ';
  WritePosition = 2;
  ControlText(dialog, IDC_CARD_TYPE, text);
  AppendField(SameTextNoCase(text, "WPOS/ISA") ? "1" : "0");
  AppendTextField(dialog, IDC_INTERRUPT);
  AppendField("992");
  AppendHexField(dialog, IDC_IO_PORT, 4);
  AppendHexField(dialog, IDC_MEMORY, 8);
  AppendHexField(dialog, IDC_NET_ID, 4);
  AppendField(IsDlgButtonChecked(dialog, IDC_DIVERSITY) == BST_CHECKED ? "1" : "0");
  AppendField("1");
  BOOL cellAp = IsDlgButtonChecked(dialog, IDC_CELLAP) == BST_CHECKED;
  AppendField(cellAp ? "1" : "0");
  if (cellAp) {
    AppendTextField(dialog, IDC_BEACON_DELAY);
    AppendTextField(dialog, IDC_HOP_SEQUENCE);
    AppendHexField(dialog, IDC_AP_ID, 8);
  }
}
