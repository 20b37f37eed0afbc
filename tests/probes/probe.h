// Helpers of the probe programs: each prints one line per fact, "what: result",
// so that the outputs of the two hosts compare line by line.
#pragma once

#include <windows.h>

#include <stdio.h>
#include <string.h>

// "ok" or "error N" for a call that returns a BOOL and sets the last error.
inline const char *ProbeResult(BOOL ok) {
  static char text[32];
  if (ok) return "ok";
  snprintf(text, sizeof text, "error %lu", (unsigned long)GetLastError());
  return text;
}

// The text of a status code returned by a registry call.
inline const char *ProbeStatus(LONG status) {
  static char text[32];
  if (status == ERROR_SUCCESS) return "ok";
  snprintf(text, sizeof text, "error %ld", (long)status);
  return text;
}

// A multi-string (targets of a DOS device name) as "a | b | c".
inline void ProbePrintMultiString(const char *text, DWORD length) {
  const char *end = text + length;
  bool first = true;
  while (text < end && *text) {
    printf("%s%s", first ? "" : " | ", text);
    first = false;
    text += strlen(text) + 1;
  }
}
