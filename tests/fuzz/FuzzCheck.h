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

// The ANSI code page an input is read with: the Western page or one of the double-byte pages,
// picked by the input's length, so that mutations explore each and a kept input replays alike.
inline int codePageFor(std::size_t size)
{
    static const int pages[] = {1252, 932, 936, 949, 950};
    return pages[size % 5];
}
