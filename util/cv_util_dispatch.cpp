/* Program start, usage text, the dispatch on the function letter and the end. */
#include "cv_util.h"

#include <stdio.h>

CVLAPI_PROC Cvlapi;
CVL_STATUS_BLOCK StatusBuffer;
BYTE AddressBuffer[ADDRESS_BUFFER_ENTRIES * CVL_ADDRESS_LENGTH];

void PrintUsage(void) {
  printf("Corvane API Utility V3.00\n");
  printf("Usage: CV_UTIL <function code> [<optional parameters>,,,]\n");
  printf("Function codes and [optional] parameters:\n");
  printf("  A - Display Adapter Configuration info\n");
  printf("  B - Display Net_ID/AP_ID info\n");
  printf("  B <AP_ID> - Set Preferred AP_ID\n");
  printf("  I - Display Adapter Info/Statistics\n");
  printf("  N <Net_ID> - Set Net_ID\n");
  printf("  The following apply to the CellAP -\n");
  printf("  W - Display Access Control List (ACL)\n");
  printf("  X <IEEE address> - Add ACL Entry\n");
  printf("  Y <IEEE address> - Delete ACL Entry\n");
  printf("  Z - Clear ACL\n");
}

static void RunFunction(char Letter, int argc, char **argv) {
  switch (Letter) {
    case 'A':
      ShowConfiguration();
      break;
    case 'B':
      if (argc < 3)
        ShowAssociation();
      else
        SetPreferredAp(argv[2]);
      break;
    case 'D':
    case 'N':
      SetNetId(argc, argv);
      break;
    case 'I':
      ShowStatus(argc, argv);
      break;
    case 'W':
      ShowAcl();
      break;
    case 'X':
      AddAclEntry(argc, argv);
      break;
    case 'Y':
      DeleteAclEntry(argc, argv);
      break;
    case 'Z':
      ClearAcl();
      break;
    default:
      PrintUsage();
      break;
  }
}

int CvUtilMain(int argc, char **argv) {
  if (argc < 2) {
    PrintUsage();
    return 0;
  }
  Cvlapi = CvlapiLocate();
  if (!Cvlapi) {
    printf("Error - Corvane API is not installed.\n");
    return 1;
  }
  char Letter = argv[1][0];
  if (Letter >= 'a' && Letter <= 'z') Letter = (char)(Letter - 'a' + 'A');
  RunFunction(Letter, argc, argv);
  fflush(stdout);
  return (int)CvlapiClose();
}
