// A fuzz target's own checks: a broken property stops the run as a crash does,
// so that the fuzzer keeps the input that shows it.
#pragma once

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition, what)                                                                 \
  do {                                                                                              \
    if (!(condition)) {                                                                             \
      std::fprintf(stderr, "%s:%d: check failed: %s (%s)\n", __FILE__, __LINE__, what, #condition); \
      std::abort();                                                                                 \
    }                                                                                               \
  } while (0)
