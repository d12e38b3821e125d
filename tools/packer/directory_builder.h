// From pieces to the PayloadDirectory: literal runs go to the store, every piece becomes a ChunkRef, and
// the entries are serialised as the reader walks them.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tools/packer/matcher.h"

namespace packer {

struct ChunkRef {
    uint32_t offset = 0;
    uint32_t count = 0;
};

struct PackedEntry {
    std::string key;
    uint32_t hash = 0;
    uint64_t size = 0;
    std::vector<ChunkRef> refs;
    uint64_t literalBytes = 0;
};

// The refs of a file's pieces: a copy at its storeOffset, a literal run where the cutter appended it. A ref
// merges into the one before it where the two continue each other in the store. The caller has checked that
// the store stays within 4 GiB.
std::vector<ChunkRef> placePieces(const std::vector<Piece>& pieces);

// Name and NUL, hash, size, ChunkRefs and the { 0, 0 } terminator of each entry, back to back.
std::vector<uint8_t> buildDirectory(const std::vector<PackedEntry>& entries);

}  // namespace packer
