/* The adapter access library: finds the adapter's driver instance, opens it and
   carries each numbered API function to the driver as one request block.

   Use: CvlapiLocate once at start (null: no usable driver), then any number of
   calls through the entry it returns, CvlapiClose once at the end.

     CVLAPI_PROC Cvlapi = CvlapiLocate();
     CVL_STATUS_BLOCK Status;
     if (Cvlapi && Cvlapi(CVL_FN_GET_STATUS, 50, &Status) == CVL_SUCCESS) ...
     return CvlapiClose();

   Every buffer the caller passes is owned by the caller; the library owns its one
   request block and the receive information area that function code 1 hands out. */
#ifndef CVLAPI_H
#define CVLAPI_H

#include <windows.h>

#include "cvl_records.h"

/* The driver's request path: the NDIS statistics query carries every request. */
#ifndef IOCTL_NDIS_QUERY_GLOBAL_STATS
#define IOCTL_NDIS_QUERY_GLOBAL_STATS 0x00170002
#endif
#ifndef OID_802_3_CURRENT_ADDRESS
#define OID_802_3_CURRENT_ADDRESS 0x01010102
#endif

/* ------------------------------------------------------------------------ */
/* The request block                                                         */

#define CVL_REQUEST_HEADER_SIZE 12
#define CVL_MEMORY_PREFIX_SIZE 4                                  /* address and count words */
#define CVL_MEMORY_MAX 32768                                      /* bytes per memory read or write */
#define CVL_DATA_MAX (CVL_MEMORY_PREFIX_SIZE + CVL_MEMORY_MAX)    /* 32,772 */
#define CVL_REQUEST_SIZE (CVL_REQUEST_HEADER_SIZE + CVL_DATA_MAX) /* 32,784 */

#pragma pack(push, 1)
typedef struct _CVL_REQUEST {
  DWORD Length;   /* whole block, header included: 12 + data length */
  WORD Operation; /* CVL_OP_... */
  WORD Reserved;  /* always 0 */
  DWORD Status;   /* written by the driver when it fails the request */
  BYTE Data[CVL_DATA_MAX];
} CVL_REQUEST, *PCVL_REQUEST;
#pragma pack(pop)

static_assert(sizeof(CVL_REQUEST) == CVL_REQUEST_SIZE, "CVL_REQUEST size");
static_assert(offsetof(CVL_REQUEST, Length) == 0, "CVL_REQUEST.Length");
static_assert(offsetof(CVL_REQUEST, Operation) == 4, "CVL_REQUEST.Operation");
static_assert(offsetof(CVL_REQUEST, Reserved) == 6, "CVL_REQUEST.Reserved");
static_assert(offsetof(CVL_REQUEST, Status) == 8, "CVL_REQUEST.Status");
static_assert(offsetof(CVL_REQUEST, Data) == CVL_REQUEST_HEADER_SIZE, "CVL_REQUEST.Data");

/* Operations: what the driver does with the block's object. */
#define CVL_OP_QUERY 1
#define CVL_OP_SET 2
#define CVL_OP_ADD 3
#define CVL_OP_DELETE 4
#define CVL_OP_COMMAND 5

/* Results of CvlapiCall (a signed 16-bit value widened to 32 bits). */
#define CVL_SUCCESS 0
#define CVL_BAD_FUNCTION (-1) /* no such function code; driver status 4 or 7 */
#define CVL_BAD_LENGTH (-2)   /* length or value out of range; driver status 5 or 6 */
#define CVL_REFUSED 1         /* driver status 8 or 9 */
#define CVL_FAILED 2          /* any other driver failure */

/* ------------------------------------------------------------------------ */
/* Function codes. Arguments follow the code in the order shown; values are  */
/* passed as int (the low 16 bits count), outputs as pointers. Arguments     */
/* after the bar are read only when the request succeeds.                    */

#define CVL_FN_GET_CONFIG \
  1                                /* | WORD* major, WORD* minor, WORD* irq, WORD* io_base,
                                        WORD* mem_base, WORD* net_id, WORD* aux, CVL_RX_INFO** */
#define CVL_FN_READ_MEMORY 2       /* address, count (1..32768) | void* buffer */
#define CVL_FN_WRITE_MEMORY 3      /* address, count (1..32768), const void* source */
#define CVL_FN_SET_NET_ID 4        /* value */
                                   /* 5: value */
#define CVL_FN_GET_FIRMWARE 6      /* | length1, char* version, length2, char* date */
#define CVL_FN_GET_ADDRESS 7       /* length (not 0), BYTE* buffer: the station address */
                                   /* 8: | length (at most 14), void* buffer */
                                   /* 9: | void* buffer (4 bytes) */
                                   /* 12, 13: value */
                                   /* 14: value1, value2, value3 */
#define CVL_FN_GET_STATUS 15       /* data length (at most 32772) | void* buffer */
                                   /* 16: none */
                                   /* 17: | length (at most 6), void* buffer */
                                   /* 18: none */
                                   /* 19: flag (0 or 1) */
                                   /* 20: none; result: the driver's value */
#define CVL_FN_SET_PREFERRED_AP 23 /* four values */
#define CVL_FN_GET_COUNTERS 24     /* | length (cut to 220), CVL_COUNTERS* */
                                   /* 25: data length (at most 32772) | void* buffer */
#define CVL_FN_GET_AP_ADDRESS 26   /* data length (at most 32772) | void* buffer */
                                   /* 27: value */
#define CVL_FN_ACL_ADD 30          /* const BYTE* address (6 bytes) */
#define CVL_FN_ACL_DELETE 31       /* const BYTE* address (6 bytes) */
#define CVL_FN_ACL_CLEAR 32        /* none */
#define CVL_FN_ACL_GET \
  33                   /* data length (at most 32772) | void* buffer;
                                        result: the number of entries */
                       /* 34: value */
                       /* 36: value1, value2 */
                       /* 37, 38, 39: none */
                       /* 40: value */
                       /* 41: const BYTE* address (6 bytes) */
#define CVL_FN_LAST 43 /* 10, 11, 21, 22, 28, 29, 35, 42, 43: no function */

/* Object identifiers: the driver objects behind the function codes. */
#define CVL_OID_CONFIG 0xFF010133                 /* 1, and the version request */
#define CVL_OID_MEMORY 0xFF010171                 /* 2 (query), 3 (set) */
#define CVL_OID_NET_ID 0xFF01010A                 /* 4 */
#define CVL_OID_FN5 0xFF01013C                    /* 5 */
#define CVL_OID_FIRMWARE 0xFF010106               /* 6 */
#define CVL_OID_ADDRESS OID_802_3_CURRENT_ADDRESS /* 7 */
#define CVL_OID_FN8 0xFF01013F                    /* 8 */
#define CVL_OID_FN9 0xFF010172                    /* 9 */
#define CVL_OID_FN12 0xFF01013D                   /* 12 */
#define CVL_OID_FN13 0xFF010107                   /* 13 */
#define CVL_OID_FN14 0xFF010135                   /* 14 */
#define CVL_OID_STATUS 0xFF020192                 /* 15 (query), 16 (set) */
#define CVL_OID_FN17 0xFF020190                   /* 17 (query), 18 (command) */
#define CVL_OID_FN19 0xFF010109                   /* 19 */
#define CVL_OID_FN20 0xFF020155                   /* 20 */
#define CVL_OID_PREFERRED_AP 0xFF010136           /* 23 */
#define CVL_OID_COUNTERS 0xFF020191               /* 24 */
#define CVL_OID_FN25 0xFF01013B                   /* 25 */
#define CVL_OID_AP_ADDRESS 0xFF010170             /* 26 */
#define CVL_OID_FN27 0xFF010173                   /* 27 */
#define CVL_OID_ACL 0xFF010150                    /* 30 (add), 31 (delete), 32 (set), 33 (query) */
#define CVL_OID_FN34 0xFF010134                   /* 34 */
#define CVL_OID_FN36 0xFF01013A                   /* 36 */
#define CVL_OID_FN37 0xFF010151                   /* 37, 38 */
#define CVL_OID_FN39 0xFF010153                   /* 39 */
#define CVL_OID_FN40 0xFF010137                   /* 40 */
#define CVL_OID_FN41 0xFF010138                   /* 41 */

/* Driver versions below this are refused: major 2 or more, or minor 4 or more. */
#define CVL_MIN_VERSION_MAJOR 2
#define CVL_MIN_VERSION_MINOR 4

/* ------------------------------------------------------------------------ */
/* Adapter memory (16-bit addresses), read and written with codes 2 and 3.   */

#define CVL_MEM_AP_TABLE_PTR 0x176 /* word: address of the access-point table */
#define CVL_MEM_ASSOC_TABLE_PTR \
  0x17C                            /* word: address of the association table, 0 if none;
                                          the associated-station count is the word below it */
#define CVL_MEM_MODE 0x386         /* byte: adapter mode */
#define CVL_MEM_STATUS_BLOCK 0x500 /* CVL_STATUS_BLOCK */

#define CVL_MODE_CELLAP 4 /* CVL_MEM_MODE of an adapter working as access point */

/* ------------------------------------------------------------------------ */
/* Entry points                                                              */

#ifdef __cplusplus
extern "C" {
#endif

/* The API entry: a function code (its low 16 bits), then that code's arguments. */
typedef LONG (*CVLAPI_PROC)(LONG Code, ...);

/* Opens the driver instance and checks its version. Returns CvlapiCall, or null
   when no usable driver is installed. Once open, later calls return at once. */
CVLAPI_PROC CvlapiLocate(void);

LONG CvlapiCall(LONG Code, ...);

/* Closes the device and removes the DOS device name that CvlapiLocate defined.
   Returns 0, or CVL_CLOSE_NAME_KEPT when that name cannot be removed. Safe to
   call at any time. */
#define CVL_CLOSE_NAME_KEPT 2

LONG CvlapiClose(void);

#ifdef __cplusplus
}
#endif

#endif
