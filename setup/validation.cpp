#include "validation.h"

#include <stdio.h>
#include <string.h>

#include "dialog.h"
#include "page_heap.h"
#include "setup_text.h"

#define FIELD_TEXT_SIZE 10
#define FIELD_COUNT 8
#define FIRST_CELLAP_FIELD 5

BLOCK_LIST PendingMessages;
DWORD AllFieldsValid;

static DWORD ValidationReady;
static DWORD FieldReported[FIELD_COUNT];
static DWORD CellApReported;
/* A field found invalid at this OK (it stays refused even when its message
   could not be kept for want of memory). */
static BOOL InvalidFound;

typedef BOOL (*FIELD_CHECK)(LPCSTR Text);

typedef struct _FIELD {
  int Control;
  LPCSTR Key;
  FIELD_CHECK IsValid;
  LPCSTR Message;
} FIELD;

static BOOL IsOneOf(LPCSTR Text, const LPCSTR *Valid, size_t Count) {
  for (size_t i = 0; i < Count; i++)
    if (SameTextNoCase(Text, Valid[i])) return TRUE;
  return FALSE;
}

static BOOL SameAsText(LPCSTR Valid, LPCVOID Text) { return SameTextNoCase((LPCSTR)Text, Valid); }

/* One of the values that the list offers. */
static BOOL InRange(LPCSTR Text, const LIST_RANGE *Range) { return ForEachListText(Range, SameAsText, Text); }

static BOOL IsCardType(LPCSTR Text) {
  static const LPCSTR Valid[] = {"PCMCIA", "WPOS/ISA"};
  return IsOneOf(Text, Valid, 2);
}

static BOOL IsInterrupt(LPCSTR Text) {
  static const LPCSTR Valid[] = {"5", "10", "11", "12", "14", "15"};
  return IsOneOf(Text, Valid, 6);
}

static BOOL IsIoPort(LPCSTR Text) { return InRange(Text, &IoPortRange); }

static BOOL IsMemory(LPCSTR Text) { return InRange(Text, &MemoryRange); }

static BOOL IsNetId(LPCSTR Text) { return InRange(Text, &NetIdRange); }

static BOOL IsBeaconDelay(LPCSTR Text) { return InRange(Text, &BeaconDelayRange); }

static BOOL IsHopSequence(LPCSTR Text) { return InRange(Text, &HopSequenceRange); }

static BOOL IsApId(LPCSTR Text) { return InRange(Text, &ApIdRange); }

/* In the order of checking; the last three only while CellAP is on. */
static const FIELD Fields[FIELD_COUNT] = {
    {IDC_CARD_TYPE, "CardType", IsCardType, "ERROR - Card Type is invalid. Value must be PCMCIA or WPOS/ISA."},
    {IDC_INTERRUPT, "Interrupt", IsInterrupt, "ERROR - Interrupt Number is invalid. Click on HELP for valid values."},
    {IDC_IO_PORT, "IOBaseAddress", IsIoPort, "ERROR - IO Port Address is invalid. Click on HELP for valid values."},
    {IDC_MEMORY, "PCCARDAttributeMemoryAddress", IsMemory,
     "ERROR - Memory Base Address is invalid. Click on HELP for valid values."},
    {IDC_NET_ID, "Net_ID", IsNetId, "ERROR - Net_ID is invalid. Click on HELP for valid values."},
    {IDC_BEACON_DELAY, "CellAP_BDelay", IsBeaconDelay,
     "ERROR - Beacon Delay is invalid. Click on HELP for valid values."},
    {IDC_HOP_SEQUENCE, "CellAP_Hop_Seq", IsHopSequence,
     "ERROR - Hopping Sequence is invalid. Click on HELP for valid values."},
    {IDC_AP_ID, "CellAP_ID", IsApId, "ERROR - Access Point Id is invalid. Click on HELP for valid values."},
};

static void CheckField(int Index) {
  const FIELD *Field = &Fields[Index];
  CHAR Text[FIELD_TEXT_SIZE];
  GetDlgItemTextA(DialogWindow, Field->Control, Text, FIELD_TEXT_SIZE);
  if (Field->IsValid(Text)) {
    if (FieldReported[Index]) RemoveMessages(Field->Key);
    return;
  }
  VALIDATION_MESSAGE Message;
  memset(&Message, 0, sizeof(Message));
  strncpy(Message.Key, Field->Key, sizeof(Message.Key) - 1);
  strncpy(Message.Text, Field->Message, sizeof(Message.Text) - 1);
  BlockListAppend(&MessagePool, PendingMessages, &Message, sizeof(Message));
  FieldReported[Index] = 1;
  if (Index >= FIRST_CELLAP_FIELD) CellApReported = 1;
  InvalidFound = TRUE;
}

void ValidateAll(void) {
  if (!ValidationReady) {
    LibraryHeap = PageHeapCreate();
    BlockListPoolInit(&MessagePool);
    ValidationReady = 1;
  }
  if (!PendingMessages) PendingMessages = BlockListCreate(&MessagePool);
  InvalidFound = FALSE;
  for (int i = 0; i < FIRST_CELLAP_FIELD; i++) CheckField(i);
  if (CellApFlag) {
    for (int i = FIRST_CELLAP_FIELD; i < FIELD_COUNT; i++) CheckField(i);
  } else if (CellApReported) {
    for (int i = FIRST_CELLAP_FIELD; i < FIELD_COUNT; i++) RemoveMessages(Fields[i].Key);
  }
  AllFieldsValid = !InvalidFound && (!PendingMessages || BlockListIsEmpty(PendingMessages));
}

void ResetValidation(void) {
  for (int i = 0; i < FIELD_COUNT; i++) {
    if (FieldReported[i]) RemoveMessages(Fields[i].Key);
    FieldReported[i] = 0;
  }
  CellApReported = 0;
  AllFieldsValid = 0;
}

void ShowFirstMessage(void) {
  if (!PendingMessages) return;
  VALIDATION_MESSAGE *First = (VALIDATION_MESSAGE *)BlockListFirst(PendingMessages);
  if (!First) return;
  CHAR Text[sizeof(First->Text)];
  memcpy(Text, First->Text, sizeof(Text));
  Text[sizeof(Text) - 1] = '\0';
  ShowWindow(GetDlgItem(DialogWindow, IDC_STATUS_LINE), SW_SHOW);
  SetDlgItemTextA(DialogWindow, IDC_STATUS_LINE, Text);
  MessageBeep(MB_OK);
}

void RemoveMessages(LPCSTR Key) {
  if (!PendingMessages) return;
  VALIDATION_MESSAGE *Message = (VALIDATION_MESSAGE *)BlockListFirst(PendingMessages);
  while (Message) {
    VALIDATION_MESSAGE *Next = (VALIDATION_MESSAGE *)BlockListNext(Message);
    if (SameTextNoCase(Message->Key, Key)) BlockListRemove(&MessagePool, Message);
    Message = Next;
  }
}
