// What moravel-inspect does with a PayloadImage found in an executable: list it, verify it (alone or
// against a payload folder), extract it. Every entry is read with the installer's own code (findEntry,
// assembleEntry, payloadHash), so what passes here is what the installer would install.
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

// Finds, assembles and hash-checks each of the five entries and checks the directory's order and extent;
// with a folder (non-empty), also compares every entry and the license with the folder's files byte for
// byte. Runs on up to `threads` threads, each with one buffer of the largest entry's size.
InspectResult verifyPayload(const PayloadImageView& image, const std::string& folder, unsigned threads);

// verifyPayload, writing license.txt and the five files under outFolder as they pass. Files go to
// temporary names and are renamed into place only when all have passed; on failure none is left.
InspectResult extractPayload(const PayloadImageView& image, const std::string& outFolder, unsigned threads);
