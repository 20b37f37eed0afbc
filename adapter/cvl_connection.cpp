/* The connection to the driver: finding its instance among the services keys,
   the DOS device name, the open device and the version check. */
#include "cvl_internal.h"

#include <ctype.h>
#include <string.h>

HANDLE CvlDevice = INVALID_HANDLE_VALUE;

static BOOLEAN DosNameDefined;   /* this library defined the DOS device name */
static CHAR DeviceName[128];     /* the instance key's name as the registry spells it */
static CHAR DosQueryBuffer[512]; /* an existing name's targets; only its existence counts */
static CHAR RawTargetPath[128];  /* "\Device\" + name, kept to remove the definition */
static CHAR OpenPath[128];       /* "\\.\" + name */

static const CHAR ServicesKey[] = "SYSTEM\\CurrentControlSet\\Services";

#define CVL_CONFIG_REQUEST_LENGTH (CVL_REQUEST_HEADER_SIZE + sizeof(CVL_CONFIG_DATA))

/* "cvlan1" to "cvlan4" in any case, over the whole name: cvlan10 is no instance. */
static BOOL IsInstanceName(const CHAR *Name) {
  static const CHAR Prefix[] = "cvlan";
  for (int i = 0; i < 5; i++) {
    if (tolower((unsigned char)Name[i]) != Prefix[i]) return FALSE;
  }
  return Name[5] >= '1' && Name[5] <= '4' && Name[6] == '\0';
}

static BOOL FindInstance(void) {
  HKEY Services;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, ServicesKey, 0, KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS, &Services) !=
      ERROR_SUCCESS)
    return FALSE;
  BOOL Found = FALSE;
  for (DWORD Index = 0; !Found; Index++) {
    LONG Result = RegEnumKeyA(Services, Index, DeviceName, sizeof DeviceName);
    /* A name too long for the buffer is no instance name, and no reason to stop
       looking: another service's long name must not hide the adapter. */
    if (Result == ERROR_MORE_DATA) continue;
    if (Result != ERROR_SUCCESS) break;
    Found = IsInstanceName(DeviceName);
  }
  RegCloseKey(Services);
  if (!Found)
    OutputDebugStringA(
        "CVLAPI: no adapter instance key (cvlan1 to cvlan4) under "
        "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\n");
  return Found;
}

/* Defines the DOS device name unless it exists already. */
static BOOL EnsureDosName(void) {
  if (QueryDosDeviceA(DeviceName, DosQueryBuffer, sizeof DosQueryBuffer) != 0) return TRUE;
  if (GetLastError() != ERROR_FILE_NOT_FOUND) return FALSE;
  strcpy(RawTargetPath, "\\Device\\");
  strcat(RawTargetPath, DeviceName);
  if (!DefineDosDeviceA(DDD_RAW_TARGET_PATH, DeviceName, RawTargetPath)) return FALSE;
  DosNameDefined = TRUE;
  return TRUE;
}

static BOOL OpenDevice(void) {
  strcpy(OpenPath, "\\\\.\\");
  strcat(OpenPath, DeviceName);
  CvlDevice = CreateFileA(OpenPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0,
                          INVALID_HANDLE_VALUE);
  return CvlDevice != INVALID_HANDLE_VALUE;
}

/* A DOS name that another program defined goes away when that program ends, and
   that may fall between the query and the open: then look again, and define the
   name here if it is gone. A name this library defined is not looked for again. */
#define CVL_OPEN_ATTEMPTS 3

static BOOL ConnectDevice(void) {
  for (int Attempt = 0; Attempt < CVL_OPEN_ATTEMPTS; Attempt++) {
    if (!EnsureDosName()) return FALSE;
    if (OpenDevice()) return TRUE;
    if (DosNameDefined || GetLastError() != ERROR_FILE_NOT_FOUND) return FALSE;
  }
  return FALSE;
}

/* Appends a number in decimal, for the debugger's output. */
static void AppendNumber(CHAR *Text, unsigned Number) {
  CHAR Digits[8];
  int Length = 0;
  do {
    Digits[Length++] = (CHAR)('0' + Number % 10);
    Number /= 10;
  } while (Number != 0 && Length < 7);
  Text += strlen(Text);
  while (Length > 0) *Text++ = Digits[--Length];
  *Text = '\0';
}

/* The configuration request: its reply begins with the driver's version. */
static BOOL DriverVersionAccepted(void) {
  CvlRequest.Length = CVL_CONFIG_REQUEST_LENGTH;
  CvlRequest.Operation = CVL_OP_QUERY;
  CvlRequest.Reserved = 0;
  DWORD BytesReturned;
  if (!CvlDeviceControl(CVL_OID_CONFIG, &CvlRequest, CVL_CONFIG_REQUEST_LENGTH, &BytesReturned)) return FALSE;
  WORD Major = CvlGetWord(CvlRequest.Data + offsetof(CVL_CONFIG_DATA, VersionMajor));
  WORD Minor = CvlGetWord(CvlRequest.Data + offsetof(CVL_CONFIG_DATA, VersionMinor));
  if (Major >= CVL_MIN_VERSION_MAJOR || Minor >= CVL_MIN_VERSION_MINOR) return TRUE;
  CHAR Message[160] = "CVLAPI: driver version ";
  AppendNumber(Message, Major);
  strcat(Message, ".");
  AppendNumber(Message, Minor);
  strcat(Message, " is too old (major version ");
  AppendNumber(Message, CVL_MIN_VERSION_MAJOR);
  strcat(Message, " or minor version ");
  AppendNumber(Message, CVL_MIN_VERSION_MINOR);
  strcat(Message, " at least)\n");
  OutputDebugStringA(Message);
  return FALSE;
}

extern "C" CVLAPI_PROC CvlapiLocate(void) {
  if (CvlDevice != INVALID_HANDLE_VALUE) return CvlapiCall;
  if (!FindInstance() || !ConnectDevice() || !DriverVersionAccepted()) {
    CvlapiClose();
    return NULL;
  }
  return CvlapiCall;
}

extern "C" LONG CvlapiClose(void) {
  if (CvlDevice != INVALID_HANDLE_VALUE) {
    CloseHandle(CvlDevice);
    CvlDevice = INVALID_HANDLE_VALUE;
  }
  if (DosNameDefined) {
    DosNameDefined = FALSE;
    if (!DefineDosDeviceA(DDD_RAW_TARGET_PATH | DDD_REMOVE_DEFINITION | DDD_EXACT_MATCH_ON_REMOVE, DeviceName,
                          RawTargetPath))
      return CVL_CLOSE_NAME_KEPT;
  }
  return 0;
}
