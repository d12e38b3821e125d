// Reading the PayloadDirectory in place: finding an entry by its key and assembling it from the ChunkStore.
// Pure code (no Win32): it builds into the installer and into the host tests.
#pragma once
#include <stdint.h>

// The four bounds of the image that the reader trusts; everything else comes from the bytes between them.
struct PayloadRegions {
    const uint8_t* storeBegin;
    const uint8_t* storeEnd;
    const uint8_t* directoryBegin;
    const uint8_t* directoryEnd;
};

// Walks the directory from its first entry and returns the address of the found entry's hash field (the byte
// after its name's NUL); hash and size lie within the directory. Returns nullptr when the key is not there,
// that is when the walk would read past directoryEnd.
const uint8_t* findEntry(const PayloadRegions& regions, const char* key);

enum AssemblyResult {
    ASSEMBLY_VERIFIED,
    ASSEMBLY_OVERRUN,         // a ChunkRef would carry the total past size (nothing of it copied)
    ASSEMBLY_OUTSIDE_STORE,   // a ChunkRef names bytes outside the ChunkStore
    ASSEMBLY_UNTERMINATED,    // the ChunkRef list runs past directoryEnd
    ASSEMBLY_LENGTH_MISMATCH, // the list ends before size bytes
    ASSEMBLY_HASH_MISMATCH,
};

// Assembles the entry whose hash field is at entry (as findEntry returned it) into buffer, which holds at
// least size bytes, and verifies length and hash. Anything but ASSEMBLY_VERIFIED is a corrupted payload.
AssemblyResult assembleEntry(const PayloadRegions& regions, const uint8_t* entry, uint8_t* buffer);
