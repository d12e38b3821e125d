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


// One DirectoryEntry as a walk over the whole directory meets it (for tools; the installer only looks up).
struct DirectoryEntryView {
    const uint8_t* name;    // the name's first byte
    uint64_t nameLength;    // without the NUL
    const uint8_t* header;  // hash and size, as findEntry returns it
    uint32_t hash;
    uint32_t size;
    const uint8_t* refs;    // the first ChunkRef
    uint64_t refCount;      // ChunkRefs before the terminator
    const uint8_t* next;    // the byte after the terminator: the next entry's name, or directoryEnd
};

enum EntryReadResult {
    ENTRY_READ,
    ENTRY_NAME_UNTERMINATED,  // no NUL before directoryEnd
    ENTRY_HEADER_TRUNCATED,   // hash and size do not fit before directoryEnd
    ENTRY_REFS_UNTERMINATED,  // no terminator before directoryEnd
};

// Reads the entry whose name begins at `at` (directoryBegin, or the previous entry's next), stepping over
// its ChunkRefs as findEntry does. The view is filled only on ENTRY_READ.
EntryReadResult readEntry(const PayloadRegions& regions, const uint8_t* at, DirectoryEntryView& view);

enum AssemblyResult {
    ASSEMBLY_VERIFIED,
    ASSEMBLY_OVERRUN,         // a ChunkRef would carry the total past size (nothing of it copied)
    ASSEMBLY_OUTSIDE_STORE,   // a ChunkRef names bytes outside the ChunkStore
    ASSEMBLY_UNTERMINATED,    // the ChunkRef list runs past directoryEnd
    ASSEMBLY_LENGTH_MISMATCH, // the list ends before size bytes
    ASSEMBLY_HASH_MISMATCH,
    ASSEMBLY_STOPPED,         // the visitor of visitChunkRefs asked to stop
};

// One ChunkRef as assembly meets it: where its bytes go in the file and where they come from in the store.
struct ChunkVisit {
    uint64_t fileOffset;
    uint64_t storeOffset;
    uint64_t count;
    const uint8_t* bytes;  // storeBegin + storeOffset; null when count is 0 (such a ref may point anywhere)
};
typedef bool (*ChunkVisitor)(void* context, const ChunkVisit& chunk);

// Walks the entry's ChunkRef list with every check of assembly but the hash, in the same order, and hands
// each ref to visit once it has passed them (a ref of count 0 too). ASSEMBLY_VERIFIED then means the list
// is sound: it stays within the store and adds up to size. assembleEntry is this walk with a copy.
AssemblyResult visitChunkRefs(const PayloadRegions& regions, const uint8_t* entry, ChunkVisitor visit, void* context);

// Assembles the entry whose hash field is at entry (as findEntry returned it) into buffer, which holds at
// least size bytes, and verifies length and hash. Anything but ASSEMBLY_VERIFIED is a corrupted payload.
AssemblyResult assembleEntry(const PayloadRegions& regions, const uint8_t* entry, uint8_t* buffer);

enum EntryLookup {
    LOOKUP_FOUND,
    LOOKUP_ABSENT,     // the directory is whole and no entry has the key
    LOOKUP_DUPLICATE,  // two entries have the key: a damaged name
    LOOKUP_MALFORMED,  // the walk does not end exactly at directoryEnd (an entry readEntry refuses)
};

// Walks the whole directory, entry by entry with readEntry, from directoryBegin to directoryEnd, and sets
// header to the hash field of the one entry named key (the byte after its name's NUL). header is set only
// on LOOKUP_FOUND; then the entry's ChunkRef list and terminator lie within the directory.
EntryLookup lookupEntry(const PayloadRegions& regions, const char* key, const uint8_t*& header);

// lookupEntry's header on LOOKUP_FOUND, else nullptr: every other answer is a corrupted payload.
const uint8_t* findEntry(const PayloadRegions& regions, const char* key);
