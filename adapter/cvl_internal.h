/* What the parts of the adapter access library share: the open device, the one
   request block, the request path to the driver and the little-endian field
   access of the block's data area. Not for callers of the library. */
#ifndef CVL_INTERNAL_H
#define CVL_INTERNAL_H

#include "cvlapi.h"

/* The driver device, INVALID_HANDLE_VALUE while no connection is open. */
extern HANDLE CvlDevice;

/* The library's one request block, shared by every call and the version request. */
extern CVL_REQUEST CvlRequest;

/* One I/O control on the device: the object identifier in, out as the output
   buffer. *BytesReturned is 0 unless the driver reports a count. */
BOOL CvlDeviceControl(DWORD Oid, LPVOID Out, WORD OutLength, DWORD *BytesReturned);

/* Sends the request block (output length: its Length) and gives the call's
   result: 0, or the driver's Status mapped to a result code. */
LONG CvlSendRequest(DWORD Oid, DWORD *BytesReturned);

/* The result code for a driver Status of a failed request. */
LONG CvlMapStatus(DWORD Status);

/* Builds the 46 counter words of function code 24 from the counters reply in
   Data (704 bytes) into Words. */
void CvlBuildCounterWords(const BYTE *Data, BYTE *Words);

/* Fields of the data area: little-endian, at any offset. */
inline WORD CvlGetWord(const BYTE *p) { return (WORD)(p[0] | (p[1] << 8)); }
inline DWORD CvlGetDword(const BYTE *p) {
  return (DWORD)p[0] | ((DWORD)p[1] << 8) | ((DWORD)p[2] << 16) | ((DWORD)p[3] << 24);
}
inline void CvlPutWord(BYTE *p, WORD Value) {
  p[0] = (BYTE)Value;
  p[1] = (BYTE)(Value >> 8);
}

#endif
