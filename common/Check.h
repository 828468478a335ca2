// CX_CHECK(condition): a broken invariant, a programming error, never bad
// input (bad input is answered by return values). Builds with CX_CHECKS
// (the test builds) report the place and stop at once so the fault is seen
// where it happens; release builds compile the check away.
#pragma once

#ifdef CX_CHECKS
#include <cstdio>
#include <cstdlib>
#define CX_CHECK(condition)                                                                \
  do {                                                                                     \
    if (!(condition)) {                                                                    \
      std::fprintf(stderr, "%s:%d: broken invariant: %s\n", __FILE__, __LINE__, #condition); \
      std::fflush(stderr);                                                                 \
      std::abort();                                                                        \
    }                                                                                      \
  } while (0)
#else
#define CX_CHECK(condition) \
  do {                      \
    (void)sizeof(condition); \
  } while (0)
#endif
