// The license dialog shows the embedded license text as UTF-16.
#pragma once
#include <stdint.h>
#include "base/text.h"

// Contract: out has room for (end - begin) units; its terminator is the caller's (a zero-filled block).
// Each byte becomes the unit of the same value: exact for the 7-bit ASCII the packer admits.
inline void widenLicenseText(Unit* out, const uint8_t* begin, const uint8_t* end) {
    for (const uint8_t* p = begin; p != end; ++p) *out++ = Unit(*p);
}
