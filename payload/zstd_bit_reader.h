// The decoder's small shared pieces: unaligned little-endian loads and fixed-size copies, and the backward
// bit reader of FSE and Huffman streams. Internal to payload/zstd_*.cpp.
//
// Fixed-size moves use __builtin_memcpy, which the compiler turns into plain loads and stores even in the
// freestanding installer build (where -ffreestanding stops it from treating a memcpy call as its own).
#pragma once
#include <stddef.h>
#include <stdint.h>

extern "C" void* memcpy(void* destination, const void* source, size_t count);
extern "C" void* memset(void* destination, int value, size_t count);

static inline uint16_t zstdLoad16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
static inline uint32_t zstdLoad24(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16; }
static inline uint32_t zstdLoad32(const uint8_t* p) {
    uint32_t v;
    __builtin_memcpy(&v, p, 4);
    return v;  // the installer and the host are both little-endian x86-64
}
static inline uint64_t zstdLoad64(const uint8_t* p) {
    uint64_t v;
    __builtin_memcpy(&v, p, 8);
    return v;
}
static inline void zstdCopy8(uint8_t* to, const uint8_t* from) { __builtin_memcpy(to, from, 8); }
static inline void zstdCopy16(uint8_t* to, const uint8_t* from) { __builtin_memcpy(to, from, 16); }

// Index of the highest set bit; value must not be 0.
static inline uint32_t zstdHighBit(uint32_t value) { return 31 - uint32_t(__builtin_clz(value)); }

// A backward bit stream: the stream's bits are read from its last byte towards its first, the highest bits
// of each byte first, after the padding (zeros and a 1) at the top of the last byte.
//
// container holds the 8 bytes at cursor (or, for a stream of fewer than 8 bytes, the whole stream in its low
// bytes with the missing high bytes counted as consumed), and consumed counts the bits of container already
// read, from the top. Refilling moves cursor down by whole consumed bytes; it never goes below begin, so
// once cursor reaches begin, consumed keeps growing: consumed > 64 means the reads went past the stream's
// start (the stream is corrupt), consumed == 64 at cursor == begin means it was read exactly.
struct ZstdBackwardBits {
    uint64_t container;
    uint32_t consumed;
    const uint8_t* cursor;
    const uint8_t* begin;
};

// Starts reading the stream [begin, begin + size). False when size is 0 or the last byte is 0 (no padding).
static inline bool zstdBitsOpen(ZstdBackwardBits& bits, const uint8_t* begin, uint64_t size) {
    if (size == 0 || begin[size - 1] == 0) return false;
    bits.begin = begin;
    if (size >= 8) {
        bits.cursor = begin + size - 8;
        bits.container = zstdLoad64(bits.cursor);
        bits.consumed = 0;
    } else {
        bits.cursor = begin;
        bits.container = 0;
        for (uint64_t i = 0; i < size; ++i) bits.container |= uint64_t(begin[i]) << (8 * i);
        bits.consumed = uint32_t(64 - 8 * size);
    }
    // The padding: the zeros above the last byte's highest 1, and that 1.
    bits.consumed += 8 - zstdHighBit(begin[size - 1]);
    return true;
}

// The next count (<= 57) bits, without consuming them; count may be 0. Bits past the stream's start read
// as zeros while consumed <= 64; past that they are arbitrary (the stream is corrupt then anyway).
static inline uint64_t zstdBitsPeek(const ZstdBackwardBits& bits, uint32_t count) {
    return ((bits.container << (bits.consumed & 63)) >> 1) >> (63 - count);
}
// The same for count >= 1: one shift fewer.
static inline uint64_t zstdBitsPeekNonZero(const ZstdBackwardBits& bits, uint32_t count) {
    return (bits.container << (bits.consumed & 63)) >> (64 - count);
}
static inline void zstdBitsSkip(ZstdBackwardBits& bits, uint32_t count) { bits.consumed += count; }
static inline uint64_t zstdBitsRead(ZstdBackwardBits& bits, uint32_t count) {
    const uint64_t value = zstdBitsPeek(bits, count);
    bits.consumed += count;
    return value;
}

// True when the next refill can move by whole bytes without reaching begin: the fast refill is then exact.
static inline bool zstdBitsFar(const ZstdBackwardBits& bits) { return bits.cursor - bits.begin >= 8; }

// Refill for a stream that zstdBitsFar said is far from its start (consumed <= 64 holds).
static inline void zstdBitsRefillFast(ZstdBackwardBits& bits) {
    bits.cursor -= bits.consumed >> 3;
    bits.consumed &= 7;
    bits.container = zstdLoad64(bits.cursor);
}

// Refill anywhere: by whole bytes, but never below begin. Afterwards consumed <= 7 unless cursor == begin.
static inline void zstdBitsRefill(ZstdBackwardBits& bits) {
    if (zstdBitsFar(bits)) {
        zstdBitsRefillFast(bits);
        return;
    }
    uint64_t step = bits.consumed >> 3;
    const uint64_t room = uint64_t(bits.cursor - bits.begin);
    if (step > room) step = room;
    if (step == 0) return;  // also every stream of fewer than 8 bytes, whose container never reloads
    bits.cursor -= step;
    bits.consumed -= uint32_t(step * 8);
    bits.container = zstdLoad64(bits.cursor);
}

// The stream was read exactly to its first bit.
static inline bool zstdBitsFinished(const ZstdBackwardBits& bits) {
    return bits.cursor == bits.begin && bits.consumed == 64;
}
// Reads went past the stream's first bit (only meaningful right after zstdBitsRefill).
static inline bool zstdBitsOverflowed(const ZstdBackwardBits& bits) { return bits.consumed > 64; }
