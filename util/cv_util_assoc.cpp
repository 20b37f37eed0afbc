/* Functions B, N and D: association and access-point identifiers, the preferred
   access point, the network identifier. */
#include "cv_util.h"

#include <stdio.h>

void ShowAssociation(void) {
  if (Cvlapi(CVL_FN_GET_STATUS, 50, &StatusBuffer) != CVL_SUCCESS) return;
  if (!(StatusBuffer.AssocStatus & CVL_ASSOCIATED)) {
    printf("Adapter is not associated\n");
    return;
  }
  printf("Adapter is associated:\n");
  printf("  Net_ID: %X\n", StatusBuffer.NetId);
  printf("  AP_ID: %X\n", StatusBuffer.ApId & CVL_AP_ID_MASK);
  printf("  Preferred AP_ID: %X %s\n", StatusBuffer.PreferredApId & CVL_AP_ID_MASK,
         (StatusBuffer.PreferredApId & CVL_AP_ID_PREFERRED) ? "*" : "");
  if (Cvlapi(CVL_FN_GET_AP_ADDRESS, CVL_ADDRESS_LENGTH, AddressBuffer) != CVL_SUCCESS) return;
  printf("  AP IEEE Address: ");
  for (int i = 0; i < CVL_ADDRESS_LENGTH; i++) printf("%02X", AddressBuffer[i]);
  printf("\n");
}

void SetPreferredAp(const char *ApId) {
  DWORD Value = 0;
  ParseHex(ApId, &Value); /* not a number: the value stays 0 */
  if (Cvlapi(CVL_FN_SET_PREFERRED_AP, (int)LOWORD(Value), 5, 4, 1) == CVL_SUCCESS)
    printf("Preferred AP_ID Set to %X\n", (unsigned)Value);
}

void SetNetId(int argc, char **argv) {
  if (argc != 3) {
    printf("requires Net_ID parameter\n");
    return;
  }
  DWORD Value;
  if (!ParseHex(argv[2], &Value)) {
    printf("Invalid hex input: %s", argv[2]);
    return;
  }
  if (Cvlapi(CVL_FN_SET_NET_ID, (int)LOWORD(Value)) == CVL_SUCCESS) printf("Net_ID set to %X\n", (unsigned)Value);
}
