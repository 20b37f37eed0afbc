#include "registry_parameters.h"

#include <stdio.h>
#include <string.h>

#include "page_heap.h"
#include "setup_text.h"

#define SERVICES_PATH "SYSTEM\\CurrentControlSet\\Services"
#define KEY_NAME_SIZE 260
#define REGISTRY_ACCESS (KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS)

CHAR CurrentValues[CURRENT_VALUE_COUNT][CURRENT_VALUE_SIZE];

static HKEY ServicesKey;

typedef struct _PARAMETER_VALUE {
  LPCSTR Name;
  BOOL Hex; /* HexText, else signed decimal */
} PARAMETER_VALUE;

static const PARAMETER_VALUE ParameterValues[CURRENT_VALUE_COUNT] = {
    {"CardType", FALSE},       {"Diversity", FALSE}, {"InterruptNumber", FALSE},
    {"IoBaseAddress", TRUE},   {"CellAP", FALSE},    {"CellAP_BDelay", FALSE},
    {"CellAP_Hop_Seq", FALSE}, {"CellAP_Id", TRUE},  {"PCCARDAttributeMemoryAddress", TRUE},
    {"Net_Id", TRUE},
};

void StoreParameterValue(LPCSTR ValueName, const BYTE *Data, DWORD DataLength) {
  for (int i = 0; i < CURRENT_VALUE_COUNT; i++) {
    if (!SameTextNoCase(ValueName, ParameterValues[i].Name)) continue;
    /* The first four bytes, least significant first; missing bytes count as 0. */
    DWORD Number = 0;
    for (DWORD b = 0; b < 4 && b < DataLength && Data; b++) Number |= (DWORD)Data[b] << (8 * b);
    if (ParameterValues[i].Hex)
      HexText(Number, CurrentValues[i]);
    else
      sprintf(CurrentValues[i], "%ld", (long)(LONG)Number);
    return;
  }
}

BOOL FindInstanceKey(LPSTR Name) {
  for (DWORD Index = 0;; Index++) {
    if (RegEnumKeyA(ServicesKey, Index, Name, KEY_NAME_SIZE) != ERROR_SUCCESS) return FALSE;
    for (int n = 1; n <= 10; n++) {
      CHAR Instance[16];
      sprintf(Instance, "CVLAN%d", n);
      if (SameTextNoCase(Name, Instance)) return TRUE;
    }
  }
}

/* Reads every value of the parameter key; a value whose enumeration fails is
   skipped, and only the data bytes that the registry returned are looked at. */
static void ReadParameterValues(HKEY Parameters, DWORD ValueCount, DWORD LongestData) {
  DWORD BufferSize = LongestData > 4 ? LongestData : 4;
  BYTE *Data = (BYTE *)PageHeapAlloc(LibraryHeap, (LONG)BufferSize);
  if (!Data) return;
  for (DWORD Index = 0; Index <= ValueCount; Index++) {
    CHAR ValueName[VALUE_NAME_SIZE];
    DWORD NameLength = VALUE_NAME_SIZE;
    DWORD DataLength = BufferSize;
    DWORD Type = 0;
    memset(Data, 0, BufferSize);
    LONG Result = RegEnumValueA(Parameters, Index, ValueName, &NameLength, NULL, &Type, Data, &DataLength);
    if (Result == ERROR_NO_MORE_ITEMS) break;
    if (Result == ERROR_SUCCESS) StoreParameterValue(ValueName, Data, DataLength);
  }
  PageHeapFree(LibraryHeap, Data, (LONG)BufferSize);
}

LONG ReadInstanceParameters(void) {
  /* A reconfiguration shows this instance's values, never those of an earlier call. */
  memset(CurrentValues, 0, sizeof(CurrentValues));
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SERVICES_PATH, 0, REGISTRY_ACCESS, &ServicesKey) != ERROR_SUCCESS) {
    ServicesKey = NULL;
    return 3;
  }
  CHAR Instance[KEY_NAME_SIZE];
  if (!FindInstanceKey(Instance)) return 3;

  CHAR Path[sizeof(SERVICES_PATH) + KEY_NAME_SIZE + sizeof("\\Parameters")];
  sprintf(Path, "%s\\%s\\Parameters", SERVICES_PATH, Instance);
  HKEY Parameters;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, Path, 0, REGISTRY_ACCESS, &Parameters) != ERROR_SUCCESS) return 3;
  CHAR KeyClass[KEY_NAME_SIZE];
  DWORD ClassLength = KEY_NAME_SIZE;
  DWORD ValueCount = 0, LongestData = 0;
  LONG Result = RegQueryInfoKeyA(Parameters, KeyClass, &ClassLength, NULL, NULL, NULL, NULL, &ValueCount, NULL,
                                 &LongestData, NULL, NULL);
  if (Result == ERROR_SUCCESS) ReadParameterValues(Parameters, ValueCount, LongestData);
  RegCloseKey(Parameters);
  return Result == ERROR_SUCCESS ? 0 : 3;
}

void CloseServicesKey(void) {
  if (ServicesKey) RegCloseKey(ServicesKey);
  ServicesKey = NULL;
}
