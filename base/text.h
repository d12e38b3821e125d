// Text routines of the installer: one UTF-16 unit type for all shared code, and the append routines.
//
// wchar_t is 16 bits on Windows but 32 bits on the Linux host, so code that builds into both the installer and
// the host tests uses char16_t everywhere. Windows-only code converts at the API boundary with wide() (see
// base/win_text.h).
#pragma once
#include <stdint.h>

typedef char16_t Unit;

// Number of units before the terminating zero unit.
inline uint64_t unitLength(const Unit* text) {
    uint64_t n = 0;
    while (text[n] != 0) ++n;
    return n;
}

// Writes text (with its terminator) at end, which must point at a zero unit or free space, and returns the
// address of the new terminator, so that appends can be chained without rescanning.
inline Unit* appendAt(Unit* end, const Unit* text) {
    while (*text != 0) *end++ = *text++;
    *end = 0;
    return end;
}

// Appends text to the NUL-terminated string in buffer. The caller guarantees the room.
inline void append(Unit* buffer, const Unit* text) {
    appendAt(buffer + unitLength(buffer), text);
}

// Unit-by-unit equality of two NUL-terminated strings.
inline bool unitsEqual(const Unit* a, const Unit* b) {
    while (*a != 0 && *a == *b) ++a, ++b;
    return *a == *b;
}
