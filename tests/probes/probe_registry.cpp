// Registry enumeration: the order of subkeys and values, and what short buffers
// give. Reads HKEY_LOCAL_MACHINE\SYSTEM\CvProbe as registry.reg beside this file
// makes it.
#include "probe.h"

#include <string.h>

// The whole enumeration on one line, so that an order that differs is one fact.
static void EnumKeys(HKEY key) {
  printf("subkeys in order:");
  for (DWORD index = 0;; ++index) {
    char name[128];
    LONG status = RegEnumKeyA(key, index, name, sizeof name);
    if (status != ERROR_SUCCESS) {
      printf("; then %s\n", ProbeStatus(status));
      break;
    }
    printf("%s %s", index ? "," : "", name);
  }
}

// The index of a subkey or value, found by name, so that the short-buffer cases
// below do not depend on the enumeration order (which is probed above).
static DWORD IndexOfKey(HKEY key, const char *wanted) {
  char name[128];
  for (DWORD index = 0; RegEnumKeyA(key, index, name, sizeof name) == ERROR_SUCCESS; ++index) {
    if (strcmp(name, wanted) == 0) return index;
  }
  return 999;
}

static DWORD IndexOfValue(HKEY key, const char *wanted) {
  char name[128];
  DWORD length = sizeof name;
  for (DWORD index = 0; RegEnumValueA(key, index, name, &length, NULL, NULL, NULL, NULL) == ERROR_SUCCESS; ++index) {
    if (strcmp(name, wanted) == 0) return index;
    length = sizeof name;
  }
  return 999;
}

static void EnumKeyShort(HKEY key, const char *wanted, DWORD size) {
  DWORD index = IndexOfKey(key, wanted);
  char name[128];
  memset(name, '#', sizeof name);
  name[sizeof name - 1] = 0;
  LONG status = RegEnumKeyA(key, index, name, size);
  printf("subkey %s into %lu characters: %s, buffer \"%.20s\"\n", wanted, (unsigned long)size, ProbeStatus(status),
         name);
}

static void EnumValues(HKEY key) {
  printf("values in order:");
  for (DWORD index = 0;; ++index) {
    char name[128];
    DWORD nameLength = sizeof name;
    BYTE data[64];
    DWORD dataLength = sizeof data;
    DWORD type = 99;
    LONG status = RegEnumValueA(key, index, name, &nameLength, NULL, &type, data, &dataLength);
    if (status != ERROR_SUCCESS) {
      printf("; then %s\n", ProbeStatus(status));
      break;
    }
    printf("%s %s (name length %lu, type %lu, %lu bytes)", index ? "," : "", name, (unsigned long)nameLength,
           (unsigned long)type, (unsigned long)dataLength);
  }
}

// A short name buffer or a short data buffer.
static void EnumValueShort(HKEY key, const char *wanted, DWORD nameSize, DWORD dataSize) {
  DWORD index = IndexOfValue(key, wanted);
  char name[128];
  memset(name, '#', sizeof name);
  name[sizeof name - 1] = 0;
  BYTE data[64];
  memset(data, 0x23, sizeof data);
  DWORD nameLength = nameSize;
  DWORD dataLength = dataSize;
  DWORD type = 99;
  LONG status = RegEnumValueA(key, index, name, &nameLength, NULL, &type, data, &dataLength);
  printf("value %s into %lu/%lu: %s, name \"%.20s\" length %lu, type %lu, data length %lu, data[0] %u\n", wanted,
         (unsigned long)nameSize, (unsigned long)dataSize, ProbeStatus(status), name, (unsigned long)nameLength,
         (unsigned long)type, (unsigned long)dataLength, data[0]);
}

static void QueryInfo(const char *what, HKEY key) {
  DWORD subkeys = 0, maxSubkey = 0, maxClass = 0, values = 0, maxValueName = 0, maxValue = 0;
  LONG status = RegQueryInfoKeyA(key, NULL, NULL, NULL, &subkeys, &maxSubkey, &maxClass, &values, &maxValueName,
                                 &maxValue, NULL, NULL);
  printf("info of %s: %s, %lu subkeys (longest %lu), %lu values (longest name %lu, longest data %lu)\n", what,
         ProbeStatus(status), (unsigned long)subkeys, (unsigned long)maxSubkey, (unsigned long)values,
         (unsigned long)maxValueName, (unsigned long)maxValue);
}

int main() {
  HKEY probe;
  LONG status =
      RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CvProbe", 0, KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS, &probe);
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
  EnumKeyShort(probe, "Alpha", 5); // exactly its length, no room for the NUL
  EnumKeyShort(probe, "Alpha", 6);
  EnumKeyShort(probe, "Alpha", 1);

  HKEY parameters;
  status = RegOpenKeyExA(probe, "Parameters", 0, KEY_QUERY_VALUE, &parameters);
  printf("open Parameters: %s\n", ProbeStatus(status));
  if (status == ERROR_SUCCESS) {
    QueryInfo("Parameters", parameters);
    EnumValues(parameters);
    EnumValueShort(parameters, "Zone", 2, 64); // names: cut, exactly the length, room for the NUL
    EnumValueShort(parameters, "Zone", 4, 64);
    EnumValueShort(parameters, "Zone", 5, 64);
    EnumValueShort(parameters, "AutoConfig", 64, 3); // data: "yes" without and with its NUL
    EnumValueShort(parameters, "AutoConfig", 64, 4);
    EnumValueShort(parameters, "Blob", 64, 2);
    char text[16];
    DWORD length = sizeof text, type = 99;
    status = RegQueryValueExA(parameters, "AUTOCONFIG", NULL, &type, (BYTE *)text, &length);
    printf("query AUTOCONFIG: %s, type %lu, length %lu\n", ProbeStatus(status), (unsigned long)type,
           (unsigned long)length);
    length = sizeof text;
    printf("query Missing: %s\n",
           ProbeStatus(RegQueryValueExA(parameters, "Missing", NULL, &type, (BYTE *)text, &length)));
    RegCloseKey(parameters);
  }
  char closedName[16];
  printf("enumerate a closed key: %s\n", ProbeStatus(RegEnumKeyA(parameters, 0, closedName, sizeof closedName)));
  RegCloseKey(probe);
  return 0;
}
