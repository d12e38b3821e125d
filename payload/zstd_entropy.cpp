// Entropy tables: FSE distributions read from their compact description (or the predefined ones), spread into
// decoding tables; the sequence tables built on them; the Huffman tree read from its weights.
#include "payload/zstd_bit_reader.h"
#include "payload/zstd_internal.h"

namespace {

// Literal length and match length codes: baseline and extra bits.
const uint32_t LITERAL_LENGTH_BASE[36] = {0,  1,  2,  3,  4,   5,   6,   7,   8,    9,    10,   11,
                                          12, 13, 14, 15, 16,  18,  20,  22,  24,   28,   32,   40,
                                          48, 64, 128, 256, 512, 1024, 2048, 4096, 8192, 16384, 32768, 65536};
const uint8_t LITERAL_LENGTH_BITS[36] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  0,  0,  0,  1,  1,
                                         1, 1, 2, 2, 3, 3, 4, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
const uint32_t MATCH_LENGTH_BASE[53] = {
    3,  4,  5,  6,  7,  8,  9,  10, 11, 12,  13,  14,  15,  16,  17,   18,   19,   20,   21,    22,    23,    24,
    25, 26, 27, 28, 29, 30, 31, 32, 33, 34,  35,  37,  39,  41,  43,   47,   51,   59,   67,    83,    99,    131,
    259, 515, 1027, 2051, 4099, 8195, 16387, 32771, 65539};
const uint8_t MATCH_LENGTH_BITS[53] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                       0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 3, 3, 4, 4, 5, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};

// The predefined distributions, and the largest code and accuracy log each table may have. Offset codes
// stop at 31: an offset value then fits 32 bits, more than any output this decoder is given.
const int16_t LITERAL_LENGTH_DEFAULT[36] = {4, 3, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 1, 1, 1, 2,  2,  2,  2,  2,  2,  2,  2,
                                            2, 3, 2, 1, 1, 1, 1, 1, -1, -1, -1, -1};
const int16_t MATCH_LENGTH_DEFAULT[53] = {1, 4, 3, 2, 2, 2, 2, 2, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
                                          1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, -1, -1, -1, -1, -1, -1, -1};
const int16_t OFFSET_DEFAULT[29] = {1, 1, 1, 1, 1, 1, 2, 2, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, -1, -1, -1, -1, -1};

struct KindRules {
    uint32_t maxSymbol, maxLog, defaultLog, defaultCount;
    const int16_t* defaultDistribution;
};
const KindRules KIND_RULES[3] = {
    {35, 9, 6, 36, LITERAL_LENGTH_DEFAULT},
    {31, 8, 5, 29, OFFSET_DEFAULT},
    {52, 9, 6, 53, MATCH_LENGTH_DEFAULT},
};

// Reads an FSE distribution description from [in, end): its accuracy log and one probability per symbol
// (-1 for "less than 1") into distribution[0 .. symbolCount). used: the whole bytes the description took.
ZstdResult readDistribution(const uint8_t* in, const uint8_t* end, uint32_t maxSymbol, uint32_t maxLog,
                            int16_t* distribution, uint32_t& symbolCount, uint32_t& log, uint64_t& used) {
    const uint64_t size = uint64_t(end - in);
    if (size == 0) return ZSTD_MALFORMED;
    uint64_t position = 0;  // in bits
    // The next up to 25 bits from position; bits past end read as zeros, and the caller checks afterwards
    // that it consumed none of them.
    auto peek = [&](uint32_t count) -> uint32_t {
        const uint64_t byte = position >> 3;
        uint32_t window = 0;
        for (uint32_t i = 0; i < 4 && byte + i < size; ++i) window |= uint32_t(in[byte + i]) << (8 * i);
        return (window >> (position & 7)) & ((1u << count) - 1);
    };
    log = (in[0] & 15) + 5;
    if (log > maxLog) return ZSTD_MALFORMED;
    position = 4;
    int32_t remaining = (1 << log) + 1;  // probability points left, plus one
    int32_t threshold = 1 << log;
    uint32_t width = log + 1;
    uint32_t symbol = 0;
    while (remaining > 1) {
        if (symbol > maxSymbol) return ZSTD_MALFORMED;
        // Values below `small` take width - 1 bits; the others take width bits.
        const int32_t small = 2 * threshold - 1 - remaining;
        const int32_t field = int32_t(peek(width));
        int32_t value;
        if ((field & (threshold - 1)) < small) {
            value = field & (threshold - 1);
            position += width - 1;
        } else {
            value = field;
            if (value >= threshold) value -= small;
            position += width;
        }
        const int32_t probability = value - 1;
        remaining -= probability < 0 ? -probability : probability;
        distribution[symbol++] = int16_t(probability);
        if (probability == 0) {
            // Runs of further zero probabilities: 2-bit counts, a 3 meaning another count follows.
            for (;;) {
                const uint32_t run = peek(2);
                position += 2;
                if (symbol + run > maxSymbol + 1) return ZSTD_MALFORMED;
                for (uint32_t i = 0; i < run; ++i) distribution[symbol++] = 0;
                if (run != 3) break;
                if (position > 8 * size) return ZSTD_MALFORMED;
            }
        }
        while (remaining < threshold && threshold > 1) {
            --width;
            threshold >>= 1;
        }
        if (position > 8 * size) return ZSTD_MALFORMED;
    }
    if (remaining != 1) return ZSTD_MALFORMED;
    symbolCount = symbol;
    used = (position + 7) >> 3;
    return ZSTD_DECODED;
}

// Spreads a distribution over a table of 1 << log states: symbols[] gets each state's symbol, and cells[]
// its next-state base and bits (symbol and code values are filled by the caller).
bool spreadDistribution(ZstdWorkspace& workspace, const int16_t* distribution, uint32_t symbolCount, uint32_t log,
                        ZstdSequenceCell* cells) {
    const uint32_t size = 1u << log;
    const uint32_t mask = size - 1;
    uint8_t* symbols = workspace.fseSymbols;
    uint32_t high = size - 1;  // "less than 1" symbols take the last states, one each
    for (uint32_t s = 0; s < symbolCount; ++s) {
        if (distribution[s] == -1) {
            symbols[high--] = uint8_t(s);
            workspace.symbolNext[s] = 1;
        } else {
            workspace.symbolNext[s] = uint16_t(distribution[s]);
        }
    }
    const uint32_t step = (size >> 1) + (size >> 3) + 3;
    uint32_t position = 0;
    for (uint32_t s = 0; s < symbolCount; ++s) {
        for (int32_t i = 0; i < distribution[s]; ++i) {
            symbols[position] = uint8_t(s);
            do position = (position + step) & mask;
            while (position > high);
        }
    }
    if (position != 0) return false;  // the probabilities do not add up to the table (cannot happen once read)
    for (uint32_t state = 0; state < size; ++state) {
        const uint32_t next = workspace.symbolNext[symbols[state]]++;
        const uint32_t bits = log - zstdHighBit(next);
        cells[state].stateBits = uint8_t(bits);
        cells[state].nextState = uint16_t((next << bits) - size);
    }
    return true;
}

void fillCodes(ZstdSequenceKind kind, const uint8_t* symbols, ZstdSequenceCell* cells, uint32_t size) {
    for (uint32_t state = 0; state < size; ++state) {
        const uint32_t code = symbols[state];
        switch (kind) {
            case ZSTD_LITERAL_LENGTHS:
                cells[state].baseValue = LITERAL_LENGTH_BASE[code];
                cells[state].extraBits = LITERAL_LENGTH_BITS[code];
                break;
            case ZSTD_MATCH_LENGTHS:
                cells[state].baseValue = MATCH_LENGTH_BASE[code];
                cells[state].extraBits = MATCH_LENGTH_BITS[code];
                break;
            case ZSTD_OFFSETS:
                cells[state].baseValue = 1u << code;
                cells[state].extraBits = uint8_t(code);
                break;
        }
    }
}

}  // namespace

ZstdResult zstdReadSequenceTable(ZstdWorkspace& workspace, ZstdSequenceKind kind, uint32_t mode, const uint8_t* in,
                                 const uint8_t* end, uint64_t& used) {
    const KindRules& rules = KIND_RULES[kind];
    ZstdSequenceCell* cells = kind == ZSTD_LITERAL_LENGTHS ? workspace.literalLengthTable
                              : kind == ZSTD_OFFSETS      ? workspace.offsetTable
                                                          : workspace.matchLengthTable;
    uint32_t& tableLog = kind == ZSTD_LITERAL_LENGTHS ? workspace.literalLengthLog
                         : kind == ZSTD_OFFSETS      ? workspace.offsetLog
                                                     : workspace.matchLengthLog;
    ++workspace.met.sequenceModes[mode];
    used = 0;
    switch (mode) {
        case 0: {
            for (uint32_t s = 0; s < rules.defaultCount; ++s) workspace.distribution[s] = rules.defaultDistribution[s];
            if (!spreadDistribution(workspace, workspace.distribution, rules.defaultCount, rules.defaultLog, cells))
                return ZSTD_MALFORMED;
            fillCodes(kind, workspace.fseSymbols, cells, 1u << rules.defaultLog);
            tableLog = rules.defaultLog;
            return ZSTD_DECODED;
        }
        case 1: {
            if (in == end) return ZSTD_MALFORMED;
            if (*in > rules.maxSymbol) return ZSTD_MALFORMED;
            workspace.fseSymbols[0] = *in;
            cells[0].stateBits = 0;
            cells[0].nextState = 0;
            fillCodes(kind, workspace.fseSymbols, cells, 1);
            tableLog = 0;
            used = 1;
            return ZSTD_DECODED;
        }
        case 2: {
            uint32_t symbolCount = 0, log = 0;
            const ZstdResult read = readDistribution(in, end, rules.maxSymbol, rules.maxLog, workspace.distribution,
                                                     symbolCount, log, used);
            if (read != ZSTD_DECODED) return read;
            if (!spreadDistribution(workspace, workspace.distribution, symbolCount, log, cells)) return ZSTD_MALFORMED;
            fillCodes(kind, workspace.fseSymbols, cells, 1u << log);
            tableLog = log;
            return ZSTD_DECODED;
        }
        default:
            return workspace.haveSequenceTables ? ZSTD_DECODED : ZSTD_MALFORMED;
    }
}

// The Huffman weights, FSE-compressed: two interleaved states over one table of accuracy log <= 6, read until
// a state update runs past the stream's start; the other state's symbol is then the last weight.
static ZstdResult readCompressedWeights(ZstdWorkspace& workspace, const uint8_t* in, uint64_t size, uint8_t* weights,
                                        uint32_t& count) {
    uint32_t symbolCount = 0, log = 0;
    uint64_t used = 0;
    const ZstdResult read =
        readDistribution(in, in + size, 15, 6, workspace.distribution, symbolCount, log, used);
    if (read != ZSTD_DECODED) return read;
    ZstdSequenceCell* cells = workspace.weightTable;
    if (!spreadDistribution(workspace, workspace.distribution, symbolCount, log, cells)) return ZSTD_MALFORMED;
    const uint8_t* symbols = workspace.fseSymbols;
    ZstdBackwardBits bits;
    if (used >= size || !zstdBitsOpen(bits, in + used, size - used)) return ZSTD_MALFORMED;
    uint32_t state[2];
    state[0] = uint32_t(zstdBitsRead(bits, log));
    state[1] = uint32_t(zstdBitsRead(bits, log));
    zstdBitsRefill(bits);
    if (zstdBitsOverflowed(bits)) return ZSTD_MALFORMED;
    count = 0;
    for (uint32_t turn = 0;; turn ^= 1) {
        // 255 weights at most: this one and the other state's last.
        if (count > 253) return ZSTD_MALFORMED;
        const ZstdSequenceCell& cell = cells[state[turn]];
        weights[count++] = symbols[state[turn]];
        state[turn] = cell.nextState + uint32_t(zstdBitsRead(bits, cell.stateBits));
        zstdBitsRefill(bits);
        if (zstdBitsOverflowed(bits)) {
            weights[count++] = symbols[state[turn ^ 1]];
            return ZSTD_DECODED;
        }
    }
}

ZstdResult zstdReadHuffmanTree(ZstdWorkspace& workspace, const uint8_t* in, const uint8_t* end, uint64_t& used) {
    if (in == end) return ZSTD_MALFORMED;
    const uint32_t header = in[0];
    uint8_t weights[256];
    uint32_t count = 0;
    if (header < 128) {
        if (header == 0 || uint64_t(end - in) < 1 + uint64_t(header)) return ZSTD_MALFORMED;
        const ZstdResult read = readCompressedWeights(workspace, in + 1, header, weights, count);
        if (read != ZSTD_DECODED) return read;
        used = 1 + header;
    } else {
        count = header - 127;
        const uint64_t bytes = (count + 1) / 2;
        if (uint64_t(end - in) < 1 + bytes) return ZSTD_MALFORMED;
        for (uint32_t i = 0; i < count; ++i) weights[i] = (in[1 + i / 2] >> (i % 2 == 0 ? 4 : 0)) & 15;
        used = 1 + bytes;
    }
    // The last symbol's weight completes the sum of 2^(weight-1) to a power of two, which gives maxBits.
    uint32_t rankCount[13] = {};
    uint32_t total = 0;
    for (uint32_t i = 0; i < count; ++i) {
        if (weights[i] > 11) return ZSTD_MALFORMED;
        ++rankCount[weights[i]];
        if (weights[i] != 0) total += 1u << (weights[i] - 1);
    }
    if (total == 0) return ZSTD_MALFORMED;
    const uint32_t maxBits = zstdHighBit(total) + 1;
    if (maxBits > 11) return ZSTD_MALFORMED;
    const uint32_t rest = (1u << maxBits) - total;
    if ((rest & (rest - 1)) != 0) return ZSTD_MALFORMED;
    const uint32_t lastWeight = zstdHighBit(rest) + 1;
    weights[count] = uint8_t(lastWeight);
    ++rankCount[lastWeight];
    ++count;
    if (rankCount[1] < 2 || (rankCount[1] & 1) != 0) return ZSTD_MALFORMED;  // a complete code pairs its longest
    // Codes in ascending order from the lowest weight: each weight's symbols take 2^(weight-1) rows apiece.
    uint32_t start[13];
    uint32_t next = 0;
    for (uint32_t w = 1; w <= maxBits; ++w) {
        start[w] = next;
        next += rankCount[w] << (w - 1);
    }
    ZstdHuffmanCell* table = workspace.huffmanTable;
    for (uint32_t symbol = 0; symbol < count; ++symbol) {
        const uint32_t w = weights[symbol];
        if (w == 0) continue;
        const ZstdHuffmanCell cell = {uint8_t(symbol), uint8_t(maxBits + 1 - w)};
        ZstdHuffmanCell* row = table + start[w];
        for (uint32_t i = 0; i < (1u << (w - 1)); ++i) row[i] = cell;
        start[w] += 1u << (w - 1);
    }
    workspace.huffmanMaxBits = maxBits;
    return ZSTD_DECODED;
}
