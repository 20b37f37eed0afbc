/* The request block and the one path by which every request reaches the driver. */
#include "cvl_internal.h"

CVL_REQUEST CvlRequest;

BOOL CvlDeviceControl(DWORD Oid, LPVOID Out, WORD OutLength, DWORD *BytesReturned) {
  DWORD Object = Oid;
  *BytesReturned = 0;
  return DeviceIoControl(CvlDevice, IOCTL_NDIS_QUERY_GLOBAL_STATS, &Object, sizeof Object, Out, OutLength,
                         BytesReturned, NULL);
}

LONG CvlMapStatus(DWORD Status) {
  switch (Status) {
    case 0:
      return CVL_SUCCESS;
    case 4:
    case 7:
      return CVL_BAD_FUNCTION;
    case 5:
    case 6:
      return CVL_BAD_LENGTH;
    case 8:
    case 9:
      return CVL_REFUSED;
    default:
      return CVL_FAILED;
  }
}

/* A Status that no driver writes: a driver that fails a request without giving
   its status must not leave the status of an earlier request (perhaps 0, which
   counts as success) to be read as the answer. */
#define CVL_NO_STATUS 0xFFFFFFFF

LONG CvlSendRequest(DWORD Oid, DWORD *BytesReturned) {
  if (CvlDevice == INVALID_HANDLE_VALUE) return CVL_FAILED; /* no connection: nothing to ask */
  CvlRequest.Status = CVL_NO_STATUS;
  if (CvlDeviceControl(Oid, &CvlRequest, (WORD)CvlRequest.Length, BytesReturned)) return CVL_SUCCESS;
  return CvlMapStatus(CvlRequest.Status);
}
