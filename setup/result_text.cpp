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
  CHAR Digits[16];
  snprintf(Digits, sizeof(Digits), "%ld", (long)SetupStatus);
  ResultText[0] = Digits[0];
}

void PutStatusDigitAndComma(void) {
  PutStatusDigit();
  ResultText[1] = ',';
}

static void AppendField(LPCSTR Text) {
  size_t Length = strlen(Text);
  if (WritePosition + Length + 2 > sizeof(ResultText)) return; /* never past the buffer */
  memcpy(ResultText + WritePosition, Text, Length);
  WritePosition += (int)Length;
  ResultText[WritePosition++] = ',';
  ResultText[WritePosition] = '\0';
}

/* The selected item's text, or the edit text when nothing is selected. */
static void ControlText(HWND Dialog, int Control, LPSTR Text) {
  LRESULT Selected = SendDlgItemMessageA(Dialog, Control, CB_GETCURSEL, 0, 0);
  LRESULT Length = Selected == CB_ERR ? CB_ERR : SendDlgItemMessageA(Dialog, Control, CB_GETLBTEXTLEN, Selected, 0);
  if (Length != CB_ERR && Length < CONTROL_TEXT_SIZE) {
    SendDlgItemMessageA(Dialog, Control, CB_GETLBTEXT, Selected, (LPARAM)Text);
  } else {
    GetDlgItemTextA(Dialog, Control, Text, CONTROL_TEXT_SIZE);
  }
}

/* The hexadecimal digits after the 0x, at most maxDigits of them, in decimal. */
static void AppendHexField(HWND Dialog, int Control, int MaxDigits) {
  CHAR Text[CONTROL_TEXT_SIZE];
  ControlText(Dialog, Control, Text);
  const CHAR *From = strlen(Text) >= 2 ? Text + 2 : Text + strlen(Text);
  CHAR Digits[CONTROL_TEXT_SIZE];
  int Count = 0;
  while (Count < MaxDigits && isxdigit((unsigned char)From[Count])) {
    Digits[Count] = From[Count];
    Count++;
  }
  Digits[Count] = '\0';
  CHAR Decimal[16];
  sprintf(Decimal, "%lu", strtoul(Digits, NULL, 16));
  AppendField(Decimal);
}

static void AppendTextField(HWND Dialog, int Control) {
  CHAR Text[CONTROL_TEXT_SIZE];
  ControlText(Dialog, Control, Text);
  AppendField(Text);
}

void BuildResultFields(HWND Dialog) {
  CHAR Text[CONTROL_TEXT_SIZE];
  ClearResultText();
  ResultText[0] = ' ';
  ResultText[1] = ' ';
  WritePosition = 2;
  ControlText(Dialog, IDC_CARD_TYPE, Text);
  AppendField(SameTextNoCase(Text, "WPOS/ISA") ? "1" : "0");
  AppendTextField(Dialog, IDC_INTERRUPT);
  AppendField("992");
  AppendHexField(Dialog, IDC_IO_PORT, 4);
  AppendHexField(Dialog, IDC_MEMORY, 8);
  AppendHexField(Dialog, IDC_NET_ID, 4);
  AppendField(IsDlgButtonChecked(Dialog, IDC_DIVERSITY) == BST_CHECKED ? "1" : "0");
  AppendField("1");
  BOOL CellAp = IsDlgButtonChecked(Dialog, IDC_CELLAP) == BST_CHECKED;
  AppendField(CellAp ? "1" : "0");
  if (CellAp) {
    AppendTextField(Dialog, IDC_BEACON_DELAY);
    AppendTextField(Dialog, IDC_HOP_SEQUENCE);
    AppendHexField(Dialog, IDC_AP_ID, 8);
  }
}
