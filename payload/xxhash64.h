// XXH64, the 64-bit xxHash, as zstd frames use it for their content checksum (seed 0). Pure code.
#pragma once
#include <stdint.h>

uint64_t xxhash64(const uint8_t* bytes, uint64_t length, uint64_t seed);
