// Which kind of image the section's descriptor announces, and the one step that turns a compressed image's
// two frames back into the raw ChunkStore and directory. Pure code: the installer and moravel-inspect both
// read an image through it.
#pragma once
#include <stdint.h>

#include "payload/entry_directory.h"
#include "payload/zstd_decoder.h"

enum PayloadKind {
    PAYLOAD_RAW,         // the regions are the ChunkStore and directory themselves
    PAYLOAD_COMPRESSED,  // each region is one zstd frame of them
    PAYLOAD_UNKNOWN,     // the magic is neither: not an image this reader knows
};

// Reads the magic at the descriptor's first byte (PAYLOAD_DESCRIPTOR_MAGIC_BYTES readable).
PayloadKind payloadKind(const uint8_t* descriptor);

// A compressed image's decoded sizes, from its descriptor (PAYLOAD_DESCRIPTOR_ZSTD_BYTES readable).
struct DecodedSizes {
    uint32_t storeBytes;
    uint32_t directoryBytes;
};
DecodedSizes decodedSizes(const uint8_t* descriptor);

// Decodes the two frames that `frames` bounds (its store and directory fields) into block, which holds
// sizes.storeBytes + sizes.directoryBytes bytes: the store first, the directory after it. On ZSTD_DECODED,
// decoded bounds the two within block; each frame must decode to exactly its size. Any other result is a
// corrupted payload; storeFailed then tells which frame it was.
ZstdResult decodePayload(ZstdWorkspace& workspace, const PayloadRegions& frames, DecodedSizes sizes, uint8_t* block,
                         PayloadRegions& decoded, bool& storeFailed);
