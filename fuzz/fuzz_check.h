// A check for fuzz targets: a broken expectation aborts, so libFuzzer keeps the input that broke
// it. Unlike assert it stays on in every build type.
#ifndef PARLEY_FUZZ_FUZZ_CHECK_H_
#define PARLEY_FUZZ_FUZZ_CHECK_H_

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                            \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                      \
    }                                                                                    \
  } while (0)

#endif  // PARLEY_FUZZ_FUZZ_CHECK_H_
