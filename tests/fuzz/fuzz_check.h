// The fuzz targets' check: when it fails it says what broke (the check as written and what it was looking
// at: which key, which entry, which values) before it aborts, so a crash report reads without a debugger.
#pragma once
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition, ...)                                                                        \
    do {                                                                                                   \
        if (!(condition)) {                                                                                \
            std::fprintf(stderr, "%s:%d: check failed: %s: ", __FILE__, __LINE__, #condition);            \
            std::fprintf(stderr, __VA_ARGS__);                                                             \
            std::fputc('\n', stderr);                                                                      \
            std::abort();                                                                                  \
        }                                                                                                  \
    } while (0)
