// extractEntry over a compressed image: its store and directory as zstd frames (of raw blocks, made here),
// decoded at the first extraction into one heap block that later extractions reuse, and the out-of-memory
// path when that block cannot be had. HeapAlloc is replaced in this program's import table to count and
// refuse allocations.
#include "tests/windows/wintest.h"
#include "tests/windows/message_box_capture.h"
#include "tests/windows/extract_test_support.h"
#include "tests/windows/test_payload.h"
#include "base/messages.h"
#include "payload/extract_entry.h"
#include "state/installer_state.h"

#define STORE_TEXT "compressed store: ABCDEFGHIJKLMNOPQRSTUVWXYZ"
static constexpr TestEntryPlan plans[] = {
    {ENTRY_KEY_CLAP64, {{STORE_TEXT, 0, 0}}, 1},
    {ENTRY_KEY_CLAP32, {{nullptr, 18, 26}, {nullptr, 0, 10}}, 2},
};
static constexpr TestImage raw = buildTestImage("L", plans, 2);
static_assert(testContentIs(raw, 1, "ABCDEFGHIJKLMNOPQRSTUVWXYZcompressed"), "copies out of the store");

// The section as moravel-pack --compress lays it out: the compressed descriptor, then one frame each for the
// store and the directory (magic, single-segment header with a 4-byte content size, one last raw block).
struct CompressedImage {
    uint8_t bytes[1024];
    uint32_t storeBegin, storeEnd, directoryBegin, directoryEnd;
};
constexpr uint32_t putFrame(uint8_t* out, const uint8_t* content, uint32_t size) {
    const uint8_t header[] = {0x28, 0xB5, 0x2F, 0xFD, 0xA0};
    uint32_t at = 0;
    for (uint8_t byte : header) out[at++] = byte;
    testPut32(out + at, size);
    at += 4;
    const uint32_t block = 1 | size << 3;  // last, raw
    for (int i = 0; i < 3; ++i) out[at++] = uint8_t(block >> (8 * i));
    for (uint32_t i = 0; i < size; ++i) out[at++] = content[i];
    return at;
}
constexpr CompressedImage compressImage(const TestImage& image) {
    CompressedImage c{};
    const char magic[] = PAYLOAD_DESCRIPTOR_MAGIC_ZSTD;
    for (uint32_t i = 0; i < PAYLOAD_DESCRIPTOR_MAGIC_BYTES; ++i) c.bytes[i] = uint8_t(magic[i]);
    testPut32(c.bytes + DESCRIPTOR_STORE_BYTES, image.storeEnd - image.storeBegin);
    testPut32(c.bytes + DESCRIPTOR_DIRECTORY_BYTES, image.directoryEnd - image.directoryBegin);
    testPut32(c.bytes + DESCRIPTOR_LEVEL, 19);
    c.storeBegin = PAYLOAD_DESCRIPTOR_ZSTD_BYTES;
    c.storeEnd = c.storeBegin + putFrame(c.bytes + c.storeBegin, image.bytes + image.storeBegin,
                                         image.storeEnd - image.storeBegin);
    c.directoryBegin = c.storeEnd;
    c.directoryEnd = c.directoryBegin + putFrame(c.bytes + c.directoryBegin, image.bytes + image.directoryBegin,
                                                 image.directoryEnd - image.directoryBegin);
    return c;
}
static constexpr CompressedImage image = compressImage(raw);

// The installer's symbols over the compressed image (the license is never read by extraction).
__attribute__((used)) static void defineCompressedImageSymbols() {
    __asm__(".globl " PAYLOAD_DESCRIPTOR_SYMBOL "\n\t.set " PAYLOAD_DESCRIPTOR_SYMBOL ", %c0\n\t"
            ".globl licenseTextBegin\n\t.set licenseTextBegin, %c0\n\t"
            ".globl licenseTextEnd\n\t.set licenseTextEnd, %c0\n\t"
            ".globl chunkStoreBegin\n\t.set chunkStoreBegin, %c1\n\t"
            ".globl chunkStoreEnd\n\t.set chunkStoreEnd, %c2\n\t"
            ".globl directoryBegin\n\t.set directoryBegin, %c3\n\t"
            ".globl directoryEnd\n\t.set directoryEnd, %c4\n\t"
            :
            : "i"(image.bytes), "i"(image.bytes + image.storeBegin), "i"(image.bytes + image.storeEnd),
              "i"(image.bytes + image.directoryBegin), "i"(image.bytes + image.directoryEnd));
}

// The import slot through which payload_code calls HeapAlloc.
extern "C" void* __imp_HeapAlloc;
typedef LPVOID(WINAPI* HeapAllocFunction)(HANDLE, DWORD, SIZE_T);
static HeapAllocFunction realHeapAlloc;
static SIZE_T allocations[8];
static int allocationCount;
static bool refuseNext;
static LPVOID WINAPI countedHeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes) {
    if (allocationCount < 8) allocations[allocationCount] = bytes;
    ++allocationCount;
    if (refuseNext) {
        refuseNext = false;
        return nullptr;
    }
    return realHeapAlloc(heap, flags, bytes);
}

static const wchar_t* const ROOT = L"C:\\moravel-tests\\extract-compressed";
constexpr SIZE_T DECODED_BYTES = sizeof STORE_TEXT - 1 + (raw.directoryEnd - raw.directoryBegin);

static void extractTo(const char* key, const wchar_t* name, MessageBoxCapture* capture) {
    wchar_t path[MAX_PATH];
    wsprintfW(path, L"%s\\%s", ROOT, name);
    Unit destination[MAX_PATH];
    copyPath(destination, path);
    startMessageBoxCapture(capture);
    extractEntry(nullptr, destination, key);
    stopMessageBoxCapture();
}

TEST(decoded_block_refused_then_decoded_once_for_every_extraction) {
    removeTree(ROOT);
    CreateDirectoryW(L"C:\\moravel-tests", nullptr);
    DWORD old;
    VirtualProtect(&__imp_HeapAlloc, sizeof(void*), PAGE_READWRITE, &old);
    realHeapAlloc = reinterpret_cast<HeapAllocFunction>(__imp_HeapAlloc);
    __imp_HeapAlloc = reinterpret_cast<void*>(&countedHeapAlloc);
    VirtualProtect(&__imp_HeapAlloc, sizeof(void*), old, &old);

    // The decoded block cannot be had: the out-of-memory message, installFailed, and nothing on disk.
    MessageBoxCapture capture;
    refuseNext = true;
    extractTo(ENTRY_KEY_CLAP64, L"a\\clap64.clap", &capture);
    CHECK_EQ(allocationCount, 1);
    CHECK_EQ(allocations[0], DECODED_BYTES);
    CHECK_EQ(capture.count, 1);
    CHECK_WSTR(capture.boxes[0].text, MSG_OUT_OF_MEMORY);
    CHECK_EQ(state.installFailed, 1);
    CHECK(!pathExists(ROOT));

    // Later extractions decode once (the block, then each file's buffer) and write the right bytes.
    state.installFailed = 0;
    allocationCount = 0;
    extractTo(ENTRY_KEY_CLAP64, L"a\\clap64.clap", &capture);
    extractTo(ENTRY_KEY_CLAP32, L"b\\clap32.clap", &capture);
    CHECK_EQ(capture.count, 0);
    CHECK_EQ(state.installFailed, 0);
    CHECK_EQ(allocationCount, 3);
    CHECK_EQ(allocations[0], DECODED_BYTES);
    CHECK_EQ(allocations[1], SIZE_T(raw.contentSize[0]));
    CHECK_EQ(allocations[2], SIZE_T(raw.contentSize[1]));
    CHECK(fileHolds(L"C:\\moravel-tests\\extract-compressed\\a\\clap64.clap", raw.contents, raw.contentSize[0]));
    CHECK(fileHolds(L"C:\\moravel-tests\\extract-compressed\\b\\clap32.clap", raw.contents + raw.contentBegin[1],
                    raw.contentSize[1]));
}
