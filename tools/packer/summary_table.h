// The table the packer prints when it is done.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct EntrySummary {
    std::string key;
    uint64_t size = 0;
    uint64_t chunkRefs = 0;
    uint64_t literalBytes = 0;
};

struct PackSummary {
    std::vector<EntrySummary> entries;
    uint64_t storeBytes = 0;
    uint64_t directoryBytes = 0;
    double seconds = 0;
};

std::string formatSummary(const PackSummary& summary);
