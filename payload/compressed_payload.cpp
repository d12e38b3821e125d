#include "payload/compressed_payload.h"

#include "payload/payload_format.h"

static bool sameMagic(const uint8_t* bytes, const char* magic) {
    for (uint32_t i = 0; i < PAYLOAD_DESCRIPTOR_MAGIC_BYTES; ++i)
        if (bytes[i] != uint8_t(magic[i])) return false;
    return true;
}

PayloadKind payloadKind(const uint8_t* descriptor) {
    if (sameMagic(descriptor, PAYLOAD_DESCRIPTOR_MAGIC)) return PAYLOAD_RAW;
    if (sameMagic(descriptor, PAYLOAD_DESCRIPTOR_MAGIC_ZSTD)) return PAYLOAD_COMPRESSED;
    return PAYLOAD_UNKNOWN;
}

DecodedSizes decodedSizes(const uint8_t* descriptor) {
    return {readU32(descriptor + DESCRIPTOR_STORE_BYTES), readU32(descriptor + DESCRIPTOR_DIRECTORY_BYTES)};
}

ZstdResult decodePayload(ZstdWorkspace& workspace, const PayloadRegions& frames, DecodedSizes sizes, uint8_t* block,
                         PayloadRegions& decoded, bool& storeFailed) {
    uint8_t* const directory = block + sizes.storeBytes;
    storeFailed = true;
    ZstdResult result = zstdDecodeFrame(workspace, frames.storeBegin, uint64_t(frames.storeEnd - frames.storeBegin),
                                        block, sizes.storeBytes);
    if (result != ZSTD_DECODED) return result;
    storeFailed = false;
    result = zstdDecodeFrame(workspace, frames.directoryBegin, uint64_t(frames.directoryEnd - frames.directoryBegin),
                             directory, sizes.directoryBytes);
    if (result != ZSTD_DECODED) return result;
    decoded = {block, block + sizes.storeBytes, directory, directory + sizes.directoryBytes};
    return ZSTD_DECODED;
}
