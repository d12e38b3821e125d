// Small PayloadImages for the Windows tests, made by constexpr code, so that tests link a payload whose every
// byte they know instead of a packed one.
//
// The object library test_payload defines the six PayloadImage addresses over a well-formed image of five
// entries (testEntries below). A test program that needs a damaged or unusual image builds its own with
// buildTestImage and DEFINE_PAYLOAD_IMAGE_SYMBOLS, and links no test_payload.
//
// The regions lie back to back without alignment (the reader needs none): an odd license length puts every
// integer of the directory off its natural alignment, which the freestanding build must read correctly too.
#pragma once
#include <stdint.h>
#include "payload/payload_format.h"

// The well-formed test payload: the expected bytes of each entry, in directory order.
struct TestEntry {
    const char* key;
    const uint8_t* bytes;
    uint32_t size;
};
extern const TestEntry testEntries[PAYLOAD_ENTRY_COUNT];
extern const char testLicenseText[];

// ---- Building images ----

constexpr uint32_t TEST_IMAGE_CAPACITY = 4096;
constexpr int TEST_MAX_ENTRIES = 8;
constexpr uint32_t TEST_CONTENTS_CAPACITY = 8192;
constexpr int TEST_MAX_PIECES = 16;
constexpr int64_t TEST_FROM_PIECES = -1;

// One piece of an entry: a literal run (appended to the store, named by a ChunkRef there) when literal is set,
// otherwise a copy, the ChunkRef (offset, count) as it stands; any offset may be given for damaged images.
struct TestPiece {
    const char* literal;
    uint32_t offset;
    uint32_t count;
};

struct TestEntryPlan {
    const char* key;
    TestPiece pieces[TEST_MAX_PIECES];
    int pieceCount;
    // Damaged images state a size or hash other than what the pieces assemble to.
    int64_t statedSize = TEST_FROM_PIECES;
    int64_t statedHash = TEST_FROM_PIECES;
};

struct TestImage {
    uint8_t bytes[TEST_IMAGE_CAPACITY];
    uint32_t licenseEnd, storeBegin, storeEnd, directoryBegin, directoryEnd;
    // What each entry's pieces assemble to (only for entries whose copies lie in the store).
    uint8_t contents[TEST_CONTENTS_CAPACITY];
    uint32_t contentBegin[TEST_MAX_ENTRIES], contentSize[TEST_MAX_ENTRIES];
};

constexpr uint32_t testTextLength(const char* text) {
    uint32_t n = 0;
    while (text[n] != 0) ++n;
    return n;
}

// Written from the 64-bit definition rather than the installer's 32-bit shortcut, so the two are compared.
constexpr uint32_t testHash(const uint8_t* bytes, uint32_t length) {
    uint64_t h = 0xcbf29ce484222325ull;
    for (uint32_t i = 0; i < length; ++i) h = (h ^ bytes[i]) * 0x100000001b3ull;
    return uint32_t(h);
}

constexpr uint32_t testTextHash(const char* text) {
    uint64_t h = 0xcbf29ce484222325ull;
    for (uint32_t i = 0; text[i] != 0; ++i) h = (h ^ uint8_t(text[i])) * 0x100000001b3ull;
    return uint32_t(h);
}

constexpr void testPut32(uint8_t* p, uint32_t value) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(value >> (8 * i));
}

constexpr TestImage buildTestImage(const char* license, const TestEntryPlan* entries, int entryCount) {
    TestImage image{};
    uint32_t at = 0;
    for (uint32_t i = 0; license[i] != 0; ++i) image.bytes[at++] = uint8_t(license[i]);
    image.licenseEnd = at;
    image.storeBegin = at;
    // The store: every literal piece, in entry and piece order.
    for (int e = 0; e < entryCount; ++e)
        for (int k = 0; k < entries[e].pieceCount; ++k)
            if (const char* text = entries[e].pieces[k].literal)
                for (uint32_t i = 0; text[i] != 0; ++i) image.bytes[at++] = uint8_t(text[i]);
    image.storeEnd = at;
    image.directoryBegin = at;
    uint32_t literalAt = image.storeBegin;
    uint32_t contentAt = 0;
    for (int e = 0; e < entryCount; ++e) {
        const TestEntryPlan& entry = entries[e];
        for (uint32_t i = 0; entry.key[i] != 0; ++i) image.bytes[at++] = uint8_t(entry.key[i]);
        image.bytes[at++] = 0;
        const uint32_t header = at;
        at += ENTRY_HEADER_BYTES;
        image.contentBegin[e] = contentAt;
        bool inStore = true;
        for (int k = 0; k < entry.pieceCount; ++k) {
            const TestPiece& piece = entry.pieces[k];
            uint32_t offset = piece.offset, count = piece.count;
            if (piece.literal) {
                offset = literalAt - image.storeBegin;
                count = testTextLength(piece.literal);
                literalAt += count;
            }
            testPut32(image.bytes + at + REF_OFFSET_AT, offset);
            testPut32(image.bytes + at + REF_COUNT_AT, count);
            at += CHUNK_REF_BYTES;
            if (uint64_t(offset) + count > image.storeEnd - image.storeBegin) inStore = false;
            for (uint32_t i = 0; inStore && i < count; ++i)
                image.contents[contentAt++] = image.bytes[image.storeBegin + offset + i];
        }
        at += CHUNK_REF_BYTES;  // terminator, already zero
        image.contentSize[e] = contentAt - image.contentBegin[e];
        const uint32_t size = entry.statedSize == TEST_FROM_PIECES ? image.contentSize[e] : uint32_t(entry.statedSize);
        const uint32_t hash = entry.statedHash == TEST_FROM_PIECES
                                  ? testHash(image.contents + image.contentBegin[e], image.contentSize[e])
                                  : uint32_t(entry.statedHash);
        testPut32(image.bytes + header + ENTRY_HASH_AT, hash);
        testPut32(image.bytes + header + ENTRY_SIZE_AT, size);
    }
    image.directoryEnd = at;
    return image;
}

constexpr bool testContentIs(const TestImage& image, int entry, const char* expected) {
    if (image.contentSize[entry] != testTextLength(expected)) return false;
    for (uint32_t i = 0; i < image.contentSize[entry]; ++i)
        if (image.contents[image.contentBegin[entry] + i] != uint8_t(expected[i])) return false;
    return true;
}

// Defines the six addresses of payload/payload_image.h as labels inside one static constexpr TestImage,
// and a raw image's descriptor (its magic is all the installer reads of it). The addresses must point into a
// single object, so they are set in assembly: C++ cannot name an array symbol at an offset into another
// object.
#define DEFINE_PAYLOAD_IMAGE_SYMBOLS(image)                                                              \
    __asm__("\t.section .rdata,\"dr\"\n\t.globl " PAYLOAD_DESCRIPTOR_SYMBOL "\n" PAYLOAD_DESCRIPTOR_SYMBOL \
            ":\n\t.ascii \"" PAYLOAD_DESCRIPTOR_MAGIC "\"\n\t.text\n");                                   \
    __attribute__((used)) static void definePayloadImageSymbols() {                                      \
        __asm__(".globl licenseTextBegin\n\t.set licenseTextBegin, %c0\n\t"                               \
                ".globl licenseTextEnd\n\t.set licenseTextEnd, %c1\n\t"                                   \
                ".globl chunkStoreBegin\n\t.set chunkStoreBegin, %c2\n\t"                                 \
                ".globl chunkStoreEnd\n\t.set chunkStoreEnd, %c3\n\t"                                     \
                ".globl directoryBegin\n\t.set directoryBegin, %c4\n\t"                                   \
                ".globl directoryEnd\n\t.set directoryEnd, %c5\n\t"                                       \
                :                                                                                         \
                : "i"(image.bytes), "i"(image.bytes + image.licenseEnd), "i"(image.bytes + image.storeBegin), \
                  "i"(image.bytes + image.storeEnd), "i"(image.bytes + image.directoryBegin),            \
                  "i"(image.bytes + image.directoryEnd));                                                 \
    }
