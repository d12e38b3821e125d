// The frame: magic number and header, then block after block into the output, then the checksum.
#include "base/checked_assert.h"
#include "payload/xxhash64.h"
#include "payload/zstd_bit_reader.h"
#include "payload/zstd_internal.h"

namespace {

constexpr uint32_t ZSTD_MAGIC = 0xFD2FB528u;
constexpr uint32_t BLOCK_HEADER_BYTES = 3;
constexpr uint32_t CHECKSUM_BYTES = 4;

// A fresh frame: no tables to repeat, the initial repeat offsets, no counts.
void startFrame(ZstdWorkspace& workspace) {
    workspace.haveSequenceTables = false;
    workspace.huffmanMaxBits = 0;
    workspace.repeatOffsets[0] = 1;
    workspace.repeatOffsets[1] = 4;
    workspace.repeatOffsets[2] = 8;
    memset(&workspace.met, 0, sizeof workspace.met);
}

}  // namespace

ZstdResult zstdReadFrameHeader(const uint8_t* frame, uint64_t frameBytes, ZstdFrameHeader& header) {
    if (frameBytes < 5) {
        // Too short for a header; but 4 bytes that are not the magic number are no frame at all.
        if (frameBytes >= 4 && zstdLoad32(frame) != ZSTD_MAGIC) return ZSTD_MALFORMED;
        return ZSTD_TRUNCATED;
    }
    if (zstdLoad32(frame) != ZSTD_MAGIC) return ZSTD_MALFORMED;
    const uint32_t descriptor = frame[4];
    const uint32_t sizeFlag = descriptor >> 6;
    const bool singleSegment = (descriptor >> 5) & 1;
    const bool hasChecksum = (descriptor >> 2) & 1;
    const uint32_t dictionaryFlag = descriptor & 3;
    if (descriptor & 8) return ZSTD_MALFORMED;  // the reserved bit
    const uint32_t dictionaryBytes = dictionaryFlag == 3 ? 4 : dictionaryFlag;
    const uint32_t sizeBytes = sizeFlag == 0 ? (singleSegment ? 1 : 0) : 1u << sizeFlag;
    const uint32_t headerBytes = 5 + (singleSegment ? 0 : 1) + dictionaryBytes + sizeBytes;
    if (frameBytes < headerBytes) return ZSTD_TRUNCATED;
    const uint8_t* p = frame + 5;
    uint64_t windowSize = 0;
    if (!singleSegment) {
        const uint32_t exponent = *p >> 3, mantissa = *p & 7;
        const uint64_t base = uint64_t(1) << (10 + exponent);
        windowSize = base + (base >> 3) * mantissa;
        ++p;
    }
    uint32_t dictionary = 0;
    for (uint32_t i = 0; i < dictionaryBytes; ++i) dictionary |= uint32_t(p[i]) << (8 * i);
    p += dictionaryBytes;
    if (dictionary != 0) return ZSTD_UNSUPPORTED;
    if (sizeBytes == 0) return ZSTD_UNSUPPORTED;
    uint64_t contentSize = 0;
    for (uint32_t i = 0; i < sizeBytes; ++i) contentSize |= uint64_t(p[i]) << (8 * i);
    if (sizeBytes == 2) contentSize += 256;
    header.contentSize = contentSize;
    header.windowSize = singleSegment ? contentSize : windowSize;
    header.headerBytes = headerBytes;
    header.hasChecksum = hasChecksum;
    return ZSTD_DECODED;
}

ZstdResult zstdDecodeFrame(ZstdWorkspace& workspace, const uint8_t* frame, uint64_t frameBytes, uint8_t* output,
                           uint64_t outputBytes) {
    CHECKED_ASSERT(frame != nullptr || frameBytes == 0);
    CHECKED_ASSERT(output != nullptr || outputBytes == 0);
    ZstdFrameHeader header;
    const ZstdResult read = zstdReadFrameHeader(frame, frameBytes, header);
    if (read != ZSTD_DECODED) return read;
    if (header.contentSize != outputBytes) return ZSTD_SIZE_MISMATCH;
    startFrame(workspace);
    const uint32_t blockMax = header.windowSize < ZSTD_BLOCK_MAX ? uint32_t(header.windowSize) : ZSTD_BLOCK_MAX;
    const uint8_t* p = frame + header.headerBytes;
    const uint8_t* const frameEnd = frame + frameBytes;
    uint64_t written = 0;
    // The checksum follows the output block by block, while the block's bytes are still in the cache.
    Xxhash64Lanes lanes;
    xxhash64Start(lanes, 0);
    uint64_t hashed = 0;
    for (;;) {
        if (uint64_t(frameEnd - p) < BLOCK_HEADER_BYTES) return ZSTD_TRUNCATED;
        const uint32_t blockHeader = zstdLoad24(p);
        p += BLOCK_HEADER_BYTES;
        const bool last = blockHeader & 1;
        const uint32_t type = (blockHeader >> 1) & 3;
        const uint32_t size = blockHeader >> 3;
        if (type == 3) return ZSTD_MALFORMED;
        // Raw and RLE sizes are decoded sizes, bound by the window; compressed content only by 128 KiB (a
        // frame of window 0 may still hold an empty compressed block).
        if (size > (type == 2 ? ZSTD_BLOCK_MAX : blockMax)) return ZSTD_MALFORMED;
        const uint64_t contentBytes = type == 1 ? 1 : size;
        if (uint64_t(frameEnd - p) < contentBytes) return ZSTD_TRUNCATED;
        ++workspace.met.blocks[type];
        if (type == 0 || type == 1) {
            if (outputBytes - written < size) return ZSTD_SIZE_MISMATCH;
            if (type == 0) memcpy(output + written, p, size);
            else memset(output + written, *p, size);
            written += size;
        } else {
            const uint8_t* const blockEnd = p + size;
            const uint8_t* literals = nullptr;
            uint64_t literalCount = 0, used = 0;
            const ZstdResult literalResult =
                zstdDecodeLiterals(workspace, p, blockEnd, blockMax, literals, literalCount, used);
            if (literalResult != ZSTD_DECODED) return literalResult;
            const uint64_t before = written;
            const ZstdResult sequenceResult = zstdDecodeSequences(workspace, p + used, blockEnd, literals, literalCount,
                                                                  output, outputBytes, written);
            if (sequenceResult != ZSTD_DECODED) return sequenceResult;
            if (written - before > blockMax) return ZSTD_MALFORMED;
        }
        if (header.hasChecksum) hashed += xxhash64Stripes(lanes, output + hashed, written - hashed);
        p += contentBytes;
        if (last) break;
    }
    if (written != outputBytes) return ZSTD_SIZE_MISMATCH;
    if (header.hasChecksum) {
        if (uint64_t(frameEnd - p) < CHECKSUM_BYTES) return ZSTD_TRUNCATED;
        const uint32_t expected = zstdLoad32(p);
        p += CHECKSUM_BYTES;
        if (uint32_t(xxhash64Finish(lanes, output + hashed, outputBytes - hashed, outputBytes)) != expected)
            return ZSTD_CHECKSUM_MISMATCH;
    }
    if (p != frameEnd) return ZSTD_MALFORMED;
    return ZSTD_DECODED;
}
