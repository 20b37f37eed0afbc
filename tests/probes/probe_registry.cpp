// Registry enumeration: the order of subkeys and values, and what short buffers
// give. Reads HKEY_LOCAL_MACHINE\SYSTEM\CvProbe as registry.reg beside this file
// makes it.
#include "probe.h"

#include <string.h>

static void EnumKeys(HKEY key) {
  for (DWORD index = 0;; ++index) {
    char name[128];
    LONG status = RegEnumKeyA(key, index, name, sizeof name);
    if (status != ERROR_SUCCESS) {
      printf("subkey %lu: %s\n", (unsigned long)index, ProbeStatus(status));
      break;
    }
    printf("subkey %lu: %s\n", (unsigned long)index, name);
  }
}

static void EnumKeyShort(HKEY key, DWORD index, DWORD size) {
  char name[128];
  memset(name, '#', sizeof name);
  name[sizeof name - 1] = 0;
  LONG status = RegEnumKeyA(key, index, name, size);
  printf("subkey %lu into %lu characters: %s\n", (unsigned long)index, (unsigned long)size, ProbeStatus(status));
}

static void EnumValues(HKEY key) {
  for (DWORD index = 0;; ++index) {
    char name[128];
    DWORD nameLength = sizeof name;
    BYTE data[64];
    DWORD dataLength = sizeof data;
    DWORD type = 99;
    LONG status = RegEnumValueA(key, index, name, &nameLength, NULL, &type, data, &dataLength);
    if (status != ERROR_SUCCESS) {
      printf("value %lu: %s\n", (unsigned long)index, ProbeStatus(status));
      break;
    }
    printf("value %lu: %s (name length %lu), type %lu, %lu bytes\n", (unsigned long)index, name,
           (unsigned long)nameLength, (unsigned long)type, (unsigned long)dataLength);
  }
}

// A short name buffer or a short data buffer.
static void EnumValueShort(HKEY key, DWORD index, DWORD nameSize, DWORD dataSize) {
  char name[128];
  memset(name, '#', sizeof name);
  name[sizeof name - 1] = 0;
  BYTE data[64];
  memset(data, 0x23, sizeof data);
  DWORD nameLength = nameSize;
  DWORD dataLength = dataSize;
  DWORD type = 99;
  LONG status = RegEnumValueA(key, index, name, &nameLength, NULL, &type, data, &dataLength);
  printf("value %lu into %lu/%lu: %s, name \"%.20s\" length %lu, type %lu, data length %lu, data[0] %u\n",
         (unsigned long)index, (unsigned long)nameSize, (unsigned long)dataSize, ProbeStatus(status), name,
         (unsigned long)nameLength, (unsigned long)type, (unsigned long)dataLength, data[0]);
}

static void QueryInfo(const char* what, HKEY key) {
  DWORD subkeys = 0, maxSubkey = 0, maxClass = 0, values = 0, maxValueName = 0, maxValue = 0;
  LONG status = RegQueryInfoKeyA(key, NULL, NULL, NULL, &subkeys, &maxSubkey, &maxClass, &values, &maxValueName,
                                 &maxValue, NULL, NULL);
  printf("info of %s: %s, %lu subkeys (longest %lu), %lu values (longest name %lu, longest data %lu)\n", what,
         ProbeStatus(status), (unsigned long)subkeys, (unsigned long)maxSubkey, (unsigned long)values,
         (unsigned long)maxValueName, (unsigned long)maxValue);
}

int main() {
  HKEY probe;
  LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CvProbe", 0, KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS, &probe);
  printf("open SYSTEM\\CvProbe: %s\n", ProbeStatus(status));
  if (status != ERROR_SUCCESS) return 1;

  HKEY missing;
  printf("open SYSTEM\\CvProbe\\missing: %s\n",
         ProbeStatus(RegOpenKeyExA(probe, "missing", 0, KEY_QUERY_VALUE, &missing)));
  HKEY upper;
  status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, "system\\cvprobe\\PARAMETERS", 0, KEY_QUERY_VALUE, &upper);
  printf("open in other letter case: %s\n", ProbeStatus(status));
  if (status == ERROR_SUCCESS) RegCloseKey(upper);

  QueryInfo("CvProbe", probe);
  EnumKeys(probe);
  EnumKeyShort(probe, 1, 5);  // "Alpha": exactly its length, no room for the NUL
  EnumKeyShort(probe, 1, 6);
  EnumKeyShort(probe, 1, 0);

  HKEY parameters;
  status = RegOpenKeyExA(probe, "Parameters", 0, KEY_QUERY_VALUE, &parameters);
  printf("open Parameters: %s\n", ProbeStatus(status));
  if (status == ERROR_SUCCESS) {
    QueryInfo("Parameters", parameters);
    EnumValues(parameters);
    EnumValueShort(parameters, 0, 2, 64);
    EnumValueShort(parameters, 0, 4, 64);
    EnumValueShort(parameters, 0, 5, 64);
    EnumValueShort(parameters, 1, 64, 2);
    EnumValueShort(parameters, 1, 64, 3);
    EnumValueShort(parameters, 1, 64, 4);
    char text[16];
    DWORD length = sizeof text, type = 99;
    status = RegQueryValueExA(parameters, "AUTOCONFIG", NULL, &type, (BYTE*)text, &length);
    printf("query AUTOCONFIG: %s, type %lu, length %lu\n", ProbeStatus(status), (unsigned long)type,
           (unsigned long)length);
    length = sizeof text;
    printf("query Missing: %s\n", ProbeStatus(RegQueryValueExA(parameters, "Missing", NULL, &type, (BYTE*)text, &length)));
    RegCloseKey(parameters);
  }
  char closedName[16];
  printf("enumerate a closed key: %s\n", ProbeStatus(RegEnumKeyA(parameters, 0, closedName, sizeof closedName)));
  RegCloseKey(probe);
  return 0;
}
