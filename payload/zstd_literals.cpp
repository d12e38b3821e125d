// The literals section: raw, RLE, or Huffman-coded in one or four streams (with a new tree or the previous
// block's). Huffman streams are decoded by one table lookup of maxBits bits per symbol; four streams are
// decoded interleaved, five symbols from each between refills.
#include "payload/zstd_bit_reader.h"
#include "payload/zstd_internal.h"

namespace {

// Decodes symbols until out reaches end, with a careful refill before every symbol; then the stream must
// be read exactly.
bool decodeStreamTail(ZstdBackwardBits& bits, const ZstdHuffmanCell* table, uint32_t maxBits, uint8_t* out,
                      uint8_t* end) {
    while (out < end) {
        zstdBitsRefill(bits);
        if (zstdBitsOverflowed(bits)) return false;
        const ZstdHuffmanCell cell = table[zstdBitsPeekNonZero(bits, maxBits)];
        *out++ = cell.symbol;
        zstdBitsSkip(bits, cell.bits);
    }
    zstdBitsRefill(bits);
    return zstdBitsFinished(bits);
}

// One stream: four symbols between fast refills (4 x 11 + 7 bits fit 64), then the tail.
bool decodeOneStream(const ZstdHuffmanCell* table, uint32_t maxBits, const uint8_t* in, uint64_t size, uint8_t* out,
                     uint64_t count) {
    ZstdBackwardBits bits;
    if (!zstdBitsOpen(bits, in, size)) return false;
    uint8_t* end = out + count;
    while (end - out >= 4 && zstdBitsFar(bits)) {
        zstdBitsRefillFast(bits);
        for (int i = 0; i < 4; ++i) {
            const ZstdHuffmanCell cell = table[zstdBitsPeekNonZero(bits, maxBits)];
            out[i] = cell.symbol;
            zstdBitsSkip(bits, cell.bits);
        }
        out += 4;
    }
    return decodeStreamTail(bits, table, maxBits, out, end);
}

// One symbol of stream k into out k at index i (the fast loop's registers: container, consumed, output).
#define ZSTD_DECODE_SYMBOL(k, i)                                                     \
    do {                                                                             \
        const ZstdHuffmanCell cell = table[(c##k << (n##k & 63)) >> (64 - maxBits)]; \
        o##k[i] = cell.symbol;                                                       \
        n##k += cell.bits;                                                           \
    } while (0)
#define ZSTD_REFILL(k)           \
    do {                         \
        p##k -= n##k >> 3;       \
        n##k &= 7;               \
        c##k = zstdLoad64(p##k); \
    } while (0)

// Four streams of (count + 3) / 4 symbols each, the last one up to 3 fewer.
bool decodeFourStreams(const ZstdHuffmanCell* table, uint32_t maxBits, const uint8_t* in, uint64_t size, uint8_t* out0,
                       uint64_t count) {
    if (size < 10) return false;
    const uint64_t sizes[3] = {zstdLoad16(in), zstdLoad16(in + 2), zstdLoad16(in + 4)};
    if (sizes[0] + sizes[1] + sizes[2] + 6 >= size) return false;  // the fourth stream has at least a byte
    const uint64_t segment = (count + 3) / 4;
    if (3 * segment > count) return false;
    ZstdBackwardBits bits[4];
    const uint8_t* stream = in + 6;
    for (int k = 0; k < 4; ++k) {
        const uint64_t streamSize = k < 3 ? sizes[k] : size - 6 - sizes[0] - sizes[1] - sizes[2];
        if (!zstdBitsOpen(bits[k], stream, streamSize)) return false;
        stream += streamSize;
    }
    // The fast loop keeps every stream's reader in locals, so that they stay in registers: five symbols from
    // each stream per refill (5 x 11 + 7 bits fit 64). The fourth stream has the fewest symbols left, so its
    // room bounds all four; each refill needs its stream 8 bytes or more from its start.
    uint64_t c0 = bits[0].container, c1 = bits[1].container, c2 = bits[2].container, c3 = bits[3].container;
    uint32_t n0 = bits[0].consumed, n1 = bits[1].consumed, n2 = bits[2].consumed, n3 = bits[3].consumed;
    const uint8_t *p0 = bits[0].cursor, *p1 = bits[1].cursor, *p2 = bits[2].cursor, *p3 = bits[3].cursor;
    const uint8_t *b0 = bits[0].begin, *b1 = bits[1].begin, *b2 = bits[2].begin, *b3 = bits[3].begin;
    uint8_t *o0 = out0, *o1 = out0 + segment, *o2 = out0 + 2 * segment, *o3 = out0 + 3 * segment;
    uint8_t* const end3 = out0 + count;
    while (end3 - o3 >= 5 && p0 - b0 >= 8 && p1 - b1 >= 8 && p2 - b2 >= 8 && p3 - b3 >= 8) {
        ZSTD_REFILL(0);
        ZSTD_REFILL(1);
        ZSTD_REFILL(2);
        ZSTD_REFILL(3);
        for (int i = 0; i < 5; ++i) {
            ZSTD_DECODE_SYMBOL(0, i);
            ZSTD_DECODE_SYMBOL(1, i);
            ZSTD_DECODE_SYMBOL(2, i);
            ZSTD_DECODE_SYMBOL(3, i);
        }
        o0 += 5;
        o1 += 5;
        o2 += 5;
        o3 += 5;
    }
    bits[0].container = c0, bits[1].container = c1, bits[2].container = c2, bits[3].container = c3;
    bits[0].consumed = n0, bits[1].consumed = n1, bits[2].consumed = n2, bits[3].consumed = n3;
    bits[0].cursor = p0, bits[1].cursor = p1, bits[2].cursor = p2, bits[3].cursor = p3;
    uint8_t* const outs[4] = {o0, o1, o2, o3};
    for (int k = 0; k < 4; ++k) {
        uint8_t* const end = k < 3 ? out0 + (k + 1) * segment : end3;
        if (!decodeStreamTail(bits[k], table, maxBits, outs[k], end)) return false;
    }
    return true;
}

#undef ZSTD_DECODE_SYMBOL
#undef ZSTD_REFILL

}  // namespace

ZstdResult zstdDecodeLiterals(ZstdWorkspace& workspace, const uint8_t* in, const uint8_t* end, uint32_t blockMax,
                              const uint8_t*& literals, uint64_t& literalCount, uint64_t& used) {
    const uint64_t available = uint64_t(end - in);
    if (available == 0) return ZSTD_MALFORMED;
    const uint32_t type = in[0] & 3;
    const uint32_t sizeFormat = (in[0] >> 2) & 3;
    if (type <= 1) {
        // Raw or RLE: a header of 1, 2 or 3 bytes holding the size alone.
        uint64_t headerBytes, size;
        if ((sizeFormat & 1) == 0) {
            headerBytes = 1;
            size = in[0] >> 3;
        } else if (sizeFormat == 1) {
            headerBytes = 2;
            if (available < 2) return ZSTD_MALFORMED;
            size = zstdLoad16(in) >> 4;
        } else {
            headerBytes = 3;
            if (available < 3) return ZSTD_MALFORMED;
            size = zstdLoad24(in) >> 4;
        }
        if (size > blockMax) return ZSTD_MALFORMED;
        if (type == 0) {
            ++workspace.met.literals[0];
            if (available - headerBytes < size) return ZSTD_MALFORMED;
            const uint8_t* source = in + headerBytes;
            used = headerBytes + size;
            literalCount = size;
            // In place when the copies' overreach stays inside the block; else into the workspace.
            if (available - used >= ZSTD_COPY_SLACK) {
                literals = source;
            } else {
                memcpy(workspace.literals, source, size);
                literals = workspace.literals;
            }
            return ZSTD_DECODED;
        }
        ++workspace.met.literals[1];
        if (available - headerBytes < 1) return ZSTD_MALFORMED;
        memset(workspace.literals, in[headerBytes], size);
        literals = workspace.literals;
        literalCount = size;
        used = headerBytes + 1;
        return ZSTD_DECODED;
    }
    // Compressed or treeless: regenerated and compressed sizes of 10, 14 or 18 bits each.
    uint64_t headerBytes, size, compressed;
    const bool fourStreams = sizeFormat != 0;
    if (sizeFormat <= 1) {
        headerBytes = 3;
        if (available < 3) return ZSTD_MALFORMED;
        const uint32_t h = zstdLoad24(in);
        size = (h >> 4) & 0x3ff;
        compressed = h >> 14;
    } else if (sizeFormat == 2) {
        headerBytes = 4;
        if (available < 4) return ZSTD_MALFORMED;
        const uint32_t h = zstdLoad32(in);
        size = (h >> 4) & 0x3fff;
        compressed = h >> 18;
    } else {
        headerBytes = 5;
        if (available < 5) return ZSTD_MALFORMED;
        const uint64_t h = zstdLoad32(in) | uint64_t(in[4]) << 32;
        size = (h >> 4) & 0x3ffff;
        compressed = h >> 22;
    }
    if (size > blockMax) return ZSTD_MALFORMED;
    if (available - headerBytes < compressed) return ZSTD_MALFORMED;
    const uint8_t* section = in + headerBytes;
    uint64_t treeBytes = 0;
    if (type == 2) {
        ++workspace.met.literals[fourStreams ? 3 : 2];
        const ZstdResult tree = zstdReadHuffmanTree(workspace, section, section + compressed, treeBytes);
        if (tree != ZSTD_DECODED) return tree;
    } else {
        ++workspace.met.literals[fourStreams ? 5 : 4];
        if (workspace.huffmanMaxBits == 0) return ZSTD_MALFORMED;
    }
    const uint8_t* streams = section + treeBytes;
    const uint64_t streamBytes = compressed - treeBytes;
    const bool decoded = fourStreams ? decodeFourStreams(workspace.huffmanTable, workspace.huffmanMaxBits, streams,
                                                         streamBytes, workspace.literals, size)
                                     : decodeOneStream(workspace.huffmanTable, workspace.huffmanMaxBits, streams,
                                                       streamBytes, workspace.literals, size);
    if (!decoded) return ZSTD_MALFORMED;
    literals = workspace.literals;
    literalCount = size;
    used = headerBytes + compressed;
    return ZSTD_DECODED;
}
