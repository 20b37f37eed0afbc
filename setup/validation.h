/* The check made on OK: every field's text must equal one of the texts its list
   offers. A field found invalid leaves a message in a list of pending messages
   that lives as long as the library; the oldest one is shown in the status line. */
#ifndef CVSETUP_VALIDATION_H
#define CVSETUP_VALIDATION_H

#include <windows.h>

#include <stddef.h>

#include "block_list.h"

typedef struct _VALIDATION_MESSAGE {
  CHAR Key[30];  /* the field's key */
  CHAR Text[80]; /* what the status line shows */
} VALIDATION_MESSAGE;

static_assert(sizeof(VALIDATION_MESSAGE) == 110, "VALIDATION_MESSAGE layout");
static_assert(offsetof(VALIDATION_MESSAGE, Text) == 30, "VALIDATION_MESSAGE layout");

/* Oldest first; created by the first ValidateAll after the library is loaded. */
extern BLOCK_LIST PendingMessages;
/* 1 after a ValidateAll that left no message pending and found every field valid. */
extern DWORD AllFieldsValid;

void ValidateAll(void);
/* A new dialog starts with no message pending and no field reported. */
void ResetValidation(void);
/* Shows the oldest pending message in the status line, with a beep. */
void ShowFirstMessage(void);
/* Removes every pending message whose key equals key (without regard to case). */
void RemoveMessages(LPCSTR Key);

#endif
