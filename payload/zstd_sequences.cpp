// The sequences section: its header and three tables, then one loop that decodes each sequence and executes
// the one decoded AHEAD sequences earlier (copy its literals, then its match). In between, the match source of
// the new sequence is prefetched: matches of a long-window frame reach far back, and the decoding of the next
// sequences hides the wait for their bytes. Copies move 8, 16 or 32 bytes at a time and may write up to 31
// bytes past the sequence's end; within 32 bytes of the output's end, a careful path copies exactly.
#include "payload/zstd_bit_reader.h"
#include "payload/zstd_internal.h"

namespace {

constexpr uint64_t WRITE_SLACK = 32;
constexpr uint32_t AHEAD = 8;  // sequences decoded before the first is executed (a power of two)

// For a match offset below 8: the smallest multiple of the offset that is at least 8. Once the first 8
// bytes of such a match are written one by one, the pattern repeats with this period, so the rest can be
// copied 8 bytes at a time from that far back.
const uint8_t PERIOD_AT_LEAST_8[8] = {0, 8, 8, 9, 8, 10, 12, 14};

// Copies count bytes from source to destination 16 at a time; may write up to 15 bytes past destination +
// count and read as far past source + count. Overlap is fine when source is at least 16 bytes behind.
ZSTD_ALWAYS_INLINE void copyWide(uint8_t* destination, const uint8_t* source, uint64_t count) {
    uint8_t* const end = destination + count;
    do {
        zstdCopy16(destination, source);
        destination += 16;
        source += 16;
    } while (destination < end);
}

// A match of length count from offset bytes back (offset >= 1), with room for WRITE_SLACK bytes after it.
ZSTD_ALWAYS_INLINE void copyMatchFast(uint8_t* op, uint64_t offset, uint64_t count) {
    const uint8_t* match = op - offset;
    if (offset >= 32) {  // long matches from far back are common: 32 bytes a turn (may write 31 past)
        uint8_t* const end = op + count;
        do {
            zstdCopy16(op, match);
            zstdCopy16(op + 16, match + 16);
            op += 32;
            match += 32;
        } while (op < end);
        return;
    }
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

struct Sequence {
    uint64_t literalLength, matchLength, offset;
};

// The decoding side of the loop: the bit stream, the three states and the repeat offsets.
struct SequenceReader {
    ZstdBackwardBits bits;
    const ZstdSequenceCell* llTable;
    const ZstdSequenceCell* ofTable;
    const ZstdSequenceCell* mlTable;
    uint32_t llState, ofState, mlState;
    uint64_t rep0, rep1, rep2;
};

// Decodes one sequence; last: the block's last, which updates no state. False when the stream ran past its
// start before this sequence.
ZSTD_ALWAYS_INLINE bool decodeSequence(SequenceReader& r, bool last, Sequence& sequence) {
    // After a refill at most 7 bits are consumed; the offset's (<= 31) and match length's (<= 16) extra bits
    // fit, and a second refill makes room for the rest when they are many.
    zstdBitsRefill(r.bits);
    if (zstdBitsOverflowed(r.bits)) return false;
    const ZstdSequenceCell ll = r.llTable[r.llState];
    const ZstdSequenceCell of = r.ofTable[r.ofState];
    const ZstdSequenceCell ml = r.mlTable[r.mlState];
    const uint64_t offsetValue = of.baseValue + zstdBitsRead(r.bits, of.extraBits);
    const uint64_t matchLength = ml.baseValue + zstdBitsRead(r.bits, ml.extraBits);
    if (of.extraBits + ml.extraBits + ll.extraBits > 30) zstdBitsRefill(r.bits);
    const uint64_t literalLength = ll.baseValue + zstdBitsRead(r.bits, ll.extraBits);
    uint64_t offset;
    if (of.extraBits > 1) {  // offset codes 2 and up: a new offset
        offset = offsetValue - 3;
        r.rep2 = r.rep1;
        r.rep1 = r.rep0;
        r.rep0 = offset;
    } else {
        // Repeat codes 1..3, shifted by one when there are no literals before the match.
        const uint64_t index = offsetValue - 1 + (literalLength == 0);
        if (index == 0) {
            offset = r.rep0;
        } else {
            offset = index == 3 ? r.rep0 - 1 : index == 1 ? r.rep1 : r.rep2;
            if (index != 1) r.rep2 = r.rep1;
            r.rep1 = r.rep0;
            r.rep0 = offset;
        }
    }
    if (!last) {
        r.llState = ll.nextState + uint32_t(zstdBitsRead(r.bits, ll.stateBits));
        r.mlState = ml.nextState + uint32_t(zstdBitsRead(r.bits, ml.stateBits));
        r.ofState = of.nextState + uint32_t(zstdBitsRead(r.bits, of.stateBits));
    }
    sequence = {literalLength, matchLength, offset};
    return true;
}

// Executes one sequence at op: its literals from lit, then its match. Checks everything against the
// literals left, the output's start and its end.
ZSTD_ALWAYS_INLINE ZstdResult executeSequence(const Sequence& s, uint8_t* output, uint8_t* outputEnd, uint8_t*& op,
                                  const uint8_t*& lit, const uint8_t* litEnd) {
    if (s.literalLength > uint64_t(litEnd - lit)) return ZSTD_MALFORMED;
    const uint64_t room = uint64_t(outputEnd - op);
    if (s.literalLength + s.matchLength > room) return ZSTD_SIZE_MISMATCH;
    if (s.offset == 0 || s.offset > uint64_t(op - output) + s.literalLength) return ZSTD_MALFORMED;
    if (room - s.literalLength - s.matchLength >= WRITE_SLACK) {
        copyWide(op, lit, s.literalLength);
        op += s.literalLength;
        lit += s.literalLength;
        copyMatchFast(op, s.offset, s.matchLength);
    } else {
        memcpy(op, lit, s.literalLength);
        op += s.literalLength;
        lit += s.literalLength;
        copyMatchExact(op, s.offset, s.matchLength);
    }
    op += s.matchLength;
    return ZSTD_DECODED;
}

// The match source of a sequence that will start at position (an offset into the output), if it lies in
// the output at all (it is checked for real when the sequence runs).
ZSTD_ALWAYS_INLINE void prefetchMatch(const uint8_t* output, uint64_t position, const Sequence& s) {
    const uint64_t matchStart = position + s.literalLength;
    if (s.offset <= matchStart) {
        __builtin_prefetch(output + (matchStart - s.offset));
        __builtin_prefetch(output + (matchStart - s.offset) + 63);
    }
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

        SequenceReader r;
        if (!zstdBitsOpen(r.bits, p, uint64_t(end - p))) return ZSTD_MALFORMED;
        r.llTable = workspace.literalLengthTable;
        r.ofTable = workspace.offsetTable;
        r.mlTable = workspace.matchLengthTable;
        r.llState = uint32_t(zstdBitsRead(r.bits, workspace.literalLengthLog));
        r.ofState = uint32_t(zstdBitsRead(r.bits, workspace.offsetLog));
        r.mlState = uint32_t(zstdBitsRead(r.bits, workspace.matchLengthLog));
        r.rep0 = workspace.repeatOffsets[0];
        r.rep1 = workspace.repeatOffsets[1];
        r.rep2 = workspace.repeatOffsets[2];

        // Decoded sequences wait in a ring of AHEAD; position is where the next decoded one will start.
        Sequence ring[AHEAD];
        uint64_t position = uint64_t(op - output);
        const uint64_t first = count < AHEAD ? count : AHEAD;
        for (uint64_t i = 0; i < first; ++i) {
            if (!decodeSequence(r, i + 1 == count, ring[i])) return ZSTD_MALFORMED;
            prefetchMatch(output, position, ring[i]);
            position += ring[i].literalLength + ring[i].matchLength;
        }
        for (uint64_t i = first; i < count; ++i) {
            Sequence next;
            if (!decodeSequence(r, i + 1 == count, next)) return ZSTD_MALFORMED;
            prefetchMatch(output, position, next);
            position += next.literalLength + next.matchLength;
            Sequence& due = ring[i & (AHEAD - 1)];
            const ZstdResult executed = executeSequence(due, output, outputEnd, op, lit, litEnd);
            if (executed != ZSTD_DECODED) return executed;
            due = next;
        }
        for (uint64_t i = count - first; i < count; ++i) {
            const ZstdResult executed = executeSequence(ring[i & (AHEAD - 1)], output, outputEnd, op, lit, litEnd);
            if (executed != ZSTD_DECODED) return executed;
        }
        zstdBitsRefill(r.bits);
        if (!zstdBitsFinished(r.bits)) return ZSTD_MALFORMED;
        workspace.repeatOffsets[0] = r.rep0;
        workspace.repeatOffsets[1] = r.rep1;
        workspace.repeatOffsets[2] = r.rep2;
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
