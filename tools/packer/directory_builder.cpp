#include "tools/packer/directory_builder.h"

#include "payload/payload_format.h"
#include "tools/packer/contract.h"

namespace packer {

std::vector<ChunkRef> placePieces(const std::vector<Piece>& pieces) {
    std::vector<ChunkRef> refs;
    refs.reserve(pieces.size());
    for (const Piece& piece : pieces) {
        uint64_t offset = piece.literal() ? piece.literalOffset : uint64_t(piece.storeOffset);
        PACKER_ASSERT(offset + piece.length <= 0xFFFFFFFFull);  // every ChunkRef field is a u32
        // A copy that ends at the store's end is continued by a literal run appended right after it.
        if (!refs.empty() && uint64_t(refs.back().offset) + refs.back().count == offset) {
            refs.back().count += uint32_t(piece.length);
            continue;
        }
        refs.push_back({uint32_t(offset), uint32_t(piece.length)});
    }
    return refs;
}

std::vector<uint8_t> buildDirectory(const std::vector<PackedEntry>& entries) {
    uint64_t total = 0;
    for (const PackedEntry& entry : entries)
        total += entry.key.size() + 1 + ENTRY_HEADER_BYTES + (entry.refs.size() + 1) * CHUNK_REF_BYTES;
    std::vector<uint8_t> directory(total);
    uint8_t* at = directory.data();
    for (const PackedEntry& entry : entries) {
        for (char c : entry.key) *at++ = uint8_t(c);
        *at++ = 0;
        writeU32(at + ENTRY_HASH_AT, entry.hash);
        writeU32(at + ENTRY_SIZE_AT, uint32_t(entry.size));
        at += ENTRY_HEADER_BYTES;
        for (const ChunkRef& ref : entry.refs) {
            writeU32(at + REF_OFFSET_AT, ref.offset);
            writeU32(at + REF_COUNT_AT, ref.count);
            at += CHUNK_REF_BYTES;
        }
        at += CHUNK_REF_BYTES;  // the terminator, already zero
    }
    return directory;
}

}  // namespace packer
