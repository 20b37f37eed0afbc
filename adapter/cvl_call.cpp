/* CvlapiCall: one function code, one request. The arguments are walked in order:
   those the request needs while it is built, the result pointers only after the
   request succeeded. Every copy back stays within what the caller asked for and
   within the data that the request block holds, whatever the driver reports. */
#include "cvl_functions.h"
#include "cvl_internal.h"

#include <stdarg.h>
#include <string.h>

static CVL_RX_INFO RxInfo;

#define COUNTERS_WORDS_AT 704 /* the word table is built behind the counters reply */
#define MAX_ACL_COUNT 0x7FFF  /* keeps a count result a positive 16-bit value */

static WORD NextWord(va_list *Args) { return (WORD)va_arg(*Args, int); }
static void *NextPointer(va_list *Args) { return va_arg(*Args, void *); }

static DWORD Smaller(DWORD a, DWORD b) { return a < b ? a : b; }

/* Data bytes that a reply size (header included) covers, cut to what was asked. */
static DWORD ReplyDataBytes(DWORD ReplySize, DWORD Asked) {
  if (ReplySize < CVL_REQUEST_HEADER_SIZE) return 0;
  return Smaller(ReplySize - CVL_REQUEST_HEADER_SIZE, Asked);
}

/* A text of Length bytes at Position lies within the firmware data area. */
static BOOL WithinFirmwareData(long long Position, WORD Length) {
  return Position >= 0 && Position + Length <= (long long)sizeof(CVL_FIRMWARE_DATA);
}

static void CopyConfig(va_list *Args) {
  const BYTE *Data = CvlRequest.Data;
  WORD *Major = va_arg(*Args, WORD *);
  WORD *Minor = va_arg(*Args, WORD *);
  WORD *Interrupt = va_arg(*Args, WORD *);
  WORD *IoBase = va_arg(*Args, WORD *);
  WORD *MemoryBase = va_arg(*Args, WORD *);
  WORD *NetId = va_arg(*Args, WORD *);
  WORD *Aux = va_arg(*Args, WORD *);
  CVL_RX_INFO **RxInfoPointer = va_arg(*Args, CVL_RX_INFO **);
  *Major = CvlGetWord(Data + offsetof(CVL_CONFIG_DATA, VersionMajor));
  *Minor = CvlGetWord(Data + offsetof(CVL_CONFIG_DATA, VersionMinor));
  *Interrupt = CvlGetWord(Data + offsetof(CVL_CONFIG_DATA, InterruptNumber));
  *IoBase = CvlGetWord(Data + offsetof(CVL_CONFIG_DATA, IoBaseAddress));
  if (CvlGetWord(Data + offsetof(CVL_CONFIG_DATA, AccessMode)) == CVL_ACCESS_NO_MEMORY)
    *MemoryBase = 0;
  else
    *MemoryBase = (WORD)(CvlGetDword(Data + offsetof(CVL_CONFIG_DATA, MemoryAddress)) >> 4);
  *NetId = CvlGetWord(Data + offsetof(CVL_CONFIG_DATA, NetId));
  *Aux = CvlGetWord(Data + offsetof(CVL_CONFIG_DATA, AuxValue));
  RxInfo.RxInfo1 = CvlGetWord(Data + offsetof(CVL_CONFIG_DATA, RxInfo1));
  RxInfo.RxInfo2 = CvlGetWord(Data + offsetof(CVL_CONFIG_DATA, RxInfo2));
  RxInfo.RxInfo3 = Data[offsetof(CVL_CONFIG_DATA, RxInfo3)];
  RxInfo.RxInfo4 = Data[offsetof(CVL_CONFIG_DATA, RxInfo4)];
  RxInfo.RxInfo5 = Data[offsetof(CVL_CONFIG_DATA, RxInfo5)];
  *RxInfoPointer = &RxInfo;
}

static LONG CopyFirmware(va_list *Args) {
  WORD Length1 = NextWord(Args);
  void *Buffer1 = NextPointer(Args);
  WORD Length2 = NextWord(Args);
  void *Buffer2 = NextPointer(Args);
  const BYTE *Data = CvlRequest.Data;
  long long Text = offsetof(CVL_FIRMWARE_DATA, TextAreaSize) +
                   (long long)(LONG)CvlGetDword(Data + offsetof(CVL_FIRMWARE_DATA, TextPosition));
  long long Date = Text + CVL_FIRMWARE_TEXT_LENGTH;
  if (!WithinFirmwareData(Text, Length1) || !WithinFirmwareData(Date, Length2)) return CVL_FAILED;
  memcpy(Buffer1, Data + Text, Length1);
  memcpy(Buffer2, Data + Date, Length2);
  return CVL_SUCCESS;
}

static void CopyCounters(va_list *Args) {
  DWORD Length = Smaller(NextWord(Args), sizeof(CVL_COUNTERS));
  BYTE *Record = (BYTE *)NextPointer(Args);
  memcpy(Record, CvlRequest.Data, Smaller(Length, CVL_COUNTERS_RAW_SIZE));
  if (Length > CVL_COUNTERS_RAW_SIZE) {
    BYTE *Words = CvlRequest.Data + COUNTERS_WORDS_AT;
    CvlBuildCounterWords(CvlRequest.Data, Words);
    memcpy(Record + CVL_COUNTERS_RAW_SIZE, Words, Length - CVL_COUNTERS_RAW_SIZE);
  }
}

/* Function code 7: the driver writes the station address into the caller's
   buffer; there is no block, so a failure has no Status to tell more. */
static LONG GetStationAddress(va_list *Args) {
  WORD Length = NextWord(Args);
  void *Buffer = NextPointer(Args);
  if (Length == 0) return CVL_BAD_LENGTH;
  if (CvlDevice == INVALID_HANDLE_VALUE) return CVL_FAILED;
  DWORD BytesReturned;
  return CvlDeviceControl(CVL_OID_ADDRESS, Buffer, Length, &BytesReturned) ? CVL_SUCCESS : CVL_FAILED;
}

/* Writes the request's data; *Asked is what the caller asked for, if anything. */
static LONG BuildRequest(const CVL_FUNCTION *Function, va_list *Args, WORD *Asked) {
  BYTE *Data = CvlRequest.Data;
  DWORD DataLength = Function->DataLength;
  switch (Function->Kind) {
    case CVL_KIND_READ_MEMORY:
    case CVL_KIND_WRITE_MEMORY: {
      WORD Address = NextWord(Args);
      WORD Count = NextWord(Args);
      CvlPutWord(Data, Address);
      CvlPutWord(Data + 2, Count);
      if (Count == 0 || Count > CVL_MEMORY_MAX) return CVL_BAD_LENGTH;
      if (Function->Kind == CVL_KIND_WRITE_MEMORY) memcpy(Data + CVL_MEMORY_PREFIX_SIZE, NextPointer(Args), Count);
      *Asked = Count;
      DataLength += Count;
      break;
    }
    case CVL_KIND_SEND:
      for (int i = 0; i < Function->Words; i++) CvlPutWord(Data + 2 * i, NextWord(Args));
      if (Function->Trailer != CVL_NO_TRAILER) CvlPutWord(Data + 2 * Function->Words, Function->Trailer);
      break;
    case CVL_KIND_FLAG: {
      WORD Flag = NextWord(Args);
      if (Flag > 1) return CVL_BAD_LENGTH;
      CvlPutWord(Data, Flag);
      break;
    }
    case CVL_KIND_STATION:
      memcpy(Data, NextPointer(Args), CVL_ADDRESS_LENGTH);
      break;
    case CVL_KIND_FIRMWARE:
      memset(Data, 0, offsetof(CVL_FIRMWARE_DATA, TextArea));
      CvlPutWord(Data + offsetof(CVL_FIRMWARE_DATA, TextAreaSize), CVL_FIRMWARE_TEXT_AREA);
      break;
    case CVL_KIND_REPLY_LENGTH:
    case CVL_KIND_ACL:
      *Asked = NextWord(Args);
      if (*Asked > CVL_DATA_MAX) return CVL_BAD_LENGTH;
      DataLength = *Asked;
      break;
    default: /* the data area is sized for the reply */
      break;
  }
  CvlRequest.Length += DataLength;
  return CVL_SUCCESS;
}

static LONG CopyResults(const CVL_FUNCTION *Function, va_list *Args, WORD Asked, DWORD BytesReturned) {
  const BYTE *Data = CvlRequest.Data;
  switch (Function->Kind) {
    case CVL_KIND_CONFIG:
      CopyConfig(Args);
      break;
    case CVL_KIND_READ_MEMORY:
      memcpy(NextPointer(Args), Data + CVL_MEMORY_PREFIX_SIZE, Smaller(CvlGetWord(Data + 2), Asked));
      break;
    case CVL_KIND_FIRMWARE:
      return CopyFirmware(Args);
    case CVL_KIND_FIXED:
      memcpy(NextPointer(Args), Data, Function->DataLength);
      break;
    case CVL_KIND_FIXED_PART: {
      DWORD Length = Smaller(NextWord(Args), Function->DataLength);
      memcpy(NextPointer(Args), Data, Length);
      break;
    }
    case CVL_KIND_VALUE:
      return (SHORT)CvlGetWord(Data);
    case CVL_KIND_REPLY_LENGTH:
      memcpy(NextPointer(Args), Data, ReplyDataBytes(CvlRequest.Length, Asked));
      break;
    case CVL_KIND_ACL: {
      memcpy(NextPointer(Args), Data, ReplyDataBytes(BytesReturned, Asked));
      if (BytesReturned < CVL_REQUEST_HEADER_SIZE) return 0;
      return (LONG)Smaller((BytesReturned - CVL_REQUEST_HEADER_SIZE) / CVL_ADDRESS_LENGTH, MAX_ACL_COUNT);
    }
    case CVL_KIND_COUNTERS:
      CopyCounters(Args);
      break;
    default: /* sets and commands: nothing comes back */
      break;
  }
  return CVL_SUCCESS;
}

extern "C" LONG CvlapiCall(LONG Code, ...) {
  CvlRequest.Length = CVL_REQUEST_HEADER_SIZE;
  CvlRequest.Reserved = 0;
  CvlRequest.Operation = CVL_OP_QUERY;
  const CVL_FUNCTION *Function = CvlFindFunction(LOWORD(Code));
  if (!Function) return CVL_BAD_FUNCTION;

  va_list Args;
  va_start(Args, Code);
  LONG Result;
  if (Function->Kind == CVL_KIND_ADDRESS) {
    Result = GetStationAddress(&Args);
  } else {
    WORD Asked = 0;
    DWORD BytesReturned = 0;
    CvlRequest.Operation = Function->Operation;
    Result = BuildRequest(Function, &Args, &Asked);
    if (Result == CVL_SUCCESS) Result = CvlSendRequest(Function->Oid, &BytesReturned);
    if (Result == CVL_SUCCESS) Result = CopyResults(Function, &Args, Asked, BytesReturned);
  }
  va_end(Args);
  return Result;
}
