// Assertions for the callers' limits that the installer itself never tests (it has no failure path for them).
// Active only in checked builds (MORAVEL_CHECKED_BUILD, which only the host tests set, so the C library used
// here never reaches the installer); in the installer they compile to nothing.
#pragma once

#ifdef MORAVEL_CHECKED_BUILD
#include <cstdio>
#include <cstdlib>
#define CHECKED_ASSERT(condition)                                                                       \
    do {                                                                                                \
        if (!(condition)) {                                                                             \
            std::fprintf(stderr, "%s:%d: checked assertion failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                               \
        }                                                                                               \
    } while (0)
#else
#define CHECKED_ASSERT(condition) ((void)0)
#endif
