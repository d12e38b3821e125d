// The bytes of the demo builds: machine code, tables, strings and media that compress about as a built
// plug-in does (zstd -19 keeps roughly half), from a random stream that is the same on every machine.
//
// The packer must still find nothing of a build's novel bytes (its code region, from fillCode) elsewhere in
// the store: in generated code every run of predictable bytes (an opcode, a function boundary, int3 padding)
// is shorter than the packer's 16-byte window and sits between bytes drawn afresh (registers, displacements,
// field and global offsets), so a 17-byte stretch of code turns up again only by rare chance. Tables,
// strings and media lie only in the shared region, which later builds copy whole; text repeats itself there
// as it does in real builds.
#pragma once
#include <bit>
#include <cstdint>
#include <cstring>

// xoshiro256**: fast, and the same stream on every machine.
struct Random {
    uint64_t s[4];

    explicit Random(uint64_t seed) {
        for (uint64_t& word : s) {
            seed += 0x9E3779B97F4A7C15ull;
            uint64_t z = seed;
            z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
            z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
            word = z ^ (z >> 31);
        }
    }
    uint64_t next() {
        uint64_t result = std::rotl(s[1] * 5, 7) * 9;
        uint64_t t = s[1] << 17;
        s[2] ^= s[0], s[3] ^= s[1], s[1] ^= s[2], s[0] ^= s[3];
        s[2] ^= t;
        s[3] = std::rotl(s[3], 45);
        return result;
    }
    uint64_t below(uint64_t bound) { return bound == 0 ? 0 : next() % bound; }
    void fill(uint8_t* out, uint64_t count) {
        while (count >= 8) {
            uint64_t word = next();
            std::memcpy(out, &word, 8);
            out += 8, count -= 8;
        }
        uint64_t word = next();
        std::memcpy(out, &word, count);
    }
};

// x86-64 functions (prologue, body, epilogue, int3 padding) filling out[0, count) exactly.
void fillCode(Random& random, uint8_t* out, uint64_t count);

// The shared part of a build: code, tables, strings and media in segments of tens of kilobytes.
void fillShared(Random& random, uint8_t* out, uint64_t count);
