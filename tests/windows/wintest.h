// A small test harness for the Windows test programs (mingw has no GoogleTest package here).
// Each program is one ctest test: it runs its TEST cases, prints every failed check with its file and line, and
// ends with the plain summary line "N passed, N failed"; the exit code is the number of failed cases (capped).
#pragma once
#include <windows.h>
#include <stdio.h>
#include <wchar.h>

namespace wintest {

struct Case {
    const char* name;
    void (*run)();
    Case* next;
};

inline Case*& firstCase() {
    static Case* first = nullptr;
    return first;
}
inline Case*& lastCase() {
    static Case* last = nullptr;
    return last;
}
inline int& currentFailures() {
    static int failures = 0;
    return failures;
}

struct Registrar {
    Registrar(Case* c) {
        if (lastCase()) lastCase()->next = c; else firstCase() = c;
        lastCase() = c;
    }
};

inline void fail(const char* file, int line, const char* what) {
    printf("    FAILED %s:%d: %s\n", file, line, what);
    fflush(stdout);
    ++currentFailures();
}

inline int runAll() {
    int passed = 0, failed = 0;
    for (Case* c = firstCase(); c; c = c->next) {
        currentFailures() = 0;
        printf("[ RUN  ] %s\n", c->name);
        fflush(stdout);
        c->run();
        if (currentFailures() == 0) { ++passed; printf("[  OK  ] %s\n", c->name); }
        else { ++failed; printf("[ FAIL ] %s\n", c->name); }
        fflush(stdout);
    }
    printf("%d passed, %d failed\n", passed, failed);
    fflush(stdout);
    return failed > 100 ? 100 : failed;
}

}  // namespace wintest

#define WINTEST_CAT2(a, b) a##b
#define WINTEST_CAT(a, b) WINTEST_CAT2(a, b)
#define TEST(name)                                                                   \
    static void name();                                                              \
    static wintest::Case WINTEST_CAT(case_, name) = {#name, name, nullptr};          \
    static wintest::Registrar WINTEST_CAT(registrar_, name)(&WINTEST_CAT(case_, name)); \
    static void name()

#define CHECK(cond) \
    do { if (!(cond)) wintest::fail(__FILE__, __LINE__, #cond); } while (0)

// Like Wine's ok(): the condition, and a printf-style message that names the values seen.
#define CHECK_MSG(cond, ...)                                                                      \
    do {                                                                                          \
        if (!(cond)) {                                                                            \
            char m_[1024];                                                                        \
            snprintf(m_, sizeof m_, __VA_ARGS__);                                                 \
            wintest::fail(__FILE__, __LINE__, m_);                                                \
        }                                                                                         \
    } while (0)

#define CHECK_EQ(actual, expected)                                                                \
    do {                                                                                          \
        auto a_ = (actual); auto e_ = (expected);                                                 \
        if (!(a_ == e_)) {                                                                        \
            char m_[512];                                                                         \
            snprintf(m_, sizeof m_, "%s == %s (got %lld, want %lld)", #actual, #expected,         \
                     (long long)a_, (long long)e_);                                               \
            wintest::fail(__FILE__, __LINE__, m_);                                                \
        }                                                                                         \
    } while (0)

#define CHECK_WSTR(actual, expected)                                                              \
    do {                                                                                          \
        const wchar_t* a_ = (const wchar_t*)(actual); const wchar_t* e_ = (const wchar_t*)(expected); \
        if (wcscmp(a_, e_) != 0) {                                                                \
            char m_[2048];                                                                        \
            snprintf(m_, sizeof m_, "%s: got \"%ls\", want \"%ls\"", #actual, a_, e_);            \
            wintest::fail(__FILE__, __LINE__, m_);                                                \
        }                                                                                         \
    } while (0)

// Test programs that need their own main() (child-process modes) call wintest::runAll() themselves.
#ifndef WINTEST_CUSTOM_MAIN
int main() { return wintest::runAll(); }
#endif
