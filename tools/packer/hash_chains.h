// payloadHash of several byte arrays at once. One FNV chain waits on its multiply after every byte; running
// independent chains side by side on one core keeps the multiplier busy (about 3x the rate of one chain).
#pragma once
#include <cstdint>
#include <span>
#include <vector>

namespace packer {

// hashes[i] = payloadHash(inputs[i]) for every i.
std::vector<uint32_t> payloadHashes(std::span<const std::span<const uint8_t>> inputs);

}  // namespace packer
