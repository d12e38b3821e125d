// Cuts one payload file into copies of bytes already in the ChunkStore and literal runs, in file order.
//
// Costs: a copy costs one 8-byte ChunkRef; a literal run costs its bytes in the store plus one ChunkRef. The
// cut keeps a copy only where it saves more than the references it costs: a copy with k literal neighbours
// must be longer than 8 * k bytes, since folding it into them removes k references. Adjacent literal runs are
// merged and so are copies that continue each other in the store.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "tools/packer/store_index.h"

struct Piece {
    uint64_t begin = 0;       // offset in the file
    uint64_t length = 0;
    int64_t storeOffset = -1;  // where a copy's bytes are in the store; -1 for a literal run

    bool literal() const { return storeOffset < 0; }
};

struct MatchStats {
    uint64_t lookups = 0;   // index probes made while scanning unmatched bytes
    uint64_t resyncs = 0;   // mismatches inside a copy that were resumed without the index
};

// How far a copy may be resumed after a mismatch without the index: skips of up to this many bytes in the
// file and in the store (substitutions, insertions and deletions of up to this size).
constexpr uint64_t RESYNC_RANGE = 24;

// Cuts file[0, size) against store[0, storeLength), whose sampled windows are in index. progress receives
// the file offset reached, now and then; it may be empty.
std::vector<Piece> cutIntoPieces(const StoreIndex& index, const uint8_t* store, uint64_t storeLength,
                                 const uint8_t* file, uint64_t size, MatchStats* stats,
                                 const std::function<void(uint64_t)>& progress);

// Applies the cost rules above to pieces that tile a file in order: converts copies that do not pay into
// literal bytes and merges neighbours. Exposed for tests.
std::vector<Piece> settlePieces(const std::vector<Piece>& raw);
