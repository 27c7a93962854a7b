#pragma once

// The one way a harness says that an input broke a rule: it names the harness's line on standard
// error and aborts, so libFuzzer keeps the input as a crash and the corpus replay test fails.

#include <cstdio>
#include <cstdlib>

inline void check(bool condition, const char* file = __builtin_FILE(), int line = __builtin_LINE())
{
    if (condition)
        return;
    std::fprintf(stderr, "%s:%d: a check of the harness failed\n", file, line);
    std::abort();
}
