/* CV_UTIL: one adapter function per run, chosen by a letter on the command line.
   The program's buffers are static and shared by its functions, of which one runs
   per invocation. */
#ifndef CV_UTIL_H
#define CV_UTIL_H

#include "cvlapi.h"

/* The whole program: arguments in, exit status out (0, 1 no driver, 2 the DOS
   device name could not be removed). */
int CvUtilMain(int argc, char **argv);

/* The API entry that CvlapiLocate returned. */
extern CVLAPI_PROC Cvlapi;

extern CVL_STATUS_BLOCK StatusBuffer;
#define ADDRESS_BUFFER_ENTRIES 20
extern BYTE AddressBuffer[ADDRESS_BUFFER_ENTRIES * CVL_ADDRESS_LENGTH];

void PrintUsage(void);

/* The functions, by letter. */
void ShowConfiguration(void);               /* A */
void ShowAssociation(void);                 /* B */
void SetPreferredAp(const char *ApId);      /* B <AP_ID> */
void SetNetId(int argc, char **argv);       /* N, D */
void ShowStatus(int argc, char **argv);     /* I */
void ShowAcl(void);                         /* W */
void AddAclEntry(int argc, char **argv);    /* X */
void DeleteAclEntry(int argc, char **argv); /* Y */
void ClearAcl(void);                        /* Z */

/* Reads a hexadecimal number as "%x" does (white space, sign, "0x", digits up to
   the first other character), keeping the low 32 bits of a long one. FALSE when
   Text does not begin with a hexadecimal number; *Value is then unchanged. */
BOOL ParseHex(const char *Text, DWORD *Value);

#endif
