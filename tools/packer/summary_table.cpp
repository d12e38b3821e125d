#include "tools/packer/summary_table.h"

#include <cstdio>

#include "tools/shared/tool_messages.h"

namespace packer {

using tools::hex32;

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

}  // namespace

std::string formatEntryTable(const PackSummary& summary) {
    std::string text = row("entry", "size", "ChunkRefs", "literal bytes", "hash");
    uint64_t size = 0, refs = 0, literal = 0;
    for (const EntrySummary& entry : summary.entries) {
        text += row(entry.key, groupedDigits(entry.size), groupedDigits(entry.chunkRefs),
                    groupedDigits(entry.literalBytes), hex32(entry.hash));
        size += entry.size, refs += entry.chunkRefs, literal += entry.literalBytes;
    }
    text += row("total", groupedDigits(size), groupedDigits(refs), groupedDigits(literal), "");
    text += "ChunkStore " + groupedDigits(summary.storeBytes) + " bytes, directory " + groupedDigits(summary.directoryBytes) +
            " bytes\n";
    if (summary.compressionLevel == 0) return text;
    const uint64_t raw = summary.storeBytes + summary.directoryBytes;
    const uint64_t packed = summary.storeFrameBytes + summary.directoryFrameBytes;
    char ratio[32];
    std::snprintf(ratio, sizeof ratio, "%.3f", raw == 0 ? 1.0 : double(packed) / double(raw));
    return text + "compressed (zstd level " + std::to_string(summary.compressionLevel) + "): ChunkStore " +
           groupedDigits(summary.storeFrameBytes) + " bytes, directory " + groupedDigits(summary.directoryFrameBytes) +
           " bytes, " + ratio + " of raw\n";
}

std::string formatSummary(const PackSummary& summary) {
    std::string text = formatEntryTable(summary);
    char time[64];
    std::snprintf(time, sizeof time, "packed in %.2f s\n", summary.seconds);
    return text + time;
}

}  // namespace packer
