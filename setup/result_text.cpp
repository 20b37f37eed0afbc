// The status part of the result text.
#include "setup_state.h"

#include <stdio.h>

void PutStatusDigit(void) {
  CHAR digits[16];
  snprintf(digits, sizeof(digits), "%ld", (long)SetupStatus);
  ResultText[0] = digits[0];
}

void PutStatusDigitAndComma(void) {
  PutStatusDigit();
  ResultText[1] = ',';
}
