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

#include "tools/packer/chunk_store.h"
#include "tools/packer/store_index.h"

namespace packer {

struct Piece {
    uint64_t begin = 0;       // offset in the file
    uint64_t length = 0;
    int64_t storeOffset = -1;  // where a copy's bytes are in the store; -1 for a literal run
    uint64_t literalOffset = 0;  // where a literal run was appended to the store, recorded when it was

    bool literal() const { return storeOffset < 0; }
};

// How far a copy may be resumed after a mismatch without the index: skips of up to this many bytes in the
// file and in the store (substitutions, insertions and deletions of up to this size).
constexpr uint64_t RESYNC_RANGE = 24;

// Cuts file[0, size) against the store. Literal runs go to the end of the store, in file order, as soon as
// no later decision can change them, and are indexed there, so that later parts of the same file can copy
// them too. Returns the pieces; literal pieces keep storeOffset -1 and carry the offset they were appended
// at, so they lie in the store back to back from the store's length at the call. progress receives the file offset reached now and then; it may be empty.
std::vector<Piece> cutIntoPieces(StoreIndex& index, ChunkStore& store, const uint8_t* file, uint64_t size,
                                 const std::function<void(uint64_t)>& progress);

// Applies the cost rules above to pieces that tile a file in order, one piece at a time: converts copies
// that do not pay into literal bytes and merges neighbours.
struct PieceSettler {
    std::vector<Piece> pieces;

    void push(const Piece& piece);
    void finish();  // after the last piece

    // Whether pieces[i] can no longer change, provided every copy pushed is at least 16 bytes long (true of
    // the cutter's copies, which hold a WINDOW-byte match). Such a copy folds only between two literal runs
    // and only at exactly 16 bytes, which is decided once its right neighbour is pushed, and a fold never
    // makes another copy fold. A literal run is settled once the copy after it is.
    bool settled(size_t i) const {
        if (i >= pieces.size()) return false;
        if (!pieces[i].literal()) return pieces[i].length > 16 || i + 1 < pieces.size();
        return i + 1 < pieces.size() && settled(i + 1);
    }

private:
    bool foldCopyAt(size_t i, bool hasRight);
    void settleBeforeTop();
};

}  // namespace packer
