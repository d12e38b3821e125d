#include "tools/packer/matcher.h"
#include "tools/packer/contract.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <immintrin.h>

namespace packer {

namespace {

constexpr uint64_t W = StoreIndex::WINDOW;
constexpr uint64_t PREFETCH_DISTANCE = 16;  // index probes in flight while scanning unmatched bytes
constexpr uint64_t PROGRESS_GRAIN = 8u << 20;

inline uint64_t load64(const uint8_t* at) {
    uint64_t value;
    std::memcpy(&value, at, 8);
    return value;
}

// Number of equal leading bytes of a and b, at most max. Matching is mostly this loop over long copies, so
// it takes 64 bytes a step where the processor has AVX2.
__attribute__((target("avx2"))) uint64_t forwardMatchWide(const uint8_t* a, const uint8_t* b, uint64_t max) {
    uint64_t n = 0;
    while (n + 64 <= max) {
        __m256i x0 = _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + n)),
                                       _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + n)));
        __m256i x1 = _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + n + 32)),
                                       _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + n + 32)));
        uint64_t equal = uint64_t(uint32_t(_mm256_movemask_epi8(x0))) | uint64_t(uint32_t(_mm256_movemask_epi8(x1))) << 32;
        if (equal != ~0ull) return n + uint64_t(std::countr_one(equal));
        n += 64;
    }
    while (n < max && a[n] == b[n]) ++n;
    return n;
}

const bool HAVE_AVX2 = __builtin_cpu_supports("avx2");

uint64_t forwardMatch(const uint8_t* a, const uint8_t* b, uint64_t max) {
    if (HAVE_AVX2) return forwardMatchWide(a, b, max);
    uint64_t n = 0;
    while (n + 32 <= max) {
        uint64_t x0 = load64(a + n) ^ load64(b + n);
        uint64_t x1 = load64(a + n + 8) ^ load64(b + n + 8);
        uint64_t x2 = load64(a + n + 16) ^ load64(b + n + 16);
        uint64_t x3 = load64(a + n + 24) ^ load64(b + n + 24);
        if ((x0 | x1 | x2 | x3) != 0) {
            if (x0 != 0) return n + uint64_t(std::countr_zero(x0)) / 8;
            if (x1 != 0) return n + 8 + uint64_t(std::countr_zero(x1)) / 8;
            if (x2 != 0) return n + 16 + uint64_t(std::countr_zero(x2)) / 8;
            return n + 24 + uint64_t(std::countr_zero(x3)) / 8;
        }
        n += 32;
    }
    while (n + 8 <= max) {
        uint64_t x = load64(a + n) ^ load64(b + n);
        if (x != 0) return n + uint64_t(std::countr_zero(x)) / 8;
        n += 8;
    }
    while (n < max && a[n] == b[n]) ++n;
    return n;
}

// Number of equal bytes just before aEnd and bEnd, at most max.
uint64_t backwardMatch(const uint8_t* aEnd, const uint8_t* bEnd, uint64_t max) {
    uint64_t n = 0;
    while (n < max && aEnd[-1 - int64_t(n)] == bEnd[-1 - int64_t(n)]) ++n;
    return n;
}

struct Cutter {
    StoreIndex& index;
    ChunkStore& store;
    const uint8_t* file;
    uint64_t size;

    bool windowEqual(uint64_t at, uint64_t storeAt) const {
        return load64(file + at) == load64(store.bytes + storeAt) && load64(file + at + 8) == load64(store.bytes + storeAt + 8);
    }

    // Length of the copy that starts with an equal window at (at, storeAt).
    uint64_t extend(uint64_t at, uint64_t storeAt) const {
        return W + forwardMatch(file + at + W, store.bytes + storeAt + W, std::min(size - at, store.length - storeAt) - W);
    }

    // After a copy that ends at (at, storeAt) on a mismatch: the nearest place where the file goes on with the
    // store, trying the fewest skipped file bytes (literal bytes) first, then the fewest skipped store bytes.
    bool resync(uint64_t at, uint64_t storeAt, uint64_t& fileSkip, uint64_t& storeSkip) const {
        for (uint64_t b = 0; b <= RESYNC_RANGE && at + b + W <= size; ++b) {
            uint64_t x0 = load64(file + at + b), x1 = load64(file + at + b + 8);
            for (uint64_t a = b == 0 ? 1 : 0; a <= RESYNC_RANGE && storeAt + a + W <= store.length; ++a) {
                if (load64(store.bytes + storeAt + a) == x0 && load64(store.bytes + storeAt + a + 8) == x1) {
                    fileSkip = b;
                    storeSkip = a;
                    return true;
                }
            }
        }
        return false;
    }

    // Looks up every window from `from` on; on the first hit that the bytes confirm, extends the copy forward
    // and backward (not before literalStart) and returns it.
    bool scan(uint64_t from, uint64_t literalStart, Piece& found) {
        if (size < W || from > size - W) return false;
        const uint64_t last = size - W;
        uint64_t ring[PREFETCH_DISTANCE];
        for (uint64_t i = 0; i < PREFETCH_DISTANCE && from + i <= last; ++i) {
            ring[i] = StoreIndex::windowHash(file + from + i);
            __builtin_prefetch(index.slotFor(ring[i]));
        }
        for (uint64_t at = from; at <= last; ++at) {
            uint64_t hash = ring[at % PREFETCH_DISTANCE];
            if (at + PREFETCH_DISTANCE <= last) {
                uint64_t ahead = StoreIndex::windowHash(file + at + PREFETCH_DISTANCE);
                ring[at % PREFETCH_DISTANCE] = ahead;
                __builtin_prefetch(index.slotFor(ahead));
            }
            int64_t candidate = index.find(hash);
            if (candidate < 0 || uint64_t(candidate) + W > store.length) continue;
            uint64_t storeAt = uint64_t(candidate);
            if (!windowEqual(at, storeAt)) continue;
            uint64_t back = backwardMatch(file + at, store.bytes + storeAt, std::min(at - literalStart, storeAt));
            found.begin = at - back;
            found.storeOffset = int64_t(storeAt - back);
            found.length = back + extend(at, storeAt);
            return true;
        }
        return false;
    }
};

}  // namespace

// A copy at pieces[i] whose neighbours are both known: folds it into its literal neighbours if it does not pay.
bool PieceSettler::foldCopyAt(size_t i, bool hasRight) {
    Piece& copy = pieces[i];
    bool leftLiteral = i > 0 && pieces[i - 1].literal();
    bool rightLiteral = hasRight && pieces[i + 1].literal();
    uint64_t refsSaved = uint64_t(leftLiteral) + uint64_t(rightLiteral);
    if (copy.length > 8 * refsSaved) return false;
    copy.storeOffset = -1;
    if (rightLiteral) {
        copy.length += pieces[i + 1].length;
        pieces.erase(pieces.begin() + int64_t(i) + 1);
    }
    if (leftLiteral) {
        pieces[i - 1].length += copy.length;
        pieces.erase(pieces.begin() + int64_t(i));
    }
    return true;
}

// Only the last two or three pieces ever change, so the erases touch the end of the vector only.
void PieceSettler::settleBeforeTop() {
    while (pieces.size() >= 2 && !pieces[pieces.size() - 2].literal() && foldCopyAt(pieces.size() - 2, true)) {
    }
}

void PieceSettler::push(const Piece& piece) {
    if (piece.length == 0) return;
    if (!pieces.empty()) {
        Piece& back = pieces.back();
        if (back.literal() && piece.literal()) {
            back.length += piece.length;
            return;
        }
        if (!back.literal() && !piece.literal() && back.storeOffset + int64_t(back.length) == piece.storeOffset) {
            back.length += piece.length;
            return;
        }
    }
    pieces.push_back(piece);
    settleBeforeTop();
}

void PieceSettler::finish() {
    if (!pieces.empty() && !pieces.back().literal() && foldCopyAt(pieces.size() - 1, false)) settleBeforeTop();
}

std::vector<Piece> cutIntoPieces(StoreIndex& index, ChunkStore& store, const uint8_t* file, uint64_t size,
                                 const std::function<void(uint64_t)>& progress) {
    Cutter cutter{index, store, file, size};
    PieceSettler settler;
    // Settled literal runs go to the store at once, so that the rest of the file can copy them.
    size_t placed = 0;  // pieces before this one are settled and their literal bytes are in the store
    auto placeSettled = [&](bool all) {
        bool grew = false;
        for (; placed < settler.pieces.size() && (all || settler.settled(placed)); ++placed) {
            Piece& piece = settler.pieces[placed];
            if (!piece.literal()) continue;
            piece.literalOffset = store.append(file + piece.begin, piece.length);
            grew = true;
        }
        if (grew) index.extend(store.bytes, store.length);
    };
    auto push = [&](const Piece& piece) {
        PACKER_ASSERT(piece.literal() || piece.length >= StoreIndex::WINDOW);  // what settled() relies on
        settler.push(piece);
        placeSettled(false);
    };
    uint64_t literalStart = 0;
    uint64_t nextReport = PROGRESS_GRAIN;
    Piece found;
    while (literalStart < size && cutter.scan(literalStart, literalStart, found)) {
        if (found.begin > literalStart) push({literalStart, found.begin - literalStart, -1});
        uint64_t at = found.begin;
        uint64_t storeAt = uint64_t(found.storeOffset);
        uint64_t length = found.length;
        // Follow the copy through small edits for as long as the file keeps to the same stretch of store.
        for (;;) {
            push({at, length, int64_t(storeAt)});
            at += length;
            storeAt += length;
            if (progress && at >= nextReport) {
                progress(at);
                nextReport = at + PROGRESS_GRAIN;
            }
            uint64_t fileSkip, storeSkip;
            if (at == size || !cutter.resync(at, storeAt, fileSkip, storeSkip)) break;
            if (fileSkip > 0) push({at, fileSkip, -1});
            at += fileSkip;
            storeAt += storeSkip;
            length = cutter.extend(at, storeAt);
        }
        literalStart = at;
    }
    if (literalStart < size) push({literalStart, size - literalStart, -1});
    settler.finish();
    placeSettled(true);
    return std::move(settler.pieces);
}

}  // namespace packer
