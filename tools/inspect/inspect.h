// What moravel-inspect does with a PayloadImage found in an executable: list it, verify it (alone or
// against a payload folder), extract it. Every entry is read with the installer's own code (findEntry,
// visitChunkRefs and assembleEntry, payloadHash), so what passes here is what the installer would install.
#pragma once
#include <cstdint>
#include <string>

#include "tools/inspect/pe_payload.h"

// Exit codes of the tool.
constexpr int INSPECT_OK = 0;          // listed, verified, extracted
constexpr int INSPECT_CORRUPTED = 1;   // corrupted, or different from the folder
constexpr int INSPECT_UNREADABLE = 2;  // usage, or an input that cannot be read

struct InspectResult {
    int code = INSPECT_OK;
    std::string out;     // for stdout
    std::string errors;  // one line per problem, for stderr
};

// The license's size and lines, then the packer's summary table: per entry its size, ChunkRefs, the store
// bytes it is the first to name (a producer's literal bytes) and its hash. Walks the whole directory.
InspectResult listPayload(const PayloadImageView& image);

// Finds each of the five entries with findEntry, walks its ChunkRefs with visitChunkRefs (every check of
// assembleEntry, in its order) and hashes the bytes they name with payloadHash's code, where they lie: the
// bytes assembleEntry would copy, without the copy. Checks the directory's order and extent too. With a
// folder (non-empty), also compares every entry and the license with the folder's files byte for byte.
// Runs on up to `threads` threads, one entry at a time each.
InspectResult verifyPayload(const PayloadImageView& image, const std::string& folder, unsigned threads);

// Checks as verifyPayload does, but assembles each entry with assembleEntry itself into a buffer and writes
// license.txt and the five files under outFolder. Files go to temporary names and are renamed into place
// only when all have passed; on failure none is left.
InspectResult extractPayload(const PayloadImageView& image, const std::string& outFolder, unsigned threads);
