// moravel-inspect list: the license's size and lines, then the packer's summary table read back.
#include <vector>

#include "payload/payload_format.h"
#include "tools/inspect/inspect.h"
#include "tools/inspect/inspect_steps.h"
#include "tools/packer/summary_table.h"
#include "tools/shared/tool_messages.h"

using packer::formatEntryTable;
using packer::PackSummary;
using tools::groupedDigits;

namespace {

uint64_t lineBreaks(const uint8_t* begin, const uint8_t* end) {
    uint64_t count = 0;
    for (const uint8_t* p = begin; p + 1 < end; ++p) count += p[0] == '\r' && p[1] == '\n';
    return count;
}

// Marks [begin, end) in a bitmap of store bytes and returns how many of those bits were clear.
uint64_t markNew(std::vector<uint64_t>& bits, uint64_t begin, uint64_t end) {
    uint64_t fresh = 0;
    while (begin < end && begin % 64 != 0) {
        uint64_t& word = bits[begin / 64];
        const uint64_t bit = 1ull << (begin % 64);
        fresh += (word & bit) == 0;
        word |= bit;
        ++begin;
    }
    for (; begin + 64 <= end; begin += 64) {
        uint64_t& word = bits[begin / 64];
        fresh += 64 - uint64_t(__builtin_popcountll(word));
        word = ~0ull;
    }
    for (; begin < end; ++begin) {
        uint64_t& word = bits[begin / 64];
        const uint64_t bit = 1ull << (begin % 64);
        fresh += (word & bit) == 0;
        word |= bit;
    }
    return fresh;
}

struct NewBytes {
    std::vector<uint64_t>* bits;
    uint64_t storeLength;
    uint64_t fresh;
};

bool countNew(void* context, const ChunkVisit& chunk) {
    auto& count = *static_cast<NewBytes*>(context);
    if (chunk.count != 0) count.fresh += markNew(*count.bits, chunk.storeOffset, chunk.storeOffset + chunk.count);
    return true;
}

}  // namespace

InspectResult listPayload(const PayloadImageView& image) {
    InspectResult result;
    const PayloadRegions& regions = image.regions;
    const uint64_t storeLength = uint64_t(regions.storeEnd - regions.storeBegin);
    result.out += PAYLOAD_LICENSE_FILE "  " + groupedDigits(uint64_t(image.licenseEnd - image.licenseBegin)) + " bytes, " +
                  groupedDigits(lineBreaks(image.licenseBegin, image.licenseEnd)) + " lines\n";
    PackSummary summary;
    summary.storeBytes = storeLength;
    summary.directoryBytes = uint64_t(regions.directoryEnd - regions.directoryBegin);
    if (image.kind == PAYLOAD_COMPRESSED) {
        summary.compressionLevel = int(image.level);
        summary.storeFrameBytes = uint64_t(image.frames.storeEnd - image.frames.storeBegin);
        summary.directoryFrameBytes = uint64_t(image.frames.directoryEnd - image.frames.directoryBegin);
    }
    std::vector<uint64_t> named((storeLength + 63) / 64);
    for (const uint8_t* at = regions.directoryBegin; at < regions.directoryEnd;) {
        DirectoryEntryView entry;
        const EntryReadResult read = readEntry(regions, at, entry);
        if (read != ENTRY_READ) {
            result.errors += unreadEntryLine(summary.entries.size(), regions, at, read) + "\n";
            result.code = INSPECT_CORRUPTED;
            break;
        }
        // Bytes an entry adds to the store are those it is the first in the directory to name.
        NewBytes fresh{&named, storeLength, 0};
        const AssemblyResult listed = visitChunkRefs(regions, entry.header, countNew, &fresh);
        if (listed != ASSEMBLY_VERIFIED) {
            result.errors += entryName(entry) + ": corrupted: " + tools::assemblyFault(listed, entry.size, storeLength) + "\n";
            result.code = INSPECT_CORRUPTED;
        }
        summary.entries.push_back({entryName(entry), entry.size, entry.refCount, fresh.fresh, entry.hash});
        at = entry.next;
    }
    result.out += formatEntryTable(summary);
    return result;
}

