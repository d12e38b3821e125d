// libFuzzer target: libzstd compresses an input made from the fuzz data, at a level, strategy and window
// chosen by it, with or without long-distance matching and checksum; ours decodes and must give the input
// back. On a mismatch it prints what broke (parameters, sizes, the first differing offset) and aborts.
// Input: byte 0 level (-7..22), byte 1 strategy (0 = the level's), byte 2 flags (bit 0 long-distance
// matching, bit 1 checksum, bits 2-4 copies of the rest, bits 5-7 window log - 10 for small windows), then
// the bytes to compress; each copy after the first changes one byte, so there are long repeats to find.
#define ZSTD_STATIC_LINKING_ONLY
#include <zstd.h>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "payload/zstd_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static ZstdWorkspace workspace;
    if (size < 3) return 0;
    const int level = int(data[0] % 30) - 7;
    const int strategy = data[1] % 10;  // 0 keeps the level's own; 1..9 are ZSTD_fast .. ZSTD_btultra2
    const bool longDistance = data[2] & 1, checksum = data[2] & 2;
    const int copies = 1 + ((data[2] >> 2) & 7);
    const int windowLog = (data[2] >> 5) == 0 ? 0 : 10 + (data[2] >> 5);
    std::vector<uint8_t> input;
    for (int i = 0; i < copies; ++i) {
        input.insert(input.end(), data + 3, data + size);
        if (i > 0 && size > 3) input[input.size() - 1 - (i * 7919) % (size - 3)] ^= uint8_t(i);
    }

    ZSTD_CCtx* context = ZSTD_createCCtx();
    ZSTD_CCtx_setParameter(context, ZSTD_c_compressionLevel, level);
    if (strategy != 0) ZSTD_CCtx_setParameter(context, ZSTD_c_strategy, strategy);
    if (windowLog != 0) ZSTD_CCtx_setParameter(context, ZSTD_c_windowLog, windowLog);
    ZSTD_CCtx_setParameter(context, ZSTD_c_enableLongDistanceMatching, longDistance);
    ZSTD_CCtx_setParameter(context, ZSTD_c_checksumFlag, checksum);
    std::vector<uint8_t> frame(ZSTD_compressBound(input.size()));
    const size_t frameSize = ZSTD_compress2(context, frame.data(), frame.size(), input.data(), input.size());
    ZSTD_freeCCtx(context);
    if (ZSTD_isError(frameSize)) std::abort();
    frame.resize(frameSize);

    std::unique_ptr<uint8_t[]> output(new uint8_t[input.size() + 1]);
    const ZstdResult result = zstdDecodeFrame(workspace, frame.data(), frame.size(), output.get(), input.size());
    size_t differs = 0;
    while (differs < input.size() && output[differs] == input[differs]) ++differs;
    if (result != ZSTD_DECODED || differs != input.size()) {
        std::fprintf(stderr,
                     "level %d strategy %d window log %d long %d checksum %d: %zu bytes in %zu-byte frame: result %d, "
                     "first difference at %zu\n",
                     level, strategy, windowLog, int(longDistance), int(checksum), input.size(), frame.size(),
                     int(result), differs);
        std::abort();
    }
    return 0;
}
