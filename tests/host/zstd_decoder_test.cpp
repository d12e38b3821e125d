#define ZSTD_STATIC_LINKING_ONLY  // the literal compression mode, to make raw literals in compressed blocks
#include <gtest/gtest.h>
#include <zstd.h>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>
#include "payload/zstd_decoder.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Input {
    const char* name;
    Bytes bytes;
};

// Inputs of different kinds: the mix decides which block, literals and sequences modes libzstd picks.
std::vector<Input> makeInputs() {
    std::mt19937 random(11);
    std::vector<Input> inputs;
    const char* words[] = {"the ", "synthesizer ", "filter ", "envelope ", "of ", "a ", "voice, ", "and\n", "LFO "};
    Bytes text;
    while (text.size() < 300000) {
        const char* w = words[random() % 9];
        text.insert(text.end(), w, w + strlen(w));
    }
    inputs.push_back({"text over 128 KiB", text});
    Bytes code;
    for (uint32_t i = 0; code.size() < 200000; ++i) {
        const std::string line = "    voice[" + std::to_string(i % 97) + "].gain = mix(" + std::to_string(i * 7919 % 1000) +
                                 ", 0x" + std::to_string(random() % 16) + ");\n";
        code.insert(code.end(), line.begin(), line.end());
    }
    inputs.push_back({"code", code});
    Bytes noise(150000);
    for (auto& b : noise) b = uint8_t(random());
    inputs.push_back({"random", noise});
    Bytes runs;
    for (int run = 0; runs.size() < 400000; ++run) runs.insert(runs.end(), 1000 + random() % 150000, uint8_t(run));
    inputs.push_back({"long runs", runs});
    // Copies of a random base, each after one 'x': at high levels whole blocks of literals are all 'x'.
    Bytes copies(noise.begin(), noise.begin() + 20000);
    while (copies.size() < 300000) {
        const size_t at = random() % 19000, length = 20 + random() % 150;
        copies.push_back('x');
        copies.insert(copies.end(), noise.begin() + at, noise.begin() + at + length);
    }
    inputs.push_back({"one literal byte between copies", copies});
    inputs.push_back({"empty", {}});
    inputs.push_back({"one byte", {42}});
    inputs.push_back({"tiny text", Bytes(text.begin(), text.begin() + 120)});
    return inputs;
}

Bytes compress(const Bytes& input, int level, bool longDistance, bool checksum, bool rawLiterals = false) {
    std::unique_ptr<ZSTD_CCtx, size_t (*)(ZSTD_CCtx*)> context(ZSTD_createCCtx(), ZSTD_freeCCtx);
    ZSTD_CCtx_setParameter(context.get(), ZSTD_c_compressionLevel, level);
    ZSTD_CCtx_setParameter(context.get(), ZSTD_c_enableLongDistanceMatching, longDistance);
    ZSTD_CCtx_setParameter(context.get(), ZSTD_c_checksumFlag, checksum);
    if (rawLiterals) ZSTD_CCtx_setParameter(context.get(), ZSTD_c_literalCompressionMode, ZSTD_ps_disable);
    Bytes frame(ZSTD_compressBound(input.size()));
    const size_t size = ZSTD_compress2(context.get(), frame.data(), frame.size(), input.data(), input.size());
    EXPECT_FALSE(ZSTD_isError(size)) << ZSTD_getErrorName(size);
    frame.resize(ZSTD_isError(size) ? 0 : size);
    return frame;
}

Bytes hex(const char* text) {
    Bytes bytes;
    for (const char* p = text; p[0] && p[1]; p += p[0] == ' ' ? 1 : 2)
        if (p[0] != ' ') bytes.push_back(uint8_t(std::stoi(std::string(p, 2), nullptr, 16)));
    return bytes;
}

// Decodes into an exact-size heap block (one byte when empty), so any write past it is a sanitizer report.
ZstdResult decode(ZstdWorkspace& workspace, const Bytes& frame, uint64_t outputBytes, Bytes* output = nullptr) {
    Bytes out(outputBytes == 0 ? 1 : outputBytes);
    std::unique_ptr<uint8_t[]> in(new uint8_t[frame.size() + 1]);
    if (!frame.empty()) memcpy(in.get(), frame.data(), frame.size());
    const ZstdResult result = zstdDecodeFrame(workspace, in.get(), frame.size(), out.data(), outputBytes);
    out.resize(outputBytes);
    if (output) *output = out;
    return result;
}

void addCounts(ZstdModeCounts& total, const ZstdModeCounts& met) {
    for (int i = 0; i < 3; ++i) total.blocks[i] += met.blocks[i];
    for (int i = 0; i < 6; ++i) total.literals[i] += met.literals[i];
    for (int i = 0; i < 4; ++i) total.sequenceModes[i] += met.sequenceModes[i];
}

}  // namespace

TEST(ZstdDecoder, DecodesWhatLibzstdMakesAtEveryLevelAndMeetsEveryMode) {
    auto workspace = std::make_unique<ZstdWorkspace>();
    ZstdModeCounts total = {};
    for (const Input& input : makeInputs()) {
        for (int level = 1; level <= 22; ++level) {
            for (int variant = 0; variant < 5; ++variant) {
                // Long-distance matching on and off, the checksum on and off, and raw literals once per level.
                const bool longDistance = variant & 1, checksum = variant & 2, rawLiterals = variant == 4;
                const Bytes frame = compress(input.bytes, level, longDistance, checksum, rawLiterals);
                Bytes output;
                ASSERT_EQ(decode(*workspace, frame, input.bytes.size(), &output), ZSTD_DECODED)
                    << input.name << " level " << level << " variant " << variant;
                ASSERT_TRUE(output == input.bytes) << input.name << " level " << level << " variant " << variant;
                addCounts(total, workspace->met);
            }
        }
    }
    const char* blocks[] = {"raw", "RLE", "compressed"};
    const char* literals[] = {"raw", "RLE", "compressed 1 stream", "compressed 4 streams", "treeless 1 stream",
                              "treeless 4 streams"};
    const char* sequences[] = {"predefined", "RLE", "FSE", "repeat"};
    for (int i = 0; i < 3; ++i) EXPECT_GT(total.blocks[i], 0u) << "no " << blocks[i] << " block met";
    for (int i = 0; i < 6; ++i) EXPECT_GT(total.literals[i], 0u) << "no " << literals[i] << " literals met";
    for (int i = 0; i < 4; ++i) EXPECT_GT(total.sequenceModes[i], 0u) << "no " << sequences[i] << " sequence table met";
}

TEST(ZstdDecoder, HeaderGivesContentSizeWindowAndChecksum) {
    const Bytes frame = compress(Bytes(5000, 7), 3, false, true);
    ZstdFrameHeader header = {};
    ASSERT_EQ(zstdReadFrameHeader(frame.data(), frame.size(), header), ZSTD_DECODED);
    EXPECT_EQ(header.contentSize, 5000u);
    EXPECT_EQ(header.windowSize, 5000u);  // libzstd writes small frames as single-segment
    EXPECT_TRUE(header.hasChecksum);
    EXPECT_EQ(header.headerBytes, 4u + 1u + 2u);
}

// Hand-made frames. The first four are the format's own corner cases (from its errata), which must decode.
TEST(ZstdDecoder, HandMadeFramesGiveTheirResult) {
    struct Case {
        const char* what;
        const char* frame;
        uint64_t outputBytes;
        ZstdResult result;
    } cases[] = {
        {"0 literals and 0 sequences in a compressed block", "28b52ffd 2000 150000 0000", 0, ZSTD_DECODED},
        {"0 sequences in the 2-byte form", "28b52ffd 2000 1d0000 00 8000", 0, ZSTD_DECODED},
        {"a 2-byte FSE table right before a 1-byte bitstream",
         "28b52ffd 2027 c50000 80f3f1f0ecebc6c5c7f09d4300 0000e0e0 0658 0100 603e52", 39, ZSTD_DECODED},
        {"an RLE block of 128 KiB first", "28b52ffd a0 01000200 020010 00 0b0000 00", 131073, ZSTD_DECODED},
        {"nothing", "", 0, ZSTD_TRUNCATED},
        {"half a magic number", "28b5", 0, ZSTD_TRUNCATED},
        {"magic number only", "28b52ffd", 0, ZSTD_TRUNCATED},
        {"header cut inside the content size", "28b52ffd 80 0001", 0, ZSTD_TRUNCATED},
        {"no block header", "28b52ffd 2005", 5, ZSTD_TRUNCATED},
        {"raw block cut short", "28b52ffd 2005 290000 616263", 5, ZSTD_TRUNCATED},
        {"checksum cut short", "28b52ffd 2403 190000 616263 aabb", 3, ZSTD_TRUNCATED},
        {"another magic number", "28b52ffe 2003 190000 616263", 3, ZSTD_MALFORMED},
        {"a skippable frame", "502a4d18 00000000", 0, ZSTD_MALFORMED},
        {"the reserved header bit", "28b52ffd 2803 190000 616263", 3, ZSTD_MALFORMED},
        {"the reserved block type", "28b52ffd 2003 1f0000 616263", 3, ZSTD_MALFORMED},
        {"a block over the window", "28b52ffd 2003 210000 61626364", 3, ZSTD_MALFORMED},
        {"a byte after the frame", "28b52ffd 2003 190000 616263 00", 3, ZSTD_MALFORMED},
        {"a dictionary id", "28b52ffd 2107 03 190000 616263", 3, ZSTD_UNSUPPORTED},
        {"no content size", "28b52ffd 0000 190000 616263", 3, ZSTD_UNSUPPORTED},
        {"content size other than the output", "28b52ffd 2003 190000 616263", 4, ZSTD_SIZE_MISMATCH},
        {"blocks short of the content size", "28b52ffd 2004 190000 616263", 4, ZSTD_SIZE_MISMATCH},
        {"blocks past the content size", "28b52ffd 80 00 02000000 190000 616263", 2, ZSTD_SIZE_MISMATCH},
        {"a wrong checksum", "28b52ffd 2403 190000 616263 00000000", 3, ZSTD_CHECKSUM_MISMATCH},
        {"treeless literals with no tree before", "28b52ffd 2004 2d0000 134000 01 00", 4, ZSTD_MALFORMED},
        {"repeat tables with none before", "28b52ffd 2004 2d0000 00 01 fc 01 00", 4, ZSTD_MALFORMED},
        {"the sequence modes' reserved bits", "28b52ffd 2004 2d0000 00 01 01 01 00", 4, ZSTD_MALFORMED},
        {"a match before the output's start", "28b52ffd 2004 3d0000 00 01 54 00 05 01 20", 4, ZSTD_MALFORMED},
    };
    auto workspace = std::make_unique<ZstdWorkspace>();
    for (const Case& c : cases) {
        const Bytes frame = hex(c.frame);
        Bytes output;
        EXPECT_EQ(decode(*workspace, frame, c.outputBytes, &output), c.result) << c.what;
        if (c.result != ZSTD_DECODED || c.outputBytes == 0) continue;
        // Where ours decodes, libzstd agrees byte for byte.
        Bytes expected(c.outputBytes + 1);
        const size_t size = ZSTD_decompress(expected.data(), expected.size(), frame.data(), frame.size());
        ASSERT_FALSE(ZSTD_isError(size)) << c.what << ": " << ZSTD_getErrorName(size);
        expected.resize(size);
        EXPECT_TRUE(output == expected) << c.what;
    }
}

// Every prefix of a small frame is truncated, and no byte flip makes the decoder leave its buffers (the
// sanitizers would stop the test) or pass off different content as decoded (the checksum is there).
TEST(ZstdDecoder, EveryTruncationAndByteFlipFailsCleanly) {
    Bytes input;
    for (int i = 0; i < 3000; ++i) input.push_back(uint8_t(i % 251 < 120 ? 'a' + i % 7 : i * i % 256));
    const Bytes frame = compress(input, 19, false, true);
    auto workspace = std::make_unique<ZstdWorkspace>();
    for (size_t length = 0; length < frame.size(); ++length)
        ASSERT_EQ(decode(*workspace, Bytes(frame.begin(), frame.begin() + length), input.size()), ZSTD_TRUNCATED)
            << "cut at " << length;
    std::mt19937 random(5);
    for (size_t at = 0; at < frame.size(); ++at) {
        for (int flip = 0; flip < 8; ++flip) {
            Bytes damaged = frame;
            damaged[at] ^= uint8_t(flip < 4 ? 1 << (random() % 8) : 1 + random() % 255);
            Bytes output;
            if (decode(*workspace, damaged, input.size(), &output) == ZSTD_DECODED) {
                ASSERT_TRUE(output == input) << "byte " << at << " damaged decodes to other content";
            }
        }
    }
}
