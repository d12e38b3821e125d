#include "tools/packer/hash_chains.h"

#include <algorithm>

#include "payload/payload_format.h"
#include "payload/payload_hash.h"

namespace packer {

namespace {

constexpr size_t MAX_CHAINS = 6;

// Advances N chains by count bytes each.
template <size_t N>
void stepChains(const uint8_t** at, uint32_t* hash, uint64_t count) {
    uint32_t h[N];
    const uint8_t* p[N];
    for (size_t c = 0; c < N; ++c) h[c] = hash[c], p[c] = at[c];
    // Fully unrolled across the chains so that every h[c] lives in a register.
    for (uint64_t i = 0; i < count; ++i) {
#pragma GCC unroll 8
        for (size_t c = 0; c < N; ++c) h[c] = (h[c] ^ p[c][i]) * PAYLOAD_HASH_PRIME;
    }
    for (size_t c = 0; c < N; ++c) hash[c] = h[c], at[c] = p[c] + count;
}

void stepChains(size_t n, const uint8_t** at, uint32_t* hash, uint64_t count) {
    switch (n) {
        case 1: hash[0] = payloadHashContinue(hash[0], at[0], count), at[0] += count; break;
        case 2: stepChains<2>(at, hash, count); break;
        case 3: stepChains<3>(at, hash, count); break;
        case 4: stepChains<4>(at, hash, count); break;
        case 5: stepChains<5>(at, hash, count); break;
        default: stepChains<6>(at, hash, count); break;
    }
}

}  // namespace

std::vector<uint32_t> payloadHashes(std::span<const std::span<const uint8_t>> inputs) {
    std::vector<uint32_t> result(inputs.size(), PAYLOAD_HASH_EMPTY);
    for (size_t group = 0; group < inputs.size(); group += MAX_CHAINS) {
        size_t n = std::min(MAX_CHAINS, inputs.size() - group);
        // Chains of the group in lockstep; a chain that runs out drops out and the rest go on.
        const uint8_t* at[MAX_CHAINS];
        uint64_t left[MAX_CHAINS];
        uint32_t hash[MAX_CHAINS];
        size_t owner[MAX_CHAINS];
        size_t active = 0;
        for (size_t i = 0; i < n; ++i) {
            const auto& input = inputs[group + i];
            if (input.empty()) continue;
            at[active] = input.data();
            left[active] = input.size();
            hash[active] = PAYLOAD_HASH_EMPTY;
            owner[active] = group + i;
            ++active;
        }
        while (active > 0) {
            uint64_t count = *std::min_element(left, left + active);
            stepChains(active, at, hash, count);
            size_t kept = 0;
            for (size_t c = 0; c < active; ++c) {
                left[c] -= count;
                if (left[c] == 0) {
                    result[owner[c]] = hash[c];
                    continue;
                }
                at[kept] = at[c], left[kept] = left[c], hash[kept] = hash[c], owner[kept] = owner[c];
                ++kept;
            }
            active = kept;
        }
    }
    return result;
}

}  // namespace packer
