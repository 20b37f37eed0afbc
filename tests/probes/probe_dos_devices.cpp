// DefineDosDeviceA and QueryDosDeviceA: stacked definitions, exact-match removal,
// the errors of bad calls. Uses the name cvprb1, which nothing else defines.
#include "probe.h"

#include <string.h>

static const char kName[] = "cvprb1";

static void Query(const char *what) {
  static char targets[1024];
  memset(targets, 0x55, sizeof targets);
  DWORD length = QueryDosDeviceA(kName, targets, sizeof targets);
  printf("%s: ", what);
  if (length == 0) {
    printf("error %lu\n", (unsigned long)GetLastError());
    return;
  }
  printf("length %lu: ", (unsigned long)length);
  ProbePrintMultiString(targets, length);
  printf("\n");
}

static void Define(const char *what, DWORD flags, const char *target) {
  printf("%s: %s\n", what, ProbeResult(DefineDosDeviceA(flags, kName, target)));
}

int main() {
  Query("query before any definition");
  Define("define \\Device\\cvprbA", DDD_RAW_TARGET_PATH, "\\Device\\cvprbA");
  Query("query after one definition");
  Define("define \\Device\\cvprbB over it", DDD_RAW_TARGET_PATH, "\\Device\\cvprbB");
  Query("query after two definitions");

  static char small[8];
  SetLastError(0);
  DWORD length = QueryDosDeviceA(kName, small, sizeof small);
  printf("query into 8 bytes: length %lu, error %lu\n", (unsigned long)length, (unsigned long)GetLastError());

  Define("exact-match removal of \\Device\\cvprbX (not defined)",
         DDD_RAW_TARGET_PATH | DDD_REMOVE_DEFINITION | DDD_EXACT_MATCH_ON_REMOVE, "\\Device\\cvprbX");
  Query("query after the refused removal");
  Define("exact-match removal of \\Device\\cvprbA (the older one)",
         DDD_RAW_TARGET_PATH | DDD_REMOVE_DEFINITION | DDD_EXACT_MATCH_ON_REMOVE, "\\Device\\cvprbA");
  Query("query after removing the older one");
  Define("exact-match removal of \\Device\\cvprbB",
         DDD_RAW_TARGET_PATH | DDD_REMOVE_DEFINITION | DDD_EXACT_MATCH_ON_REMOVE, "\\Device\\cvprbB");
  Query("query after removing both");
  Define("removal of a name not defined", DDD_RAW_TARGET_PATH | DDD_REMOVE_DEFINITION, NULL);

  Define("define \\Device\\cvprbC", DDD_RAW_TARGET_PATH, "\\Device\\cvprbC");
  Define("removal without a target", DDD_RAW_TARGET_PATH | DDD_REMOVE_DEFINITION, NULL);
  Query("query after removal without a target");

  Define("define without a target", DDD_RAW_TARGET_PATH, NULL);
  Query("query after defining without a target");
  return 0;
}
