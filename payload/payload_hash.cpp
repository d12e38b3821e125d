#include "payload/payload_hash.h"
#include "payload/payload_format.h"

uint32_t payloadHashContinue(uint32_t hash, const uint8_t* bytes, uint64_t length) {
    // One serial chain: each step needs the previous product, so unrolling only trims loop overhead.
    const uint8_t* end = bytes + length;
    while (end - bytes >= 4) {
        hash = (hash ^ bytes[0]) * PAYLOAD_HASH_PRIME;
        hash = (hash ^ bytes[1]) * PAYLOAD_HASH_PRIME;
        hash = (hash ^ bytes[2]) * PAYLOAD_HASH_PRIME;
        hash = (hash ^ bytes[3]) * PAYLOAD_HASH_PRIME;
        bytes += 4;
    }
    while (bytes != end) hash = (hash ^ *bytes++) * PAYLOAD_HASH_PRIME;
    return hash;
}

uint32_t payloadHash(const uint8_t* bytes, uint64_t length) {
    return payloadHashContinue(PAYLOAD_HASH_EMPTY, bytes, length);
}
