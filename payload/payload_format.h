// The PayloadImage: the one description of the payload's byte layout, shared by the packer (host, C++20)
// and the installer's reader (freestanding). Header-only, no library beyond <stdint.h>.
//
//   licenseTextBegin ─► ┌────────────────────────────────────────────┐
//                       │ license text: 7-bit ASCII, CR LF, no NUL   │
//   licenseTextEnd ───► ├────────────────────────────────────────────┤
//                       │ zero fill to the next 16-byte boundary     │
//   chunkStoreBegin ──► ├────────────────────────────────────────────┤
//                       │ ChunkStore: file 1 whole, then the literal │
//                       │ runs of files 2..5 in file order           │
//   chunkStoreEnd ────► ├────────────────────────────────────────────┤
//                       │ zero fill to the next 16-byte boundary     │
//   directoryBegin ───► ├────────────────────────────────────────────┤
//                       │ DirectoryEntry × 5, back to back, packed:  │
//                       │   name  ASCII, non-empty, then NUL         │
//                       │   hash  u32 LE  payloadHash of the file    │
//                       │   size  u32 LE  bytes of the file          │
//                       │   ChunkRef × n  { offset u32, count u32 }  │
//                       │   terminator    { 0, 0 }                   │
//   directoryEnd ─────► └────────────────────────────────────────────┘
//
// A compressed image (moravel-pack --compress) has the same three regions, but the ChunkStore and the
// directory are each one zstd frame (RFC 8878: content size in the frame header, no dictionary, no
// checksum needed) that decodes to exactly the raw region above: same offsets, same ChunkRefs. The section's
// descriptor (below) tells the two kinds apart; a raw image is byte for byte what it always was.
//
// No integer is aligned: the name's length shifts everything after it. Hash and size are never both zero
// (an empty file hashes to PAYLOAD_HASH_EMPTY), so a reader that steps over an entry in 8-byte groups after
// its name stops at the terminator and nowhere earlier. A ChunkRef with count 0 and offset other than 0
// copies nothing and does not end the list. The end addresses bound the reader's walk and its ChunkRefs.
#pragma once
#include <stdint.h>

constexpr uint32_t PAYLOAD_REGION_ALIGNMENT = 16;
constexpr uint32_t CHUNK_REF_BYTES = 8;
constexpr uint32_t ENTRY_HEADER_BYTES = 8;  // hash and size, after the name's NUL
constexpr uint32_t PAYLOAD_HASH_EMPTY = 0x84222325u;
constexpr uint32_t PAYLOAD_HASH_PRIME = 0x1b3u;
constexpr int PAYLOAD_ENTRY_COUNT = 5;

// The EntryKeys, one #define a line in the directory's fixed order: cmake/payload_format.cmake and the bench
// scripts read these lines, so keep their form.
#define ENTRY_KEY_CLAP64 "bin/target_cl64"
#define ENTRY_KEY_CLAP32 "bin/target_cl32"
#define ENTRY_KEY_FL64 "bin/target_fl64"
#define ENTRY_KEY_FL32 "bin/target_fl32"
#define ENTRY_KEY_STANDALONE "bin/target_st64"

// The directory's fixed order; entry 1 is stored whole at offset 0 of the ChunkStore.
constexpr const char* PAYLOAD_ENTRY_KEYS[PAYLOAD_ENTRY_COUNT] = {
    ENTRY_KEY_CLAP64, ENTRY_KEY_CLAP32, ENTRY_KEY_FL64, ENTRY_KEY_FL32, ENTRY_KEY_STANDALONE,
};

// A payload folder holds the license under this name beside the five files named by their keys.
#define PAYLOAD_LICENSE_FILE "license.txt"

// ---- How the packer hands the image to the build, and how tools find it in an executable ----

// The packer writes each region to a file of its own and an assembler file that embeds the three.
#define PAYLOAD_LICENSE_REGION_FILE "license.bin"
#define PAYLOAD_STORE_REGION_FILE "chunkstore.bin"
#define PAYLOAD_DIRECTORY_REGION_FILE "directory.bin"
#define PAYLOAD_ASSEMBLY_FILE "payload_image.S"

// The six addresses of payload_image.h, in image order: begin and end of each region.
constexpr int PAYLOAD_SYMBOL_COUNT = 6;
constexpr const char* PAYLOAD_SYMBOLS[PAYLOAD_SYMBOL_COUNT] = {
    "licenseTextBegin", "licenseTextEnd", "chunkStoreBegin", "chunkStoreEnd", "directoryBegin", "directoryEnd",
};

// The image is a PE section of its own, so that a tool finds it from the executable's section table (and a
// signature, appended after the sections, leaves it alone). The section opens with a descriptor, at the
// address payloadDescriptor; the license text follows at the next 16-byte boundary.
//
//   payloadDescriptor ─► ┌──────────────────────────────────────────────────────────┐
//                        │ magic  8 bytes: "MRVLPAY1" raw, "MRVLPAYZ" compressed     │
//                        │ offsets  u32 LE × 6: the six addresses above, from the    │
//                        │          section's first byte                             │
//                        ├─ compressed only ────────────────────────────────────────┤
//                        │ storeBytes      u32 LE  the ChunkStore decoded            │
//                        │ directoryBytes  u32 LE  the directory decoded             │
//                        │ level           u32 LE  the zstd level it was packed at   │
//                        └──────────────────────────────────────────────────────────┘
//
// The installer reads the magic and the compressed fields; tools read all of it.
#define PAYLOAD_SECTION_NAME ".payload"  // 8 bytes: a PE image keeps section names of up to 8 in place
#define PAYLOAD_DESCRIPTOR_SYMBOL "payloadDescriptor"
#define PAYLOAD_DESCRIPTOR_MAGIC "MRVLPAY1"
#define PAYLOAD_DESCRIPTOR_MAGIC_ZSTD "MRVLPAYZ"
constexpr uint32_t PAYLOAD_DESCRIPTOR_MAGIC_BYTES = 8;
constexpr uint32_t DESCRIPTOR_OFFSETS = PAYLOAD_DESCRIPTOR_MAGIC_BYTES;
constexpr uint32_t PAYLOAD_DESCRIPTOR_BYTES = DESCRIPTOR_OFFSETS + 4 * PAYLOAD_SYMBOL_COUNT;
constexpr uint32_t DESCRIPTOR_STORE_BYTES = PAYLOAD_DESCRIPTOR_BYTES;
constexpr uint32_t DESCRIPTOR_DIRECTORY_BYTES = DESCRIPTOR_STORE_BYTES + 4;
constexpr uint32_t DESCRIPTOR_LEVEL = DESCRIPTOR_DIRECTORY_BYTES + 4;
constexpr uint32_t PAYLOAD_DESCRIPTOR_ZSTD_BYTES = DESCRIPTOR_LEVEL + 4;

// The largest .payload section an installer may carry. A PE32+ image stays below 2 GiB: the code reaches
// its imports and data with 32-bit relative addresses (mingw-w64's ld refuses the link past that), and the
// image must also hold the headers, code, data, 16 MiB of .bss and resources. The probe of
// bench/image_limit.sh links and Wine loads a .payload of 2 GiB - 1 MiB when nothing else is in the image;
// 32 MiB are kept for the rest of the installer (docs/benchmarks.md, "Image limit").
constexpr uint64_t PAYLOAD_IMAGE_MAX_BYTES = (2ull << 30) - (32ull << 20);

// Unaligned little-endian access, byte by byte: the compiler turns these into plain loads on x86.
inline uint32_t readU32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline void writeU32(uint8_t* p, uint32_t value) {
    p[0] = uint8_t(value);
    p[1] = uint8_t(value >> 8);
    p[2] = uint8_t(value >> 16);
    p[3] = uint8_t(value >> 24);
}

// A DirectoryEntry's fields after its name, by name. `header` is the address of its hash field, the byte
// after the name's NUL (what findEntry returns); `ref` is a ChunkRef's first byte. Every reader and writer
// of an entry reaches its fields through these.
constexpr uint32_t ENTRY_HASH_AT = 0;   // u32 payloadHash of the file
constexpr uint32_t ENTRY_SIZE_AT = 4;   // u32 bytes of the file
constexpr uint32_t REF_OFFSET_AT = 0;   // u32 where the ref's bytes begin in the ChunkStore
constexpr uint32_t REF_COUNT_AT = 4;    // u32 how many bytes it copies
static_assert(ENTRY_SIZE_AT + 4 == ENTRY_HEADER_BYTES && REF_COUNT_AT + 4 == CHUNK_REF_BYTES, "fields fill the records");

inline uint32_t readEntryHash(const uint8_t* header) { return readU32(header + ENTRY_HASH_AT); }
inline uint32_t readEntrySize(const uint8_t* header) { return readU32(header + ENTRY_SIZE_AT); }
inline uint32_t readRefOffset(const uint8_t* ref) { return readU32(ref + REF_OFFSET_AT); }
inline uint32_t readRefCount(const uint8_t* ref) { return readU32(ref + REF_COUNT_AT); }

inline uint64_t alignUp(uint64_t value, uint64_t alignment) {
    return (value + alignment - 1) / alignment * alignment;
}
