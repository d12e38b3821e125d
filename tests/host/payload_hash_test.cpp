#include <gtest/gtest.h>
#include <cstdint>
#include <random>
#include <vector>
#include "payload/payload_hash.h"

// The 64-bit FNV-1a, written out plainly; payloadHash must equal its low 32 bits.
static uint32_t lowBitsOfFnv1a64(const std::vector<uint8_t>& bytes) {
    uint64_t h = 0xcbf29ce484222325ull;
    for (uint8_t b : bytes) h = (h ^ b) * 0x100000001b3ull;
    return uint32_t(h);
}

TEST(PayloadHash, KnownValues) {
    EXPECT_EQ(payloadHash(nullptr, 0), 0x84222325u);
    const uint8_t abc[] = {'a', 'b', 'c'};
    EXPECT_EQ(payloadHash(abc, 3), 0x0541574bu);
    // The 32-bit FNV-1a of "abc" is 0x1a47e90b: a different hash, which must not come out here.
    EXPECT_NE(payloadHash(abc, 3), 0x1a47e90bu);
}

TEST(PayloadHash, MatchesLowWordOfFnv1a64AtEveryLengthAndAlignment) {
    std::mt19937 random(7);
    std::vector<uint8_t> data(300);
    for (auto& b : data) b = uint8_t(random());
    for (size_t start : {0, 1, 3}) {
        for (size_t length = 0; length + start <= data.size(); length += 13) {
            std::vector<uint8_t> slice(data.begin() + start, data.begin() + start + length);
            ASSERT_EQ(payloadHash(data.data() + start, length), lowBitsOfFnv1a64(slice))
                << "start " << start << " length " << length;
        }
    }
}

TEST(PayloadHash, ContinuesAcrossSplits) {
    std::vector<uint8_t> data(1000);
    for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i * 31 + 5);
    const uint32_t whole = payloadHash(data.data(), data.size());
    for (size_t split : {0, 1, 2, 5, 500, 999, 1000})
        EXPECT_EQ(payloadHashContinue(payloadHash(data.data(), split), data.data() + split, data.size() - split),
                  whole) << "split " << split;
}
