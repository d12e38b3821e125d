// How the host tools write what they report: numbers, hashes, and the one table of what the installer's
// payload reader's results mean (for the packer's self-check and moravel-inspect). Each fault says what is
// wrong with an entry, without its name.
#pragma once
#include <cstdint>
#include <string>

#include "payload/entry_directory.h"
#include "payload/zstd_decoder.h"

namespace tools {

// 1234567 -> "1,234,567"
std::string groupedDigits(uint64_t value);

// 0x1b3 -> "0x000001b3"
std::string hex32(uint32_t value);

// Why readEntry refused an entry.
const char* readFault(EntryReadResult result);

// Why visitChunkRefs or assembleEntry refused an entry of `size` bytes, in a store of storeBytes.
std::string assemblyFault(AssemblyResult result, uint32_t size, uint64_t storeBytes);

// Why lookupEntry found no single entry for a key.
const char* lookupFault(EntryLookup result);

// Why zstdDecodeFrame refused a frame.
const char* zstdFault(ZstdResult result);

}  // namespace tools
