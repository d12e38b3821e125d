// A sampled hash index of the ChunkStore: the WINDOW-byte window at every step-th store offset, kept in a
// direct-mapped table of (tag, offset + 1) slots. Any match of at least WINDOW + step - 1 bytes contains a
// sampled window, so the matcher finds it by looking up every position of the file being cut.
#pragma once
#include <cstdint>
#include <cstring>

namespace packer {

struct StoreIndex {
    static constexpr uint32_t WINDOW = 16;

    uint64_t* slots = nullptr;
    uint64_t slotCount = 0;
    unsigned shift = 0;      // 64 - log2(slotCount)
    uint64_t step = 1;
    uint64_t nextOffset = 0;  // the first sampled offset not yet indexed

    StoreIndex() = default;
    StoreIndex(const StoreIndex&) = delete;
    StoreIndex& operator=(const StoreIndex&) = delete;
    ~StoreIndex();

    // Sizes the table for a store of about expectedLength bytes and at most maxEntries sampled windows.
    void reserve(uint64_t expectedLength, uint64_t maxEntries);

    // Indexes the windows that lie wholly within store[0, length) and were not indexed before. Where two
    // windows share a slot the lower offset wins.
    void extend(const uint8_t* store, uint64_t length);

    static uint64_t windowHash(const uint8_t* at) {
        uint64_t a, b;
        std::memcpy(&a, at, 8);
        std::memcpy(&b, at + 8, 8);
        uint64_t h = a * 0x9E3779B97F4A7C15ull ^ (b + 0x632BE59BD9B4E019ull) * 0xC2B2AE3D27D4EB4Full;
        h ^= h >> 31;
        return h * 0xD6E8FEB86659FD93ull;
    }

    uint64_t* slotFor(uint64_t hash) const { return slots + (hash >> shift); }

    // The store offset recorded for hash, or -1. A hit is only a candidate: the caller compares the bytes.
    int64_t find(uint64_t hash) const {
        uint64_t slot = *slotFor(hash);
        if (slot == 0 || uint32_t(slot >> 32) != uint32_t(hash)) return -1;
        return int64_t(uint32_t(slot)) - 1;
    }

private:
    uint64_t mapped = 0;
};

}  // namespace packer
