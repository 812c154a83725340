// The check the fuzz targets use for their invariants: a broken invariant
// prints what broke and aborts, so the fuzzer keeps the input as a crash.
#pragma once

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition, message)                                                                                 \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            std::fprintf(stderr, "invariant broken at %s:%d: %s\n", __FILE__, __LINE__, message);                      \
            std::abort();                                                                                              \
        }                                                                                                              \
    } while (0)
