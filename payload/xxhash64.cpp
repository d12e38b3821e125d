// XXH64 from its published description: four lanes over 32-byte stripes, merged, then the tail in 8-, 4- and
// 1-byte steps, then the final avalanche.
#include "payload/xxhash64.h"
#include "payload/zstd_bit_reader.h"

namespace {

constexpr uint64_t PRIME1 = 0x9E3779B185EBCA87ull;
constexpr uint64_t PRIME2 = 0xC2B2AE3D27D4EB4Full;
constexpr uint64_t PRIME3 = 0x165667B19E3779F9ull;
constexpr uint64_t PRIME4 = 0x85EBCA77C2B2AE63ull;
constexpr uint64_t PRIME5 = 0x27D4EB2F165667C5ull;

inline uint64_t rotateLeft(uint64_t value, int count) { return (value << count) | (value >> (64 - count)); }

inline uint64_t round(uint64_t accumulator, uint64_t input) {
    accumulator += input * PRIME2;
    return rotateLeft(accumulator, 31) * PRIME1;
}

inline uint64_t merge(uint64_t accumulator, uint64_t lane) {
    accumulator ^= round(0, lane);
    return accumulator * PRIME1 + PRIME4;
}

}  // namespace

uint64_t xxhash64(const uint8_t* bytes, uint64_t length, uint64_t seed) {
    const uint8_t* p = bytes;
    const uint8_t* const end = bytes + length;
    uint64_t hash;
    if (length >= 32) {
        uint64_t v1 = seed + PRIME1 + PRIME2, v2 = seed + PRIME2, v3 = seed, v4 = seed - PRIME1;
        do {
            v1 = round(v1, zstdLoad64(p));
            v2 = round(v2, zstdLoad64(p + 8));
            v3 = round(v3, zstdLoad64(p + 16));
            v4 = round(v4, zstdLoad64(p + 24));
            p += 32;
        } while (end - p >= 32);
        hash = rotateLeft(v1, 1) + rotateLeft(v2, 7) + rotateLeft(v3, 12) + rotateLeft(v4, 18);
        hash = merge(hash, v1);
        hash = merge(hash, v2);
        hash = merge(hash, v3);
        hash = merge(hash, v4);
    } else {
        hash = seed + PRIME5;
    }
    hash += length;
    while (end - p >= 8) {
        hash ^= round(0, zstdLoad64(p));
        hash = rotateLeft(hash, 27) * PRIME1 + PRIME4;
        p += 8;
    }
    if (end - p >= 4) {
        hash ^= uint64_t(zstdLoad32(p)) * PRIME1;
        hash = rotateLeft(hash, 23) * PRIME2 + PRIME3;
        p += 4;
    }
    while (p < end) {
        hash ^= *p++ * PRIME5;
        hash = rotateLeft(hash, 11) * PRIME1;
    }
    hash ^= hash >> 33;
    hash *= PRIME2;
    hash ^= hash >> 29;
    hash *= PRIME3;
    hash ^= hash >> 32;
    return hash;
}
