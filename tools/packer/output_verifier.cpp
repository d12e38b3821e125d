#include "tools/packer/output_verifier.h"

#include <algorithm>
#include <cstring>

#include "payload/entry_directory.h"
#include "payload/payload_format.h"
#include "tools/shared/thread_pool.h"
#include "tools/shared/tool_messages.h"

namespace packer {

namespace {

std::string entryFault(int i, const std::string& what) { return std::string(PAYLOAD_ENTRY_KEYS[i]) + ": " + what; }

// This producer's layout rules, beyond what the reader checks: no empty refs, and the refs that reach past
// the entry's literal bytes so far add the next ones, going on exactly where those end.
struct LayoutCheck {
    uint64_t literalEnd = 0;
    const char* fault = nullptr;
};

bool checkLayout(void* context, const ChunkVisit& chunk) {
    auto& check = *static_cast<LayoutCheck*>(context);
    if (chunk.count == 0) {
        check.fault = "a ChunkRef copies nothing";
        return false;
    }
    if (chunk.storeOffset + chunk.count > check.literalEnd) {
        // Refs below that point are copies, of this entry's own earlier literal bytes too.
        if (chunk.storeOffset > check.literalEnd) {
            check.fault = "literal runs not in file order at the store's end";
            return false;
        }
        check.literalEnd = chunk.storeOffset + chunk.count;
    }
    return true;
}

// The assembled bytes against the input, within one slice of the file; with the hash field equal to the
// input's hash, this is the installer's hash check too.
struct SliceCompare {
    const uint8_t* input;
    uint64_t begin, end;  // the slice of the file this thread compares
};

bool matchesInput(void* context, const ChunkVisit& chunk) {
    const auto& slice = *static_cast<const SliceCompare*>(context);
    const uint64_t from = std::max(chunk.fileOffset, slice.begin);
    const uint64_t to = std::min(chunk.fileOffset + chunk.count, slice.end);
    if (from >= to) return true;
    return std::memcmp(chunk.bytes + (from - chunk.fileOffset), slice.input + from, to - from) == 0;
}

}  // namespace

std::string verifyOutput(std::span<const std::span<const uint8_t>> inputs, std::span<const uint32_t> hashes,
                         std::span<const uint8_t> store, std::span<const uint8_t> directory, unsigned threads) {
    const PayloadRegions regions = {store.data(), store.data() + store.size(), directory.data(),
                                    directory.data() + directory.size()};
    const uint8_t* headers[PAYLOAD_ENTRY_COUNT];
    const uint8_t* at = regions.directoryBegin;
    // The literal runs of entry i lie in store[literalBase, literalBase + its literal bytes), in file order.
    uint64_t literalBase = inputs[0].size();
    for (int i = 0; i < PAYLOAD_ENTRY_COUNT; ++i) {
        const char* key = PAYLOAD_ENTRY_KEYS[i];
        DirectoryEntryView entry;
        const EntryReadResult read = at < regions.directoryEnd ? readEntry(regions, at, entry) : ENTRY_NAME_UNTERMINATED;
        if (read == ENTRY_REFS_UNTERMINATED) return entryFault(i, tools::readFault(read));
        if (read != ENTRY_READ || entry.nameLength != std::strlen(key) || std::memcmp(entry.name, key, entry.nameLength) != 0)
            return entryFault(i, "name missing or out of order in the directory");
        // The installer looks the entry up by its key; it must land on this very entry.
        if (findEntry(regions, key) != entry.header) return entryFault(i, "the lookup by key finds another entry");
        if (entry.hash != hashes[i]) return entryFault(i, "hash field differs from the input's hash");
        if (entry.size != inputs[i].size()) return entryFault(i, "size field differs from the input's size");
        LayoutCheck layout;
        layout.literalEnd = i == 0 ? 0 : literalBase;
        const AssemblyResult listed = visitChunkRefs(regions, entry.header, checkLayout, &layout);
        if (layout.fault != nullptr) return entryFault(i, layout.fault);
        if (listed != ASSEMBLY_VERIFIED) return entryFault(i, tools::assemblyFault(listed, entry.size, store.size()));
        if (i == 0 && (entry.refCount != (entry.size != 0 ? 1u : 0u) || (entry.size != 0 && readRefOffset(entry.refs) != 0)))
            return entryFault(i, "the first entry is not stored whole at offset 0");
        if (i > 0) literalBase = layout.literalEnd;
        headers[i] = entry.header;
        at = entry.next;
    }
    if (at != regions.directoryEnd) return "the directory has bytes after its fifth entry";
    if (literalBase != store.size()) return "the store is longer than file 1 and the literal runs";

    // The byte comparison is the bulk of the work: every thread compares its own slice of every entry, so
    // that all finish together whatever the entries' sizes.
    unsigned workers = threads < 1 ? 1 : threads > 64 ? 64 : threads;
    bool sound[64][PAYLOAD_ENTRY_COUNT] = {};
    auto compare = [&](unsigned t) {
        for (int i = 0; i < PAYLOAD_ENTRY_COUNT; ++i) {
            const uint64_t size = inputs[i].size();
            SliceCompare slice = {inputs[i].data(), size / workers * t, t + 1 == workers ? size : size / workers * (t + 1)};
            sound[t][i] = visitChunkRefs(regions, headers[i], matchesInput, &slice) == ASSEMBLY_VERIFIED;
        }
    };
    tools::runOnThreads(workers, compare);
    for (int i = 0; i < PAYLOAD_ENTRY_COUNT; ++i)
        for (unsigned t = 0; t < workers; ++t)
            if (!sound[t][i]) return entryFault(i, "does not reassemble to its input");
    return {};
}

}  // namespace packer
