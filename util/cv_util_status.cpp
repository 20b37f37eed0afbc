/* Function I: the adapter status, and with "all" its traffic counters. */
#include "cv_util.h"

#include <stdio.h>
#include <string.h>

#define RADIO_TYPE_A 2 /* radio types from 2 on are shown as "A" */

void ShowStatus(int argc, char **argv) {
  if (Cvlapi(CVL_FN_GET_STATUS, CVL_STATUS_BLOCK_SIZE, &StatusBuffer) != CVL_SUCCESS) return;
  const CVL_STATUS_BLOCK *s = &StatusBuffer;
  printf("%sAssociated, Mode %s, Beacon Algorithm %d, Tx %s\n", (s->AssocStatus & CVL_ASSOCIATED) ? "" : "Un",
         (s->PowerMode & 1) ? "PSP" : "CAM", s->BeaconAlgorithm, s->TxDisabled ? "Disabled" : "Enabled");
  printf("Net_ID %X, AP_ID %X, Station_ID %X, Radio %s\n", s->NetId, s->ApId, s->StationId,
         (s->RadioType & CVL_RADIO_TYPE_MASK) >= RADIO_TYPE_A ? "A" : "X");
  printf("AP Count %d, Full Scans %u, Partial Scans %u\n", s->ApCount, s->FullScans, s->PartialScans);
  if (argc != 3 || strcmp(argv[2], "all") != 0) return;
  printf("Host Transmit %u, Dir_Uni %u, Non_Dir_Uni %u, Tx_Poll %u\n", s->TxHost, s->TxDirUni, s->TxNonDirUni,
         s->TxPoll);
  printf("  Tx Retries %u, Tx Failures %u\n", s->TxRetries, s->TxFailures);
  printf("Host Receive %u, Dir_Uni %u, Non_Dir_Uni %u, Rx_Poll %u\n", s->RxHost, s->RxDirUni, s->RxNonDirUni,
         s->RxPoll);
  printf("  Rx Duplicate %u, Rx CRC Error %u\n", s->RxDuplicates, s->RxCrcErrors);
}
