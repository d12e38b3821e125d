#include "tools/packer/output_verifier.h"

#include <cstring>
#include <thread>

#include "payload/payload_format.h"

namespace {

struct EntryView {
    const uint8_t* refs = nullptr;  // the first ChunkRef
    uint64_t refCount = 0;
};

std::string entryFault(int i, const std::string& what) { return std::string(PAYLOAD_ENTRY_KEYS[i]) + ": " + what; }

// Byte comparison of the reassembled entry with its input; the list itself has been checked already.
bool reassemblesTo(const EntryView& entry, std::span<const uint8_t> store, std::span<const uint8_t> input) {
    uint64_t at = 0;
    for (uint64_t r = 0; r < entry.refCount; ++r) {
        uint32_t offset = readU32(entry.refs + r * CHUNK_REF_BYTES);
        uint32_t count = readU32(entry.refs + r * CHUNK_REF_BYTES + 4);
        if (count != 0 && std::memcmp(store.data() + offset, input.data() + at, count) != 0) return false;
        at += count;
    }
    return true;
}

}  // namespace

std::string verifyOutput(std::span<const std::span<const uint8_t>> inputs, std::span<const uint32_t> hashes,
                         std::span<const uint8_t> store, std::span<const uint8_t> directory, unsigned threads) {
    EntryView views[PAYLOAD_ENTRY_COUNT];
    const uint8_t* at = directory.data();
    const uint8_t* end = directory.data() + directory.size();
    // The literal runs of entry i lie in store[literalBase, literalBase + its literal bytes), in file order.
    uint64_t literalBase = inputs[0].size();
    for (int i = 0; i < PAYLOAD_ENTRY_COUNT; ++i) {
        const char* key = PAYLOAD_ENTRY_KEYS[i];
        size_t keyLength = std::strlen(key);
        if (uint64_t(end - at) < keyLength + 1 + ENTRY_HEADER_BYTES || std::memcmp(at, key, keyLength + 1) != 0)
            return entryFault(i, "name missing or out of order in the directory");
        at += keyLength + 1;
        uint32_t hash = readU32(at), size = readU32(at + 4);
        at += ENTRY_HEADER_BYTES;
        if (hash != hashes[i]) return entryFault(i, "hash field differs from the input's hash");
        if (size != inputs[i].size()) return entryFault(i, "size field differs from the input's size");
        views[i].refs = at;
        uint64_t total = 0;
        uint64_t literalEnd = literalBase;  // where the next literal run of this entry must start
        for (;;) {
            if (end - at < CHUNK_REF_BYTES) return entryFault(i, "ChunkRef list runs past the directory");
            uint32_t offset = readU32(at), count = readU32(at + 4);
            at += CHUNK_REF_BYTES;
            if (offset == 0 && count == 0) break;
            ++views[i].refCount;
            if (count == 0) return entryFault(i, "a ChunkRef copies nothing");
            total += count;
            if (total > size) return entryFault(i, "ChunkRefs add up to more than the size");
            if (uint64_t(offset) + count > store.size()) return entryFault(i, "a ChunkRef names bytes past the store");
            if (i > 0 && uint64_t(offset) + count > literalEnd) {
                // A ref that reaches past this entry's literal bytes so far adds the next ones: it must go on
                // exactly where they end. Refs below that point are copies, of this entry's bytes too.
                if (uint64_t(offset) > literalEnd) return entryFault(i, "literal runs not in file order at the store's end");
                literalEnd = uint64_t(offset) + count;
            }
        }
        if (total != size) return entryFault(i, "ChunkRefs add up to less than the size");
        if (i == 0 && (views[0].refCount != (size != 0 ? 1u : 0u) || (size != 0 && readU32(views[0].refs) != 0)))
            return entryFault(i, "the first entry is not stored whole at offset 0");
        literalBase = literalEnd;
    }
    if (at != end) return "the directory has bytes after its fifth entry";
    if (literalBase != store.size()) return "the store is longer than file 1 and the literal runs";

    // The byte comparison is the bulk of the work: entries go to the threads in turn.
    bool sound[PAYLOAD_ENTRY_COUNT] = {};
    auto compare = [&](unsigned first, unsigned stride) {
        for (unsigned i = first; i < PAYLOAD_ENTRY_COUNT; i += stride) sound[i] = reassemblesTo(views[i], store, inputs[i]);
    };
    unsigned workers = threads < 1 ? 1 : threads > PAYLOAD_ENTRY_COUNT ? PAYLOAD_ENTRY_COUNT : threads;
    std::vector<std::thread> pool;
    for (unsigned t = 1; t < workers; ++t) pool.emplace_back(compare, t, workers);
    compare(0, workers);
    for (std::thread& thread : pool) thread.join();
    for (int i = 0; i < PAYLOAD_ENTRY_COUNT; ++i)
        if (!sound[i]) return entryFault(i, "does not reassemble to its input");
    return {};
}
