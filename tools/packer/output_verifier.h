// The packer's check of its own output before anything is written: the directory is walked as the reader
// walks it, every entry is reassembled from the store and compared with its input byte for byte, and the
// layout rules of the store are checked.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "tools/packer/payload_inputs.h"

namespace packer {

// inputs[i] are the five files in directory order; hashes[i] their payloadHash. Returns an empty string when
// the output is sound, else what is wrong (naming the entry). Runs on up to `threads` threads.
std::string verifyOutput(std::span<const std::span<const uint8_t>> inputs, std::span<const uint32_t> hashes,
                         std::span<const uint8_t> store, std::span<const uint8_t> directory, unsigned threads);

}  // namespace packer
