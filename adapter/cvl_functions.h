/* The function table: per function code, its driver object, operation and how
   its request is built and its results copied. */
#ifndef CVL_FUNCTIONS_H
#define CVL_FUNCTIONS_H

#include "cvlapi.h"

/* How a function builds its request and copies its results. */
typedef enum _CVL_KIND {
  CVL_KIND_NONE,         /* no function */
  CVL_KIND_CONFIG,       /* 1: configuration record to eight variables */
  CVL_KIND_READ_MEMORY,  /* 2: address, count | buffer */
  CVL_KIND_WRITE_MEMORY, /* 3: address, count, source */
  CVL_KIND_FIRMWARE,     /* 6: the two firmware texts */
  CVL_KIND_ADDRESS,      /* 7: the station address, without a request block */
  CVL_KIND_FIXED,        /* 9: | buffer; the DataLength bytes of the data area */
  CVL_KIND_FIXED_PART,   /* 8, 17: | length, buffer; at most the DataLength bytes */
  CVL_KIND_SEND,         /* Words words from the caller, then Trailer when it is set */
  CVL_KIND_FLAG,         /* 19: one word, 0 or 1 */
  CVL_KIND_VALUE,        /* 20: the word of the reply is the result */
  CVL_KIND_STATION,      /* 30, 31, 41: a 6-byte station address from the caller */
  CVL_KIND_REPLY_LENGTH, /* 15, 25, 26: data length | buffer, as much as the reply's Length says */
  CVL_KIND_ACL,          /* 33: data length | buffer; result: the number of entries */
  CVL_KIND_COUNTERS      /* 24: length | CVL_COUNTERS */
} CVL_KIND;

#define CVL_NO_TRAILER 0xFFFF

typedef struct _CVL_FUNCTION {
  DWORD Oid;
  WORD Operation;
  BYTE Kind;       /* CVL_KIND_... */
  BYTE Words;      /* SEND: words taken from the caller */
  WORD DataLength; /* fixed data length sent (the variable ones add the caller's) */
  WORD Trailer;    /* SEND: a constant word written after the caller's, or CVL_NO_TRAILER */
} CVL_FUNCTION;

/* The entry of a function code, or null when the code has no function. */
const CVL_FUNCTION *CvlFindFunction(WORD Code);

#endif
