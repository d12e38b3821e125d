// libFuzzer target for the zstd decoder over arbitrary bytes taken as one frame. The output is an exact-size
// heap block of the header's content size (up to 4 MiB; larger claims are read no further than the header),
// so any read or write outside the frame or the output is an AddressSanitizer report, and a hang is a
// libFuzzer timeout. Where both ours and libzstd decode the bytes, the contents must be the same. (Where only
// libzstd decodes them, ours may be right to refuse: libzstd lets a sequence stream be read past its first
// bit, as zeros, which the format calls corrupt. That libzstd's own frames decode is zstd_roundtrip's job.)
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
    // A copy of exactly the input's size, so that reading one byte past the frame is caught.
    std::unique_ptr<uint8_t[]> frame(new uint8_t[size]);
    if (size != 0) std::memcpy(frame.get(), data, size);
    ZstdFrameHeader header;
    if (zstdReadFrameHeader(frame.get(), size, header) != ZSTD_DECODED || header.contentSize > (4u << 20)) return 0;
    const size_t contentSize = header.contentSize;
    std::unique_ptr<uint8_t[]> ours(new uint8_t[contentSize]);
    const ZstdResult result = zstdDecodeFrame(workspace, frame.get(), size, ours.get(), contentSize);
    if (result > ZSTD_CHECKSUM_MISMATCH) std::abort();

    std::vector<uint8_t> theirs(contentSize + 1);
    ZSTD_DCtx* context = ZSTD_createDCtx();
    const size_t decoded = ZSTD_decompressDCtx(context, theirs.data(), theirs.size(), frame.get(), size);
    ZSTD_freeDCtx(context);
    const bool theyDecoded = !ZSTD_isError(decoded) && decoded == contentSize;
    if (result == ZSTD_DECODED && theyDecoded && contentSize != 0 &&
        std::memcmp(ours.get(), theirs.data(), contentSize) != 0) {
        std::fprintf(stderr, "the decoders disagree on the content of a %zu-byte frame\n", size);
        std::abort();
    }
    return 0;
}
