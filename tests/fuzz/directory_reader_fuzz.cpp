// libFuzzer target for the installer's reader over arbitrary store and directory bytes: lookupEntry,
// findEntry, visitChunkRefs, assembleEntry and payloadHash. Store and directory are exact-size heap blocks,
// so any read past either is an AddressSanitizer report. Each answer is checked against what a walk of the
// directory with readEntry and a plain reassembly imply:
//   FOUND      the walk ends at directoryEnd and exactly one entry has the key; it is the one returned;
//   DUPLICATE  the walk reaches two entries with the key before it fails or ends;
//   ABSENT     the walk ends at directoryEnd and no entry has the key;
//   MALFORMED  the walk stops on an entry readEntry refuses;
// and an entry that assembles as verified is exactly the bytes its ChunkRefs name, of its size and hash.
// Input: u16 LE store length, then the store, then the directory.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "payload/entry_directory.h"
#include "payload/payload_format.h"
#include "payload/payload_hash.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

bool named(const DirectoryEntryView& entry, const char* key) {
    return entry.nameLength == std::strlen(key) && std::memcmp(entry.name, key, entry.nameLength) == 0;
}

// The keys the installer asks for, and two that only a damaged or foreign directory could hold.
const char* const KEYS[] = {ENTRY_KEY_CLAP64, ENTRY_KEY_CLAP32, ENTRY_KEY_FL64, ENTRY_KEY_FL32,
                            ENTRY_KEY_STANDALONE, "a", "bin/target_"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const size_t storeLength = std::min<size_t>(data[0] | data[1] << 8, size - 2);
    const size_t directoryLength = size - 2 - storeLength;
    std::unique_ptr<uint8_t[]> store(new uint8_t[storeLength]), directory(new uint8_t[directoryLength]);
    std::memcpy(store.get(), data + 2, storeLength);
    std::memcpy(directory.get(), data + 2 + storeLength, directoryLength);
    const PayloadRegions regions = {store.get(), store.get() + storeLength, directory.get(),
                                    directory.get() + directoryLength};

    // The reference walk: every entry readEntry accepts, and whether the walk reached directoryEnd.
    std::vector<DirectoryEntryView> entries;
    bool whole = true;
    for (const uint8_t* at = regions.directoryBegin; at != regions.directoryEnd;) {
        DirectoryEntryView entry;
        if (readEntry(regions, at, entry) != ENTRY_READ) {
            whole = false;
            break;
        }
        entries.push_back(entry);
        at = entry.next;
    }

    for (const char* key : KEYS) {
        size_t matches = 0;
        const uint8_t* first = nullptr;
        for (const DirectoryEntryView& entry : entries)
            if (named(entry, key) && matches++ == 0) first = entry.header;
        const uint8_t* header = nullptr;
        const EntryLookup lookup = lookupEntry(regions, key, header);
        const bool agrees = lookup == LOOKUP_FOUND       ? whole && matches == 1 && header == first
                          : lookup == LOOKUP_DUPLICATE ? matches >= 2 && header == nullptr
                          : lookup == LOOKUP_ABSENT    ? whole && matches == 0 && header == nullptr
                                                       : !whole && matches <= 1 && header == nullptr;
        FUZZ_CHECK(agrees, "key %s: lookup %d, the walk %s and %zu of its entries name the key", key, int(lookup),
                   whole ? "ends at directoryEnd" : "stops early", matches);
        FUZZ_CHECK(findEntry(regions, key) == (lookup == LOOKUP_FOUND ? header : nullptr),
                   "key %s: findEntry differs from lookup %d", key, int(lookup));
        if (lookup != LOOKUP_FOUND) continue;

        // Assembly into a buffer of exactly the entry's size (kept small enough for a fuzzing run).
        const uint32_t entrySize = readEntrySize(header), entryHash = readEntryHash(header);
        if (entrySize > (1u << 20)) continue;
        std::unique_ptr<uint8_t[]> buffer(new uint8_t[entrySize]);
        const AssemblyResult result = assembleEntry(regions, header, buffer.get());
        if (result != ASSEMBLY_VERIFIED) continue;
        // Verified: the refs, read plainly, lie in the store and name these very bytes, and the hash holds.
        std::vector<uint8_t> expected;
        for (const uint8_t* ref = header + ENTRY_HEADER_BYTES;; ref += CHUNK_REF_BYTES) {
            FUZZ_CHECK(ref + CHUNK_REF_BYTES <= regions.directoryEnd,
                       "key %s: verified, yet its ChunkRef list runs past the directory", key);
            const uint64_t offset = readRefOffset(ref), count = readRefCount(ref);
            if (offset == 0 && count == 0) break;
            if (count == 0) continue;
            FUZZ_CHECK(offset + count <= storeLength, "key %s: verified, yet a ChunkRef (%llu, %llu) leaves the store",
                       key, (unsigned long long)offset, (unsigned long long)count);
            expected.insert(expected.end(), store.get() + offset, store.get() + offset + count);
        }
        FUZZ_CHECK(expected.size() == entrySize, "key %s: verified, yet its ChunkRefs name %zu bytes for a size of %u",
                   key, expected.size(), entrySize);
        FUZZ_CHECK(entrySize == 0 || std::memcmp(expected.data(), buffer.get(), entrySize) == 0,
                   "key %s: verified, yet assembled other bytes than its ChunkRefs name", key);
        FUZZ_CHECK(payloadHash(buffer.get(), entrySize) == entryHash,
                   "key %s: verified, yet its bytes hash to another value", key);
    }
    return 0;
}
