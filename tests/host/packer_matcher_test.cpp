// The matcher on its own: how it cuts a file around each kind of edit, and the cost rules that decide which
// copies are worth a ChunkRef.
#include <gtest/gtest.h>

#include "tests/host/packer_test_files.h"
#include "tools/packer/chunk_store.h"
#include "tools/packer/matcher.h"
#include "tools/packer/store_index.h"

using namespace packer;

namespace {

// Pieces written compactly: a literal run of n bytes is {n}, a copy is {n, storeOffset}.
struct P {
    uint64_t length;
    int64_t storeOffset = -1;
};

std::vector<Piece> tile(const std::vector<P>& compact) {
    std::vector<Piece> pieces;
    uint64_t at = 0;
    for (const P& p : compact) {
        pieces.push_back({at, p.length, p.storeOffset});
        at += p.length;
    }
    return pieces;
}

std::string show(const std::vector<Piece>& pieces) {
    std::string text;
    for (const Piece& p : pieces)
        text += p.literal() ? "L" + std::to_string(p.length) + " "
                            : "C" + std::to_string(p.length) + "@" + std::to_string(p.storeOffset) + " ";
    return text;
}

TEST(SettlePieces, KeepsOnlyCopiesThatPay) {
    struct Case {
        const char* why;
        std::vector<P> in, out;
    };
    const Case cases[] = {
        {"copy between literals at the break-even point", {{5}, {16, 100}, {5}}, {{26}}},
        {"copy between literals that pays", {{5}, {17, 100}, {5}}, {{5}, {17, 100}, {5}}},
        {"leading copy before a literal, break-even", {{8, 100}, {5}}, {{13}}},
        {"leading copy before a literal that pays", {{9, 100}, {5}}, {{9, 100}, {5}}},
        {"trailing copy after a literal, break-even", {{5}, {8, 100}}, {{13}}},
        {"trailing copy after a literal that pays", {{5}, {9, 100}}, {{5}, {9, 100}}},
        {"short copies between copies cost nothing extra", {{100, 0}, {3, 500}, {100, 200}},
         {{100, 0}, {3, 500}, {100, 200}}},
        {"folding one copy makes its neighbour fold too", {{4}, {12, 100}, {6, 300}, {4}}, {{26}}},
        {"copies that continue each other merge", {{10, 40}, {10, 50}, {3}}, {{20, 40}, {3}}},
        {"adjacent literal runs merge", {{3}, {4}, {20, 7}}, {{7}, {20, 7}}},
        {"empty pieces vanish", {{0}, {30, 9}, {0, 4}}, {{30, 9}}},
    };
    for (const Case& c : cases) {
        PieceSettler settler;
        for (const Piece& piece : tile(c.in)) settler.push(piece);
        settler.finish();
        EXPECT_EQ(show(settler.pieces), show(tile(c.out))) << c.why;
    }
}

struct Cut {
    std::vector<Piece> pieces;
    uint64_t literal = 0;
};

// Cuts file against a store holding storeBytes; literal runs are checked where the cutter appended them.
Cut cut(const Bytes& storeBytes, const Bytes& file, uint64_t maxEntries = 1 << 20) {
    MappedFile none;
    ChunkStore store;
    store.begin(none, storeBytes.size() + file.size());
    store.append(storeBytes.data(), storeBytes.size());
    StoreIndex index;
    index.reserve(store.length, maxEntries);
    index.extend(store.bytes, store.length);
    Cut result;
    result.pieces = cutIntoPieces(index, store, file.data(), file.size(), {});
    uint64_t at = 0, literalAt = storeBytes.size();
    for (const Piece& p : result.pieces) {
        EXPECT_EQ(p.begin, at);
        // A literal run carries the offset it was appended at: the next bytes of the store, in file order.
        if (p.literal()) {
            EXPECT_EQ(p.literalOffset, literalAt) << "literal run at file offset " << p.begin;
        }
        const uint8_t* from = store.bytes + (p.literal() ? p.literalOffset : uint64_t(p.storeOffset));
        EXPECT_TRUE(std::equal(file.begin() + p.begin, file.begin() + p.begin + p.length, from)) << show(result.pieces);
        if (p.literal()) {
            result.literal += p.length;
            literalAt += p.length;
        } else {
            EXPECT_LE(uint64_t(p.storeOffset) + p.length, literalAt) << "copy of bytes not yet in the store";
        }
        at += p.length;
    }
    EXPECT_EQ(at, file.size());
    EXPECT_EQ(literalAt, store.length);
    return result;
}

TEST(CutIntoPieces, FollowsACopyThroughEachKindOfEdit) {
    std::mt19937_64 random(42);
    const Bytes store = randomBytes(random, 20'000);
    const uint64_t R = RESYNC_RANGE;
    struct Case {
        const char* kind;
        uint64_t length;
        std::vector<P> expected;  // for an edit at offset 9,000
    };
    const Case cases[] = {
        {"substitute", 1, {{9000, 0}, {1}, {10'999, 9001}}},
        {"substitute", R, {{9000, 0}, {R}, {11'000 - R, int64_t(9000 + R)}}},
        {"substitute", R + 1, {{9000, 0}, {R + 1}, {10'999 - R, int64_t(9001 + R)}}},
        {"substitute", 300, {{9000, 0}, {300}, {10'700, 9300}}},
        {"insert", 5, {{9000, 0}, {5}, {11'000, 9000}}},
        {"insert", 300, {{9000, 0}, {300}, {11'000, 9000}}},
        {"delete", 7, {{9000, 0}, {10'993, 9007}}},
        {"delete", 500, {{9000, 0}, {10'500, 9500}}},
        {"substitute the tail", 11'000, {{9000, 0}, {11'000}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.kind) + " " + std::to_string(c.length));
        Bytes file = store;
        std::string kind = c.kind;
        if (kind.starts_with("substitute")) {
            for (uint64_t k = 0; k < c.length; ++k) file[9000 + k] ^= 0x5A;
        } else if (kind == "insert") {
            Bytes inserted = randomBytes(random, c.length);
            file.insert(file.begin() + 9000, inserted.begin(), inserted.end());
        } else {
            file.erase(file.begin() + 9000, file.begin() + 9000 + int64_t(c.length));
        }
        Cut result = cut(store, file);
        EXPECT_EQ(show(result.pieces), show(tile(c.expected)));
    }
}

TEST(CutIntoPieces, SparseIndexStillFindsLongMatches) {
    // With one window in 256 indexed, a match of WINDOW + 255 bytes always holds a sampled window, and
    // backward extension recovers the bytes before it.
    std::mt19937_64 random(5);
    const Bytes store = randomBytes(random, 100'000);
    Bytes file = randomBytes(random, 1000);
    uint64_t literal = file.size();
    for (uint64_t from : {70'000u, 3'333u, 51'234u}) {
        file.insert(file.end(), store.begin() + from, store.begin() + from + 271);
        Bytes noise = randomBytes(random, 50);
        file.insert(file.end(), noise.begin(), noise.end());
        literal += noise.size();
    }
    Cut result = cut(store, file, 100'000 / 256);
    EXPECT_EQ(result.literal, literal) << show(result.pieces);
}

TEST(CutIntoPieces, CopiesItsOwnEarlierLiteralRuns) {
    std::mt19937_64 random(8);
    const Bytes store = randomBytes(random, 3000);
    Bytes novel = randomBytes(random, 700);
    Bytes file = novel;
    file.insert(file.end(), store.begin() + 100, store.begin() + 400);
    file.insert(file.end(), novel.begin() + 50, novel.begin() + 650);  // repeats bytes first seen above
    Cut result = cut(store, file);
    EXPECT_EQ(result.literal, novel.size()) << show(result.pieces);
    EXPECT_EQ(show(result.pieces), show(tile({{700}, {300, 100}, {600, 3050}})));
}

TEST(CutIntoPieces, NoMatchInUnrelatedOrTinyFiles) {
    std::mt19937_64 random(6);
    const Bytes store = randomBytes(random, 5000);
    for (size_t size : {0u, 1u, 15u, 16u, 4000u}) {
        Bytes file = randomBytes(random, size);
        Cut result = cut(store, file);
        EXPECT_EQ(result.literal, size);
        EXPECT_LE(result.pieces.size(), 1u);
    }
}

}  // namespace
