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

typedef struct PARAMETER_VALUE {
  LPCSTR Name;
  BOOL Hex;  // HexText, else signed decimal
} PARAMETER_VALUE;

static const PARAMETER_VALUE ParameterValues[CURRENT_VALUE_COUNT] = {
    {"CardType", FALSE},
    {"Diversity", FALSE},
    {"InterruptNumber", FALSE},
    {"IoBaseAddress", TRUE},
    {"CellAP", FALSE},
    {"CellAP_BDelay", FALSE},
    {"CellAP_Hop_Seq", FALSE},
    {"CellAP_Id", TRUE},
    {"PCCARDAttributeMemoryAddress", TRUE},
    {"Net_Id", TRUE},
};

void StoreParameterValue(LPCSTR valueName, const BYTE* data, DWORD dataLength) {
  for (int i = 0; i < CURRENT_VALUE_COUNT; i++) {
    if (!SameTextNoCase(valueName, ParameterValues[i].Name)) continue;
    // The first four bytes, least significant first; missing bytes count as 0.
    DWORD number = 0;
    for (DWORD b = 0; b < 4 && b < dataLength && data; b++) number |= (DWORD)data[b] << (8 * b);
    if (ParameterValues[i].Hex)
      HexText(number, CurrentValues[i]);
    else
      sprintf(CurrentValues[i], "%ld", (long)(LONG)number);
    return;
  }
}

BOOL FindInstanceKey(LPSTR name) {
  for (DWORD index = 0;; index++) {
    if (RegEnumKeyA(ServicesKey, index, name, KEY_NAME_SIZE) != ERROR_SUCCESS) return FALSE;
    for (int n = 1; n <= 10; n++) {
      CHAR instance[16];
      sprintf(instance, "CVLAN%d", n);
      if (SameTextNoCase(name, instance)) return TRUE;
    }
  }
}

// Reads every value of the parameter key; a value whose enumeration fails is
// skipped, and only the data bytes that the registry returned are looked at.
static void ReadParameterValues(HKEY parameters, DWORD valueCount, DWORD longestData) {
  DWORD bufferSize = longestData > 4 ? longestData : 4;
  BYTE* data = (BYTE*)PageHeapAlloc(LibraryHeap, (LONG)bufferSize);
  if (!data) return;
  for (DWORD index = 0; index <= valueCount; index++) {
    CHAR valueName[VALUE_NAME_SIZE];
    DWORD nameLength = VALUE_NAME_SIZE;
    DWORD dataLength = bufferSize;
    DWORD type = 0;
    memset(data, 0, bufferSize);
    LONG result = RegEnumValueA(parameters, index, valueName, &nameLength, NULL, &type, data, &dataLength);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result == ERROR_SUCCESS) StoreParameterValue(valueName, data, dataLength);
  }
  PageHeapFree(LibraryHeap, data, (LONG)bufferSize);
}

LONG ReadInstanceParameters(void) {
  // A reconfiguration shows this instance's values, never those of an earlier call.
  memset(CurrentValues, 0, sizeof(CurrentValues));
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SERVICES_PATH, 0, REGISTRY_ACCESS, &ServicesKey) != ERROR_SUCCESS) {
    ServicesKey = NULL;
    return 3;
  }
  CHAR instance[KEY_NAME_SIZE];
  if (!FindInstanceKey(instance)) return 3;

  CHAR path[sizeof(SERVICES_PATH) + KEY_NAME_SIZE + sizeof("\\Parameters")];
  sprintf(path, "%s\\%s\\Parameters", SERVICES_PATH, instance);
  HKEY parameters;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, REGISTRY_ACCESS, &parameters) != ERROR_SUCCESS) return 3;
  CHAR keyClass[KEY_NAME_SIZE];
  DWORD classLength = KEY_NAME_SIZE;
  DWORD valueCount = 0, longestData = 0;
  LONG result = RegQueryInfoKeyA(parameters, keyClass, &classLength, NULL, NULL, NULL, NULL, &valueCount, NULL,
                                 &longestData, NULL, NULL);
  if (result == ERROR_SUCCESS) ReadParameterValues(parameters, valueCount, longestData);
  RegCloseKey(parameters);
  return result == ERROR_SUCCESS ? 0 : 3;
}

void CloseServicesKey(void) {
  if (ServicesKey) RegCloseKey(ServicesKey);
  ServicesKey = NULL;
}
