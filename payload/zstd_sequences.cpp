// The sequences section: its header and three tables, then one loop that decodes each sequence and executes
// it at once (copy its literals, then its match). Copies move 16 bytes at a time and may write up to 32 bytes
// past the sequence's end; within 32 bytes of the output's end, a careful path copies exactly.
#include "payload/zstd_bit_reader.h"
#include "payload/zstd_internal.h"

namespace {

constexpr uint64_t WRITE_SLACK = 32;

// For a match offset below 8: the smallest multiple of the offset that is at least 8. Once the first 8
// bytes of such a match are written one by one, the pattern repeats with this period, so the rest can be
// copied 8 bytes at a time from that far back.
const uint8_t PERIOD_AT_LEAST_8[8] = {0, 8, 8, 9, 8, 10, 12, 14};

// Copies count bytes from source to destination 16 at a time; may write up to 15 bytes past destination +
// count and read as far past source + count. Overlap is fine when source is at least 16 bytes behind.
inline void copyWide(uint8_t* destination, const uint8_t* source, uint64_t count) {
    uint8_t* const end = destination + count;
    do {
        zstdCopy16(destination, source);
        destination += 16;
        source += 16;
    } while (destination < end);
}

// A match of length count from offset bytes back (offset >= 1), with room for WRITE_SLACK bytes after it.
inline void copyMatchFast(uint8_t* op, uint64_t offset, uint64_t count) {
    const uint8_t* match = op - offset;
    if (offset >= 16) {
        copyWide(op, match, count);
        return;
    }
    uint8_t* const end = op + count;
    if (offset < 8) {
        op[0] = match[0];
        op[1] = match[1];
        op[2] = match[2];
        op[3] = match[3];
        op[4] = match[4];
        op[5] = match[5];
        op[6] = match[6];
        op[7] = match[7];
        match = op + 8 - PERIOD_AT_LEAST_8[offset];
        op += 8;
    }
    // The distance from match to op is now at least 8.
    while (op < end) {
        zstdCopy8(op, match);
        op += 8;
        match += 8;
    }
}

// The same near the output's end: exactly count bytes.
inline void copyMatchExact(uint8_t* op, uint64_t offset, uint64_t count) {
    const uint8_t* match = op - offset;
    if (offset >= count) {
        memcpy(op, match, count);
        return;
    }
    for (uint64_t i = 0; i < count; ++i) op[i] = match[i];
}

}  // namespace

ZstdResult zstdDecodeSequences(ZstdWorkspace& workspace, const uint8_t* in, const uint8_t* end,
                               const uint8_t* literals, uint64_t literalCount, uint8_t* output, uint64_t outputBytes,
                               uint64_t& written) {
    uint64_t available = uint64_t(end - in);
    if (available == 0) return ZSTD_MALFORMED;
    uint64_t count = in[0];
    const uint8_t* p = in + 1;
    if (count >= 128) {
        if (count < 255) {
            if (available < 2) return ZSTD_MALFORMED;
            count = ((count - 128) << 8) + in[1];
            p = in + 2;
        } else {
            if (available < 3) return ZSTD_MALFORMED;
            count = zstdLoad16(in + 1) + 0x7f00;
            p = in + 3;
        }
    }
    uint8_t* const outputEnd = output + outputBytes;
    uint8_t* op = output + written;
    const uint8_t* lit = literals;
    const uint8_t* const litEnd = literals + literalCount;
    if (count != 0) {
        if (p == end) return ZSTD_MALFORMED;
        const uint32_t modes = *p++;
        if ((modes & 3) != 0) return ZSTD_MALFORMED;
        const ZstdSequenceKind order[3] = {ZSTD_LITERAL_LENGTHS, ZSTD_OFFSETS, ZSTD_MATCH_LENGTHS};
        for (int i = 0; i < 3; ++i) {
            uint64_t used = 0;
            const ZstdResult table = zstdReadSequenceTable(workspace, order[i], (modes >> (6 - 2 * i)) & 3, p, end, used);
            if (table != ZSTD_DECODED) return table;
            p += used;
        }
        workspace.haveSequenceTables = true;

        ZstdBackwardBits bits;
        if (!zstdBitsOpen(bits, p, uint64_t(end - p))) return ZSTD_MALFORMED;
        const ZstdSequenceCell* const llTable = workspace.literalLengthTable;
        const ZstdSequenceCell* const ofTable = workspace.offsetTable;
        const ZstdSequenceCell* const mlTable = workspace.matchLengthTable;
        uint32_t llState = uint32_t(zstdBitsRead(bits, workspace.literalLengthLog));
        uint32_t ofState = uint32_t(zstdBitsRead(bits, workspace.offsetLog));
        uint32_t mlState = uint32_t(zstdBitsRead(bits, workspace.matchLengthLog));
        uint64_t rep0 = workspace.repeatOffsets[0], rep1 = workspace.repeatOffsets[1], rep2 = workspace.repeatOffsets[2];

        for (uint64_t n = count; n != 0; --n) {
            // Decode. After a refill at most 7 bits are consumed; the offset's (<= 31) and match length's
            // (<= 16) extra bits fit, and a second refill makes room for the rest when they are many.
            zstdBitsRefill(bits);
            if (zstdBitsOverflowed(bits)) return ZSTD_MALFORMED;
            const ZstdSequenceCell ll = llTable[llState];
            const ZstdSequenceCell of = ofTable[ofState];
            const ZstdSequenceCell ml = mlTable[mlState];
            const uint64_t offsetValue = of.baseValue + zstdBitsRead(bits, of.extraBits);
            const uint64_t matchLength = ml.baseValue + zstdBitsRead(bits, ml.extraBits);
            if (of.extraBits + ml.extraBits + ll.extraBits > 30) zstdBitsRefill(bits);
            const uint64_t literalLength = ll.baseValue + zstdBitsRead(bits, ll.extraBits);

            uint64_t offset;
            if (of.extraBits > 1) {  // offset codes 2 and up: a new offset
                offset = offsetValue - 3;
                rep2 = rep1;
                rep1 = rep0;
                rep0 = offset;
            } else {
                // Repeat codes 1..3, shifted by one when there are no literals before the match.
                const uint64_t index = offsetValue - 1 + (literalLength == 0);
                if (index == 0) {
                    offset = rep0;
                } else {
                    offset = index == 3 ? rep0 - 1 : index == 1 ? rep1 : rep2;
                    if (index != 1) rep2 = rep1;
                    rep1 = rep0;
                    rep0 = offset;
                }
            }

            if (n != 1) {  // the last sequence updates no state
                llState = ll.nextState + uint32_t(zstdBitsRead(bits, ll.stateBits));
                mlState = ml.nextState + uint32_t(zstdBitsRead(bits, ml.stateBits));
                ofState = of.nextState + uint32_t(zstdBitsRead(bits, of.stateBits));
            }

            // Execute.
            if (literalLength > uint64_t(litEnd - lit)) return ZSTD_MALFORMED;
            const uint64_t room = uint64_t(outputEnd - op);
            if (literalLength + matchLength > room) return ZSTD_SIZE_MISMATCH;
            if (offset == 0 || offset > uint64_t(op - output) + literalLength) return ZSTD_MALFORMED;
            if (room - literalLength - matchLength >= WRITE_SLACK) {
                copyWide(op, lit, literalLength);
                op += literalLength;
                lit += literalLength;
                copyMatchFast(op, offset, matchLength);
                op += matchLength;
            } else {
                memcpy(op, lit, literalLength);
                op += literalLength;
                lit += literalLength;
                copyMatchExact(op, offset, matchLength);
                op += matchLength;
            }
        }
        zstdBitsRefill(bits);
        if (!zstdBitsFinished(bits)) return ZSTD_MALFORMED;
        workspace.repeatOffsets[0] = rep0;
        workspace.repeatOffsets[1] = rep1;
        workspace.repeatOffsets[2] = rep2;
    } else if (p != end) {
        return ZSTD_MALFORMED;  // no sequences: the section is its header alone
    }
    // The literals left after the last sequence end the block.
    const uint64_t rest = uint64_t(litEnd - lit);
    if (rest > uint64_t(outputEnd - op)) return ZSTD_SIZE_MISMATCH;
    memcpy(op, lit, rest);
    op += rest;
    written = uint64_t(op - output);
    return ZSTD_DECODED;
}
