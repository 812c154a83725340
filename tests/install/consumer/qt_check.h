// The check both Qt consumer programs make: a failed expectation is printed
// and counted, and the program's status says whether any failed.
#pragma once

#include <cstdio>

inline int failures = 0;

inline void expect(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "FAILED: %s\n", what);
        ++failures;
    }
}
