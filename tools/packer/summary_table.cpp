#include "tools/packer/summary_table.h"

#include <cstdio>

namespace packer {

std::string groupedDigits(uint64_t value) {
    std::string digits = std::to_string(value);
    std::string text;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i != 0 && (digits.size() - i) % 3 == 0) text += ',';
        text += digits[i];
    }
    return text;
}

namespace {

std::string row(const std::string& a, const std::string& b, const std::string& c, const std::string& d,
                const std::string& e) {
    char line[160];
    std::snprintf(line, sizeof line, "%-18s %15s %11s %15s %10s\n", a.c_str(), b.c_str(), c.c_str(), d.c_str(),
                  e.c_str());
    std::string text = line;
    while (text.size() > 1 && text[text.size() - 2] == ' ') text.erase(text.size() - 2, 1);
    return text;
}

std::string hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", value);
    return text;
}

}  // namespace

std::string formatEntryTable(const PackSummary& summary) {
    std::string text = row("entry", "size", "ChunkRefs", "literal bytes", "hash");
    uint64_t size = 0, refs = 0, literal = 0;
    for (const EntrySummary& entry : summary.entries) {
        text += row(entry.key, groupedDigits(entry.size), groupedDigits(entry.chunkRefs),
                    groupedDigits(entry.literalBytes), hex(entry.hash));
        size += entry.size, refs += entry.chunkRefs, literal += entry.literalBytes;
    }
    text += row("total", groupedDigits(size), groupedDigits(refs), groupedDigits(literal), "");
    return text + "ChunkStore " + groupedDigits(summary.storeBytes) + " bytes, directory " + groupedDigits(summary.directoryBytes) +
           " bytes\n";
}

std::string formatSummary(const PackSummary& summary) {
    std::string text = formatEntryTable(summary);
    char time[64];
    std::snprintf(time, sizeof time, "packed in %.2f s\n", summary.seconds);
    return text + time;
}

}  // namespace packer
