// A large entry made of many overlapping copies, and what happens when its write comes up short.
//
// Run plainly, the program checks that the entry extracts byte for byte. Run with --file-size-limited, it
// expects the test command to have set a small RLIMIT_FSIZE on the Wine process (with SIGXFSZ ignored): the
// single WriteFile then reports fewer bytes than asked, a partial file stands beside the destination, and
// extractEntry must delete it, show the folder message, set installFailed and leave the older file alone.
#define WINTEST_CUSTOM_MAIN
#include "tests/windows/wintest.h"
#include "tests/windows/message_box_capture.h"
#include "tests/windows/extract_test_support.h"
#include "tests/windows/test_payload.h"
#include "base/messages.h"
#include "payload/extract_entry.h"
#include "state/installer_state.h"

#define STORE_TEXT                                                                                          \
    "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ the resource block that every build "     \
    "carries, copied here many times over, overlapping itself, so the entry is far larger than the store.."

static constexpr TestEntryPlan plans[] = {
    {ENTRY_KEY_CLAP64, {{STORE_TEXT, 0, 0}}, 1},
    // Copies may overlap and repeat; a zero count with a non-zero offset copies nothing and goes on.
    {"big/overlapping",
     {{nullptr, 0, 200}, {nullptr, 1, 199}, {nullptr, 7, 150}, {nullptr, 5, 0}, {nullptr, 0, 200},
      {nullptr, 100, 100}, {nullptr, 199, 1}, {nullptr, 0, 200}, {nullptr, 3, 190}, {nullptr, 0, 200},
      {nullptr, 50, 150}, {nullptr, 0, 200}, {nullptr, 10, 180}, {nullptr, 0, 200}, {nullptr, 0, 200},
      {nullptr, 20, 170}},
     16},
};
static constexpr TestImage image = buildTestImage("", plans, 2);
static_assert(image.storeEnd - image.storeBegin == 200, "the copies above name the whole store");
DEFINE_PAYLOAD_IMAGE_SYMBOLS(image)

static const uint8_t* const BIG_BYTES = image.contents + image.contentBegin[1];
static const uint32_t BIG_SIZE = image.contentSize[1];
static_assert(image.contentSize[1] > 2048, "more than the file size limit of the limited run");

static const wchar_t* const PLAIN_PATH = L"C:\\moravel-tests\\extract-big\\A\\big.bin";
static const wchar_t* const LIMITED_PATH = L"C:\\moravel-tests\\extract-short-write\\A\\big.bin";

static int extractCapturing(const wchar_t* path, MessageBoxCapture* capture) {
    Unit destination[MAX_PATH];
    copyPath(destination, path);
    state.installFailed = 0;
    startMessageBoxCapture(capture);
    extractEntry(nullptr, destination, "big/overlapping");
    stopMessageBoxCapture();
    CHECK_WSTR(destination, path);
    return capture->count;
}

TEST(a_large_entry_of_overlapping_copies_extracts_exactly) {
    removeTree(L"C:\\moravel-tests\\extract-big");
    MessageBoxCapture capture;
    CHECK_EQ(extractCapturing(PLAIN_PATH, &capture), 0);
    CHECK_EQ(state.installFailed, 0);
    CHECK(fileHolds(PLAIN_PATH, BIG_BYTES, BIG_SIZE));
}

static void aShortWriteKeepsTheOlderFile() {
    // A previous install's file, small enough for the limit; the new one cannot be written whole beside it.
    emptyFolder(L"C:\\moravel-tests\\extract-short-write\\A");
    CHECK(writeFileBytes(LIMITED_PATH, "an older build"));
    MessageBoxCapture capture;
    CHECK_EQ(extractCapturing(LIMITED_PATH, &capture), 1);
    CHECK_WSTR(capture.boxes[0].text, MSG_FOLDER_INACCESSIBLE);
    CHECK_EQ(state.installFailed, 1);
    CHECK(fileHolds(LIMITED_PATH, reinterpret_cast<const uint8_t*>("an older build"), 14));
    CHECK(!pathExists(L"C:\\moravel-tests\\extract-short-write\\A\\big~bin"));
}

// Without the limit the write would succeed and the case would show nothing: make sure the limit is there.
static void theFileSizeLimitIsInEffect() {
    CreateDirectoryW(L"C:\\moravel-tests", nullptr);
    const wchar_t* probe = L"C:\\moravel-tests\\file-size-limit-probe.bin";
    HANDLE file = CreateFileW(probe, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, BIG_BYTES, BIG_SIZE, &written, nullptr);
    CloseHandle(file);
    DeleteFileW(probe);
    CHECK(written < BIG_SIZE);
}

int main(int argc, char** argv) {
    if (argc > 1 && lstrcmpA(argv[1], "--file-size-limited") == 0) {
        static wintest::Case limit = {"the_file_size_limit_is_in_effect", theFileSizeLimitIsInEffect, nullptr};
        static wintest::Case shortWrite = {"a_short_write_keeps_the_older_file", aShortWriteKeepsTheOlderFile, nullptr};
        limit.next = &shortWrite;
        wintest::firstCase() = &limit;
    }
    return wintest::runAll();
}
