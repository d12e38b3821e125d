// The table the packer prints when it is done; moravel-inspect list prints the same table from a built
// installer.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tools/shared/tool_messages.h"

namespace packer {

struct EntrySummary {
    std::string key;
    uint64_t size = 0;
    uint64_t chunkRefs = 0;
    uint64_t literalBytes = 0;
    uint32_t hash = 0;
};

struct PackSummary {
    std::vector<EntrySummary> entries;
    uint64_t storeBytes = 0;
    uint64_t directoryBytes = 0;
    // A compressed image: the level and the frames' sizes (0 when raw).
    int compressionLevel = 0;
    uint64_t storeFrameBytes = 0;
    uint64_t directoryFrameBytes = 0;
    double seconds = 0;
};

// The entry table and the region sizes, without the time.
std::string formatEntryTable(const PackSummary& summary);
// formatEntryTable and the time it took to pack.
std::string formatSummary(const PackSummary& summary);

// How a byte count is written, in the tools' shared helpers (tools/shared/tool_messages.h).
using tools::groupedDigits;

}  // namespace packer
