#pragma once

#include <cstdio>
#include <cstdlib>

// An invariant of a fuzz target: when it fails, say which one before the
// fuzzer saves the input.
#define FUZZ_CHECK(condition)                                                            \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                      \
    }                                                                                    \
  } while (0)
