/* The word table of function code 24: the driver's 32-bit counters, which start
   at byte 192 of its reply, picked and summed into 46 words. */
#include "cvl_internal.h"

#define COUNTERS_AT 192
#define ZERO 0xFF /* a word that is always 0 */
#define MAX_TERMS 4

/* The counters whose sum makes each word, ended by ZERO where fewer than four. */
static const BYTE WordSources[CVL_COUNTER_WORDS][MAX_TERMS] = {
    {0, ZERO},       {15, ZERO}, {27, ZERO}, {29, ZERO}, {41, ZERO},             /* 0 to 4 */
    {3, ZERO},       {22, ZERO}, {59, ZERO}, {34, ZERO}, {1, ZERO},              /* 5 to 9 */
    {2, ZERO},       {60, ZERO}, {60, ZERO}, {63, ZERO}, {38, ZERO},             /* 10 to 14 */
    {50, ZERO},      {51, ZERO}, {52, ZERO}, {53, ZERO}, {48, ZERO}, {46, ZERO}, /* 15 to 20 */
    {9, 10, 7, 8},                                                               /* 21 */
    {45, ZERO},      {38, ZERO}, {35, ZERO},                                     /* 22 to 24 */
    {36, 37, ZERO},                                                              /* 25 */
    {39, ZERO},      {40, ZERO},                                                 /* 26, 27 */
    {5, 6, 4, ZERO},                                                             /* 28 */
    {ZERO},          {ZERO},     {ZERO},     {ZERO},     {ZERO},                 /* 29 to 33 */
    {54, ZERO},      {55, ZERO}, {56, ZERO}, {57, ZERO}, {58, ZERO},             /* 34 to 38 */
    {ZERO},                                                                      /* 39 */
    {12, ZERO},      {13, ZERO}, {14, ZERO}, {24, ZERO}, {25, ZERO}, {26, ZERO}, /* 40 to 45 */
};

void CvlBuildCounterWords(const BYTE *Data, BYTE *Words) {
  for (int w = 0; w < CVL_COUNTER_WORDS; w++) {
    DWORD Sum = 0;
    for (int t = 0; t < MAX_TERMS && WordSources[w][t] != ZERO; t++)
      Sum += CvlGetDword(Data + COUNTERS_AT + 4 * WordSources[w][t]);
    CvlPutWord(Words + 2 * w, (WORD)Sum);
  }
}
