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
// A field found invalid at this OK (it stays refused even when its message
// could not be kept for want of memory).
static BOOL InvalidFound;

typedef BOOL (*FIELD_CHECK)(LPCSTR text);

typedef struct FIELD {
  int Control;
  LPCSTR Key;
  FIELD_CHECK IsValid;
  LPCSTR Message;
} FIELD;

static BOOL IsOneOf(LPCSTR text, const LPCSTR* valid, size_t count) {
  for (size_t i = 0; i < count; i++)
    if (SameTextNoCase(text, valid[i])) return TRUE;
  return FALSE;
}

static BOOL SameAsText(LPCSTR valid, LPCVOID text) { return SameTextNoCase((LPCSTR)text, valid); }

// One of the values that the list offers.
static BOOL InRange(LPCSTR text, const LIST_RANGE* range) { return ForEachListText(range, SameAsText, text); }

static BOOL IsCardType(LPCSTR text) {
  static const LPCSTR valid[] = {"PCMCIA", "WPOS/ISA"};
  return IsOneOf(text, valid, 2);
}

static BOOL IsInterrupt(LPCSTR text) {
  static const LPCSTR valid[] = {"5", "10", "11", "12", "14", "15"};
  return IsOneOf(text, valid, 6);
}

static BOOL IsIoPort(LPCSTR text) { return InRange(text, &IoPortRange); }

static BOOL IsMemory(LPCSTR text) { return InRange(text, &MemoryRange); }

static BOOL IsNetId(LPCSTR text) { return InRange(text, &NetIdRange); }

static BOOL IsBeaconDelay(LPCSTR text) { return InRange(text, &BeaconDelayRange); }

static BOOL IsHopSequence(LPCSTR text) { return InRange(text, &HopSequenceRange); }

static BOOL IsApId(LPCSTR text) { return InRange(text, &ApIdRange); }

// In the order of checking; the last three only while CellAP is on.
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

static void CheckField(int index) {
  const FIELD* field = &Fields[index];
  CHAR text[FIELD_TEXT_SIZE];
  GetDlgItemTextA(DialogWindow, field->Control, text, FIELD_TEXT_SIZE);
  if (field->IsValid(text)) {
    if (FieldReported[index]) RemoveMessages(field->Key);
    return;
  }
  VALIDATION_MESSAGE message;
  memset(&message, 0, sizeof(message));
  strncpy(message.Key, field->Key, sizeof(message.Key) - 1);
  strncpy(message.Text, field->Message, sizeof(message.Text) - 1);
  BlockListAppend(&MessagePool, PendingMessages, &message, sizeof(message));
  FieldReported[index] = 1;
  if (index >= FIRST_CELLAP_FIELD) CellApReported = 1;
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
  VALIDATION_MESSAGE* first = (VALIDATION_MESSAGE*)BlockListFirst(PendingMessages);
  if (!first) return;
  CHAR text[sizeof(first->Text)];
  memcpy(text, first->Text, sizeof(text));
  text[sizeof(text) - 1] = '\0';
  ShowWindow(GetDlgItem(DialogWindow, IDC_STATUS_LINE), SW_SHOW);
  SetDlgItemTextA(DialogWindow, IDC_STATUS_LINE, text);
  MessageBeep(MB_OK);
}

void RemoveMessages(LPCSTR key) {
  if (!PendingMessages) return;
  VALIDATION_MESSAGE* message = (VALIDATION_MESSAGE*)BlockListFirst(PendingMessages);
  while (message) {
    VALIDATION_MESSAGE* next = (VALIDATION_MESSAGE*)BlockListNext(message);
    if (SameTextNoCase(message->Key, key)) BlockListRemove(&MessagePool, message);
    message = next;
  }
}
