// Decoding one zstd frame (RFC 8878) into one flat buffer of its content size: how the installer unpacks its
// ChunkStore and PayloadDirectory. Pure code (no Win32, no allocation, no C library beyond memcpy/memset): it
// builds into the installer and into the host tests and tools.
//
// What is accepted: exactly one zstd frame filling [frame, frame + frameBytes), with its content size in the
// header and no dictionary. Every block type, literals mode and sequences mode is decoded, the content
// checksum is verified when the frame has one. Match offsets may reach back to the start of the output; the
// frame's window size is not enforced beyond that, since the whole output is one buffer.
//
// Safety: on any input, whatever its bytes, the decoder reads only [frame, frame + frameBytes) and the
// workspace, writes only [output, output + outputBytes) and the workspace, and ends after a number of steps
// bounded by frameBytes and outputBytes. On failure the output holds unspecified bytes.
#pragma once
#include <stddef.h>
#include <stdint.h>

enum ZstdResult {
    ZSTD_DECODED,
    ZSTD_TRUNCATED,          // the input ends before the frame does
    ZSTD_MALFORMED,          // anything the format forbids, or bytes after the frame's end
    ZSTD_UNSUPPORTED,        // a dictionary id, or no content size in the header
    ZSTD_SIZE_MISMATCH,      // content size differs from the output size, or the blocks decode to another size
    ZSTD_CHECKSUM_MISMATCH,  // the frame's XXH64 content checksum (checked when present) differs
};

struct ZstdFrameHeader {
    uint64_t contentSize;  // the decoded size the frame announces
    uint64_t windowSize;   // contentSize for single-segment frames
    uint32_t headerBytes;  // magic number and frame header: where the first block header starts
    bool hasChecksum;      // 4 bytes of XXH64 follow the last block
};

// Reads the magic number and frame header at frame. ZSTD_DECODED fills header; otherwise ZSTD_TRUNCATED
// (fewer bytes than the header), ZSTD_MALFORMED (not a zstd frame, reserved bit set) or ZSTD_UNSUPPORTED
// (a non-zero dictionary id, or no content size). header is written only on ZSTD_DECODED.
ZstdResult zstdReadFrameHeader(const uint8_t* frame, uint64_t frameBytes, ZstdFrameHeader& header);

// The largest block content, and the largest amount of literals a block holds.
constexpr uint32_t ZSTD_BLOCK_MAX = 128 * 1024;
// Bytes the copy loops may read past the literals they use; the literals buffer carries them as slack.
constexpr uint32_t ZSTD_COPY_SLACK = 32;

// One row of a sequence decoding table: the code's baseline value and extra bits, and the way to the next
// state (nextState + the next stateBits bits of the stream).
struct ZstdSequenceCell {
    uint32_t baseValue;
    uint16_t nextState;
    uint8_t stateBits;
    uint8_t extraBits;
};

// One row of the Huffman table, indexed by the next maxBits bits of a stream.
struct ZstdHuffmanCell {
    uint8_t symbol;
    uint8_t bits;
};

// How often each encoding was met since the workspace's last zstdDecodeFrame began (for tests and tools;
// the decoder only counts).
struct ZstdModeCounts {
    uint32_t blocks[3];          // raw, RLE, compressed
    uint32_t literals[6];        // raw, RLE, compressed 1 stream, compressed 4 streams, treeless 1, treeless 4
    uint32_t sequenceModes[4];   // predefined, RLE, FSE-compressed, repeat (each of the three tables counts)
};

// Everything the decoder keeps between blocks and every table it builds: about 140 KiB. Owned by the caller
// (the installer keeps one in static storage); one workspace serves one decode at a time, and there is no
// other state, so threads decode in parallel with one workspace each. No set-up is needed before a decode.
struct ZstdWorkspace {
    ZstdSequenceCell literalLengthTable[512];
    ZstdSequenceCell matchLengthTable[512];
    ZstdSequenceCell offsetTable[256];
    uint32_t literalLengthLog, matchLengthLog, offsetLog;
    bool haveSequenceTables;  // a compressed block with sequences came before: Repeat mode has tables
    ZstdHuffmanCell huffmanTable[2048];
    uint32_t huffmanMaxBits;  // 0 until a Huffman tree was read in this frame
    uint64_t repeatOffsets[3];
    // Scratch for building tables: a distribution, each symbol's next state, and the weights' FSE table.
    int16_t distribution[64];
    uint16_t symbolNext[64];
    uint8_t fseSymbols[512];
    ZstdSequenceCell weightTable[64];
    uint8_t literals[ZSTD_BLOCK_MAX + ZSTD_COPY_SLACK];
    ZstdModeCounts met;
};

// Decodes the one frame in [frame, frame + frameBytes) into [output, output + outputBytes), which must be
// exactly the frame's content size (zstdReadFrameHeader tells it). ZSTD_DECODED means every block decoded,
// the output is filled exactly, the checksum (if any) matched and the frame ended at frameBytes.
ZstdResult zstdDecodeFrame(ZstdWorkspace& workspace, const uint8_t* frame, uint64_t frameBytes, uint8_t* output,
                           uint64_t outputBytes);
