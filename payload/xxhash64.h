// XXH64, the 64-bit xxHash, as zstd frames use it for their content checksum (seed 0). Pure code.
#pragma once
#include <stdint.h>

uint64_t xxhash64(const uint8_t* bytes, uint64_t length, uint64_t seed);

// The same over bytes that arrive in pieces but stay in place (as a decoder's output does): feed the
// stripes of 32 bytes as they become whole, then finish with the bytes after the last stripe.
struct Xxhash64Lanes {
    uint64_t lane[4];
    uint64_t seed;
};
void xxhash64Start(Xxhash64Lanes& lanes, uint64_t seed);
// Takes the whole 32-byte stripes of [bytes, bytes + length) and returns how many bytes that was.
uint64_t xxhash64Stripes(Xxhash64Lanes& lanes, const uint8_t* bytes, uint64_t length);
// tail: the bytes after the last stripe fed (fewer than 32); totalLength: all bytes hashed.
uint64_t xxhash64Finish(const Xxhash64Lanes& lanes, const uint8_t* tail, uint64_t tailLength, uint64_t totalLength);
