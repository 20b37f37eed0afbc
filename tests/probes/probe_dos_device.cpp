// Prints the DOS device name's current target, or the error that QueryDosDeviceA
// gives for it: "cvlan1: \Device\cvlan1" or "cvlan1: no DOS device name (error 2)".
#include <windows.h>

#include <stdio.h>

int main(int argc, char **argv) {
  if (argc != 2) {
    printf("usage: probe_dos_device NAME\n");
    return 2;
  }
  static char targets[4096];
  if (QueryDosDeviceA(argv[1], targets, sizeof targets) == 0) {
    printf("%s: no DOS device name (error %lu)\n", argv[1], (unsigned long)GetLastError());
  } else {
    printf("%s: %s\n", argv[1], targets);
  }
  return 0;
}
