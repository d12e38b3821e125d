#include "tools/packer/store_compressor.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
// For ZSTD_getFrameProgression, from libzstd's experimental interface: the shared library exports it, and
// Debian's libzstd-dev requires the libzstd1 of its own version, so header and library agree.
#define ZSTD_STATIC_LINKING_ONLY
#include <zstd.h>

#include "payload/payload_format.h"
#include "payload/zstd_decoder.h"
#include "tools/packer/pack_error.h"
#include "tools/shared/tool_messages.h"

namespace packer {

namespace {

struct ContextDeleter {
    void operator()(ZSTD_CCtx* context) const { ZSTD_freeCCtx(context); }
};

void check(size_t result, const char* what) {
    if (ZSTD_isError(result)) throw PackError(std::string("libzstd: ") + what + ": " + ZSTD_getErrorName(result));
}

// The window covers the whole region, within libzstd's bounds for a 64-bit build (10 and 31: its
// ZSTD_WINDOWLOG_MIN and ZSTD_WINDOWLOG_MAX_64, which zstd.h exports only to static linking).
int windowLogFor(uint64_t bytes) {
    const int log = bytes <= 1 ? 0 : int(std::bit_width(bytes - 1));
    return std::clamp(log, 10, 31);
}

}  // namespace

std::vector<uint8_t> compressRegion(std::span<const uint8_t> region, int level, unsigned threads,
                                    const std::function<void(uint64_t, uint64_t)>& progress) {
    std::unique_ptr<ZSTD_CCtx, ContextDeleter> context(ZSTD_createCCtx());
    if (!context) throw PackError("libzstd: cannot create a compression context");
    ZSTD_CCtx* cctx = context.get();
    check(ZSTD_CCtx_setParameter(cctx, ZSTD_c_compressionLevel, level), "level");
    check(ZSTD_CCtx_setParameter(cctx, ZSTD_c_windowLog, windowLogFor(region.size())), "window");
    check(ZSTD_CCtx_setParameter(cctx, ZSTD_c_enableLongDistanceMatching, 1), "long-distance matching");
    check(ZSTD_CCtx_setParameter(cctx, ZSTD_c_checksumFlag, 0), "checksum");
    check(ZSTD_CCtx_setParameter(cctx, ZSTD_c_contentSizeFlag, 1), "content size");
    check(ZSTD_CCtx_setParameter(cctx, ZSTD_c_nbWorkers, int(std::max(1u, threads))), "threads");
    check(ZSTD_CCtx_setPledgedSrcSize(cctx, region.size()), "content size");

    std::vector<uint8_t> frame(ZSTD_compressBound(region.size()));
    ZSTD_outBuffer out = {frame.data(), frame.size(), 0};
    // Fed a slice at a time, so that the progress line moves while the workers compress.
    constexpr size_t SLICE = 8u << 20;
    for (size_t at = 0;;) {
        const size_t end = std::min(region.size(), at + SLICE);
        ZSTD_inBuffer in = {region.data() + at, end - at, 0};
        const ZSTD_EndDirective mode = end == region.size() ? ZSTD_e_end : ZSTD_e_continue;
        size_t left;
        do {
            left = ZSTD_compressStream2(cctx, &out, &in, mode);
            check(left, "compress");
            if (progress) progress(ZSTD_getFrameProgression(cctx).consumed, region.size());
        } while (mode == ZSTD_e_end ? left != 0 : in.pos < in.size);
        at = end;
        if (mode == ZSTD_e_end) break;
    }
    frame.resize(out.pos);
    return frame;
}

std::string checkFrame(const char* name, std::span<const uint8_t> frame, std::span<const uint8_t> region) {
    std::vector<uint8_t> decoded(region.size());
    auto workspace = std::make_unique<ZstdWorkspace>();
    const ZstdResult result = zstdDecodeFrame(*workspace, frame.data(), frame.size(), decoded.data(), decoded.size());
    if (result != ZSTD_DECODED)
        return std::string(name) + ": the compressed frame does not decode (" + tools::zstdFault(result) + ")";
    const auto differ = std::mismatch(decoded.begin(), decoded.end(), region.begin());
    if (differ.first != decoded.end())
        return std::string(name) + ": the compressed frame decodes to other bytes from offset " +
               std::to_string(differ.first - decoded.begin());
    return "";
}

CompressedRegions compressRegions(std::span<const uint8_t> store, std::span<const uint8_t> directory, int level,
                                  unsigned threads, Progress& progress) {
    const std::string atLevel = " (zstd level " + std::to_string(level) + ")";
    auto update = [&](uint64_t done, uint64_t total) { progress.update(done, total); };
    CompressedRegions frames;
    progress.stage("compressing the ChunkStore" + atLevel);
    frames.store = compressRegion(store, level, threads, update);
    progress.stage("compressing the directory" + atLevel);
    frames.directory = compressRegion(directory, level, threads, update);
    progress.stage("checking the compressed frames");
    std::string fault = checkFrame(PAYLOAD_STORE_REGION_FILE, frames.store, store);
    if (fault.empty()) fault = checkFrame(PAYLOAD_DIRECTORY_REGION_FILE, frames.directory, directory);
    if (!fault.empty()) throw PackError("internal error, nothing written: " + fault);
    return frames;
}

std::string compressorVersion() { return std::string("libzstd ") + ZSTD_versionString(); }

}  // namespace packer
