#include "payload/entry_directory.h"
#include <stddef.h>
#include "payload/payload_format.h"
#include "payload/payload_hash.h"

// No <string.h> in the installer: memcpy is app/compiler_support.cpp's there, the C library's on the host.
extern "C" void* memcpy(void* destination, const void* source, size_t count);

// Room left before end, in bytes; the walk compares against this instead of forming pointers past the end.
static uint64_t bytesLeft(const uint8_t* p, const uint8_t* end) { return uint64_t(end - p); }

const uint8_t* findEntry(const PayloadRegions& regions, const char* key) {
    const uint8_t* p = regions.directoryBegin;
    const uint8_t* end = regions.directoryEnd;
    while (p < end) {
        // Names are compared byte by byte; a name without its NUL before end is not in the directory.
        uint64_t i = 0;
        while (p + i < end && p[i] == uint8_t(key[i]) && key[i] != 0) ++i;
        if (p + i == end) return nullptr;
        const bool match = p[i] == 0 && key[i] == 0;
        while (p + i < end && p[i] != 0) ++i;
        if (p + i == end) return nullptr;
        p += i + 1;
        if (bytesLeft(p, end) < ENTRY_HEADER_BYTES) return nullptr;
        if (match) return p;
        // Step over hash and size (never both zero) and the ChunkRefs, up to and past the all-zero group.
        for (;;) {
            if (bytesLeft(p, end) < CHUNK_REF_BYTES) return nullptr;
            const bool terminator = readU32(p) == 0 && readU32(p + 4) == 0;
            p += CHUNK_REF_BYTES;
            if (terminator) break;
        }
    }
    return nullptr;
}

AssemblyResult assembleEntry(const PayloadRegions& regions, const uint8_t* entry, uint8_t* buffer) {
    const uint32_t hash = readU32(entry);
    const uint64_t size = readU32(entry + 4);
    const uint64_t storeLength = uint64_t(regions.storeEnd - regions.storeBegin);
    const uint8_t* ref = entry + ENTRY_HEADER_BYTES;
    uint64_t total = 0;  // 64-bit, so total + count never wraps
    for (;; ref += CHUNK_REF_BYTES) {
        if (bytesLeft(ref, regions.directoryEnd) < CHUNK_REF_BYTES) return ASSEMBLY_UNTERMINATED;
        const uint64_t offset = readU32(ref);
        const uint64_t count = readU32(ref + 4);
        if (offset == 0 && count == 0) break;
        if (total + count > size) return ASSEMBLY_OVERRUN;
        if (count == 0) continue;  // names no bytes, wherever its offset points
        if (offset + count > storeLength) return ASSEMBLY_OUTSIDE_STORE;
        memcpy(buffer + total, regions.storeBegin + offset, count);
        total += count;
    }
    if (total != size) return ASSEMBLY_LENGTH_MISMATCH;
    // One pass over the assembled file, only once its length is confirmed.
    if (payloadHash(buffer, size) != hash) return ASSEMBLY_HASH_MISMATCH;
    return ASSEMBLY_VERIFIED;
}
