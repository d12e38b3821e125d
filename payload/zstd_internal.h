// The decoder's parts as its files call each other: entropy tables (zstd_entropy.cpp), the literals section
// (zstd_literals.cpp) and the sequences section (zstd_sequences.cpp); zstd_frame.cpp drives them block by
// block. Internal to payload/zstd_*.cpp.
#pragma once
#include <stdint.h>
#include "payload/zstd_decoder.h"

// The three kinds of sequence table, each with its own code set and largest accuracy log.
enum ZstdSequenceKind { ZSTD_LITERAL_LENGTHS, ZSTD_OFFSETS, ZSTD_MATCH_LENGTHS };

// Reads one sequence table description of the given mode (0 predefined, 1 RLE, 2 FSE-compressed, 3 repeat)
// from [in, end) into its table in the workspace; used is set to the bytes it took. Repeat mode keeps the
// table as it is and asks for workspace.haveSequenceTables.
ZstdResult zstdReadSequenceTable(ZstdWorkspace& workspace, ZstdSequenceKind kind, uint32_t mode, const uint8_t* in,
                                 const uint8_t* end, uint64_t& used);

// Reads a Huffman tree description from [in, end) into workspace.huffmanTable and huffmanMaxBits; used is
// set to the bytes it took.
ZstdResult zstdReadHuffmanTree(ZstdWorkspace& workspace, const uint8_t* in, const uint8_t* end, uint64_t& used);

// Decodes the literals section at [in, end) (the block content) into workspace.literals, or points at the
// literals in place. literals and literalCount describe them, used is the section's size in bytes.
// blockMax bounds the amount of literals.
ZstdResult zstdDecodeLiterals(ZstdWorkspace& workspace, const uint8_t* in, const uint8_t* end, uint32_t blockMax,
                              const uint8_t*& literals, uint64_t& literalCount, uint64_t& used);

// Decodes the sequences section [in, end) and executes it over the literals into [output + written, ...);
// written advances by the bytes the block produced. output + outputBytes bounds every write.
ZstdResult zstdDecodeSequences(ZstdWorkspace& workspace, const uint8_t* in, const uint8_t* end,
                               const uint8_t* literals, uint64_t literalCount, uint8_t* output, uint64_t outputBytes,
                               uint64_t& written);
