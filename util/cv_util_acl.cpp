/* Functions W, X, Y and Z: the access control list of an adapter in CellAP mode. */
#include "cv_util.h"

#include <stdio.h>

#define ADDRESS_ARGC 8 /* program, letter and six address bytes */

static BYTE AddressArgument[CVL_ADDRESS_LENGTH];

void ShowAcl(void) {
  /* A refused or failed read returns 1 or 2, which are also the counts of a list
     of one or two entries; only the failed I/O control tells them apart. */
  SetLastError(ERROR_SUCCESS);
  LONG Count = Cvlapi(CVL_FN_ACL_GET, (int)sizeof AddressBuffer, AddressBuffer);
  if (Count < 0) return; /* the call failed */
  if ((Count == CVL_REFUSED || Count == CVL_FAILED) && GetLastError() != ERROR_SUCCESS) return;
  if (Count == 0) {
    printf("No ACL entries\n");
  } else if (Count <= ADDRESS_BUFFER_ENTRIES) {
    printf("ACL contains %d entries:\n", (int)Count);
    for (LONG i = 0; i < Count; i++) {
      const BYTE *a = AddressBuffer + i * CVL_ADDRESS_LENGTH;
      printf("%02X %02X %02X %02X %02X %02X\n", a[0], a[1], a[2], a[3], a[4], a[5]);
    }
  } else {
    printf("Error getting ACL\n");
  }
}

/* The six address bytes of arguments 2 to 7; FALSE after its message. */
static BOOL ParseAddressArgument(int argc, char **argv) {
  if (argc != ADDRESS_ARGC) {
    printf("Requires 6 byte IEEE MAC address.  Example: CV_UTIL X 02 0E 5A 01 02 03\n");
    return FALSE;
  }
  for (int i = 0; i < CVL_ADDRESS_LENGTH; i++) {
    DWORD Value;
    if (!ParseHex(argv[2 + i], &Value)) {
      printf("Invalid hex input: %s", argv[2 + i]);
      return FALSE;
    }
    AddressArgument[i] = LOBYTE(Value);
  }
  return TRUE;
}

void AddAclEntry(int argc, char **argv) {
  if (ParseAddressArgument(argc, argv) && Cvlapi(CVL_FN_ACL_ADD, AddressArgument) == CVL_SUCCESS)
    printf("ACL updated\n");
}

void DeleteAclEntry(int argc, char **argv) {
  if (ParseAddressArgument(argc, argv) && Cvlapi(CVL_FN_ACL_DELETE, AddressArgument) == CVL_SUCCESS)
    printf("ACL updated\n");
}

void ClearAcl(void) {
  if (Cvlapi(CVL_FN_ACL_CLEAR) == CVL_SUCCESS) printf("ACL cleared\n");
}
