// The zstd decoder beside libzstd, single thread, on one frame:
//   zstd_decode_benchmark FRAME.zst [ROUNDS [DECODES]]
// Each round decodes the frame DECODES times with ours, then DECODES times with libzstd
// (ZSTD_decompressDCtx on one reused context), both into the same preallocated output; the rounds
// alternate so that a change of machine load falls on both. Prints each decoder's median MB/s (decoded
// bytes per second) over the rounds and the ratio ours / libzstd. Both outputs are compared once first.
#define ZSTD_STATIC_LINKING_ONLY  // ZSTD_d_windowLogMax for windows up to 2 GiB
#include <zstd.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>
#include "payload/zstd_decoder.h"

namespace {

std::vector<uint8_t> readFile(const char* path) {
    std::FILE* file = std::fopen(path, "rb");
    if (!file) {
        std::perror(path);
        std::exit(2);
    }
    std::vector<uint8_t> bytes;
    uint8_t chunk[1 << 16];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;) bytes.insert(bytes.end(), chunk, chunk + n);
    std::fclose(file);
    return bytes;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 4) {
        std::fprintf(stderr, "usage: zstd_decode_benchmark FRAME.zst [ROUNDS [DECODES]]\n");
        return 2;
    }
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    const int decodes = argc > 3 ? std::atoi(argv[3]) : 1;
    const std::vector<uint8_t> frame = readFile(argv[1]);
    ZstdFrameHeader header;
    if (zstdReadFrameHeader(frame.data(), frame.size(), header) != ZSTD_DECODED) {
        std::fprintf(stderr, "%s: not a zstd frame with a content size\n", argv[1]);
        return 1;
    }
    const size_t size = header.contentSize;
    std::unique_ptr<uint8_t[]> ours(new uint8_t[size + 1]), theirs(new uint8_t[size + 1]);
    auto workspace = std::make_unique<ZstdWorkspace>();
    ZSTD_DCtx* context = ZSTD_createDCtx();
    ZSTD_DCtx_setParameter(context, ZSTD_d_windowLogMax, 31);

    // Touch both outputs once and check that they agree.
    const ZstdResult result = zstdDecodeFrame(*workspace, frame.data(), frame.size(), ours.get(), size);
    const size_t theirSize = ZSTD_decompressDCtx(context, theirs.get(), size + 1, frame.data(), frame.size());
    if (result != ZSTD_DECODED || ZSTD_isError(theirSize) || theirSize != size ||
        std::memcmp(ours.get(), theirs.get(), size) != 0) {
        std::fprintf(stderr, "the decoders disagree (ours: result %d; libzstd: %s)\n", int(result),
                     ZSTD_isError(theirSize) ? ZSTD_getErrorName(theirSize) : "decoded");
        return 1;
    }

    using Clock = std::chrono::steady_clock;
    auto megabytesPerSecond = [&](Clock::time_point start) {
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        return double(size) * decodes / seconds / 1e6;
    };
    std::vector<double> ourSpeeds, theirSpeeds;
    for (int round = 0; round < rounds; ++round) {
        Clock::time_point start = Clock::now();
        for (int i = 0; i < decodes; ++i) zstdDecodeFrame(*workspace, frame.data(), frame.size(), ours.get(), size);
        ourSpeeds.push_back(megabytesPerSecond(start));
        start = Clock::now();
        for (int i = 0; i < decodes; ++i) ZSTD_decompressDCtx(context, theirs.get(), size, frame.data(), frame.size());
        theirSpeeds.push_back(megabytesPerSecond(start));
    }
    ZSTD_freeDCtx(context);
    const double ourMedian = median(ourSpeeds), theirMedian = median(theirSpeeds);
    std::printf("%s: %zu bytes -> %zu bytes, %d rounds of %d decodes (libzstd %s)\n", argv[1], frame.size(), size,
                rounds, decodes, ZSTD_versionString());
    std::printf("  ours     %8.1f MB/s\n  libzstd  %8.1f MB/s\n  ratio    %8.3f\n", ourMedian, theirMedian,
                ourMedian / theirMedian);
    return 0;
}
