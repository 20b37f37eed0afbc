/* The installed driver's parameters, read from its instance's "Parameters" key
   into the texts that the configuration dialog presets its lists from. */
#ifndef CVSETUP_REGISTRY_PARAMETERS_H
#define CVSETUP_REGISTRY_PARAMETERS_H

#include <windows.h>

/* The ten values, in the order in which their names are compared. */
enum CURRENT_VALUE {
  CV_CARD_TYPE,
  CV_DIVERSITY,
  CV_INTERRUPT_NUMBER,
  CV_IO_BASE_ADDRESS,
  CV_CELLAP,
  CV_CELLAP_BDELAY,
  CV_CELLAP_HOP_SEQ,
  CV_CELLAP_ID,
  CV_MEMORY_ADDRESS,
  CV_NET_ID,
  CURRENT_VALUE_COUNT
};

/* Room for the longest form of a 32-bit value and the NUL. */
#define CURRENT_VALUE_SIZE 12

/* Room for a value name and its NUL; a longer name's value is passed over. */
#define VALUE_NAME_SIZE 128

/* Each value's text; empty when the value is not present. */
extern CHAR CurrentValues[CURRENT_VALUE_COUNT][CURRENT_VALUE_SIZE];

/* 0 when an instance was found and its parameter key read, 3 otherwise. Leaves
   the services list open for CloseServicesKey. */
LONG ReadInstanceParameters(void);
void CloseServicesKey(void);
/* The name of the first services subkey named CVLAN1 to CVLAN10 (any case), as
   the registry spells it, in name (260 characters); FALSE when there is none. */
BOOL FindInstanceKey(LPSTR Name);
/* Writes the current-value text of a value whose name is one of the ten. */
void StoreParameterValue(LPCSTR ValueName, const BYTE *Data, DWORD DataLength);

#endif
