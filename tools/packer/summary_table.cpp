#include "tools/packer/summary_table.h"

#include <cstdio>

namespace {

// 1234567 -> "1,234,567"
std::string grouped(uint64_t value) {
    std::string digits = std::to_string(value);
    std::string text;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i != 0 && (digits.size() - i) % 3 == 0) text += ',';
        text += digits[i];
    }
    return text;
}

std::string row(const std::string& a, const std::string& b, const std::string& c, const std::string& d) {
    char line[160];
    std::snprintf(line, sizeof line, "%-18s %15s %11s %15s\n", a.c_str(), b.c_str(), c.c_str(), d.c_str());
    return line;
}

}  // namespace

std::string formatSummary(const PackSummary& summary) {
    std::string text = row("entry", "size", "ChunkRefs", "literal bytes");
    uint64_t size = 0, refs = 0, literal = 0;
    for (const EntrySummary& entry : summary.entries) {
        text += row(entry.key, grouped(entry.size), grouped(entry.chunkRefs), grouped(entry.literalBytes));
        size += entry.size, refs += entry.chunkRefs, literal += entry.literalBytes;
    }
    text += row("total", grouped(size), grouped(refs), grouped(literal));
    text += "ChunkStore " + grouped(summary.storeBytes) + " bytes, directory " + grouped(summary.directoryBytes) +
            " bytes\n";
    char time[64];
    std::snprintf(time, sizeof time, "packed in %.2f s\n", summary.seconds);
    return text + time;
}
