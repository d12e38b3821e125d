#include "payload/entry_directory.h"
#include <stddef.h>
#include "payload/payload_format.h"
#include "payload/payload_hash.h"

// No <string.h> in the installer: memcpy is app/compiler_support.cpp's there, the C library's on the host.
extern "C" void* memcpy(void* destination, const void* source, size_t count);

// Room left before end, in bytes; the walk compares against this instead of forming pointers past the end.
static uint64_t bytesLeft(const uint8_t* p, const uint8_t* end) { return uint64_t(end - p); }

EntryReadResult readEntry(const PayloadRegions& regions, const uint8_t* at, DirectoryEntryView& view) {
    const uint8_t* end = regions.directoryEnd;
    const uint8_t* p = at;
    while (p < end && *p != 0) ++p;
    if (p == end) return ENTRY_NAME_UNTERMINATED;
    const uint8_t* header = p + 1;
    if (bytesLeft(header, end) < ENTRY_HEADER_BYTES) return ENTRY_HEADER_TRUNCATED;
    const uint8_t* refs = header + ENTRY_HEADER_BYTES;
    uint64_t count = 0;
    for (const uint8_t* ref = refs;; ref += CHUNK_REF_BYTES, ++count) {
        if (bytesLeft(ref, end) < CHUNK_REF_BYTES) return ENTRY_REFS_UNTERMINATED;
        if (readRefOffset(ref) == 0 && readRefCount(ref) == 0) {
            view.next = ref + CHUNK_REF_BYTES;
            break;
        }
    }
    view.name = at;
    view.nameLength = uint64_t(p - at);
    view.header = header;
    view.hash = readEntryHash(header);
    view.size = readEntrySize(header);
    view.refs = refs;
    view.refCount = count;
    return ENTRY_READ;
}

AssemblyResult visitChunkRefs(const PayloadRegions& regions, const uint8_t* entry, ChunkVisitor visit, void* context) {
    const uint64_t size = readEntrySize(entry);
    const uint64_t storeLength = uint64_t(regions.storeEnd - regions.storeBegin);
    const uint8_t* ref = entry + ENTRY_HEADER_BYTES;
    uint64_t total = 0;  // 64-bit, so total + count never wraps
    for (;; ref += CHUNK_REF_BYTES) {
        if (bytesLeft(ref, regions.directoryEnd) < CHUNK_REF_BYTES) return ASSEMBLY_UNTERMINATED;
        const uint64_t offset = readRefOffset(ref);
        const uint64_t count = readRefCount(ref);
        if (offset == 0 && count == 0) break;
        if (total + count > size) return ASSEMBLY_OVERRUN;
        // A ref of count 0 names no bytes, wherever its offset points.
        if (count != 0 && offset + count > storeLength) return ASSEMBLY_OUTSIDE_STORE;
        const ChunkVisit chunk = {total, offset, count, count != 0 ? regions.storeBegin + offset : nullptr};
        if (!visit(context, chunk)) return ASSEMBLY_STOPPED;
        total += count;
    }
    if (total != size) return ASSEMBLY_LENGTH_MISMATCH;
    return ASSEMBLY_VERIFIED;
}

static bool copyChunk(void* buffer, const ChunkVisit& chunk) {
    if (chunk.count != 0) memcpy(static_cast<uint8_t*>(buffer) + chunk.fileOffset, chunk.bytes, chunk.count);
    return true;
}

AssemblyResult assembleEntry(const PayloadRegions& regions, const uint8_t* entry, uint8_t* buffer) {
    const AssemblyResult listed = visitChunkRefs(regions, entry, copyChunk, buffer);
    if (listed != ASSEMBLY_VERIFIED) return listed;
    // One pass over the assembled file, only once its length is confirmed.
    if (payloadHash(buffer, readEntrySize(entry)) != readEntryHash(entry)) return ASSEMBLY_HASH_MISMATCH;
    return ASSEMBLY_VERIFIED;
}

static bool nameIs(const DirectoryEntryView& entry, const char* key) {
    uint64_t i = 0;
    while (i < entry.nameLength && key[i] != 0 && entry.name[i] == uint8_t(key[i])) ++i;
    return i == entry.nameLength && key[i] == 0;
}

// The whole directory is walked even after a match: names are distinct in every well-formed payload, so a key
// met twice means a damaged name, and taking the first match could install one file under another's name.
EntryLookup lookupEntry(const PayloadRegions& regions, const char* key, const uint8_t*& header) {
    header = nullptr;
    const uint8_t* found = nullptr;
    for (const uint8_t* at = regions.directoryBegin; at != regions.directoryEnd;) {
        DirectoryEntryView entry;
        if (readEntry(regions, at, entry) != ENTRY_READ) return LOOKUP_MALFORMED;
        if (nameIs(entry, key)) {
            if (found != nullptr) return LOOKUP_DUPLICATE;
            found = entry.header;
        }
        at = entry.next;
    }
    header = found;
    return found != nullptr ? LOOKUP_FOUND : LOOKUP_ABSENT;
}

const uint8_t* findEntry(const PayloadRegions& regions, const char* key) {
    const uint8_t* header = nullptr;
    return lookupEntry(regions, key, header) == LOOKUP_FOUND ? header : nullptr;
}
