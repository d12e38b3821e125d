// extractEntry against the real file system of the Wine prefix, over the well-formed test payload.
//
// Wine keeps the read-only attribute as the Unix mode, which a wineserver running as root does not obey.
// Run plainly, the read-only case is skipped with a note where that is so; run with --read-only-enforced
// (the test command starts the wineserver without CAP_DAC_OVERRIDE), it runs alone and must not be skipped.
#define WINTEST_CUSTOM_MAIN
#include "tests/windows/wintest.h"
#include "tests/windows/message_box_capture.h"
#include "tests/windows/extract_test_support.h"
#include "tests/windows/test_payload.h"
#include "base/messages.h"
#include "payload/extract_entry.h"
#include "state/installer_state.h"

static const wchar_t* const ROOT = L"C:\\moravel-tests\\extract-writes";

static HWND makeOwner() {
    return CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
}

// Runs extractEntry on a fresh copy of path and records its boxes; returns the number of boxes shown.
static int extractCapturing(HWND owner, const wchar_t* path, const char* key, MessageBoxCapture* capture) {
    Unit destination[MAX_PATH];
    copyPath(destination, path);
    state.installFailed = 0;
    startMessageBoxCapture(capture);
    extractEntry(owner, destination, key);
    stopMessageBoxCapture();
    CHECK_WSTR(destination, path);  // the folders were made by cutting this string; it must be whole again
    return capture->count;
}

TEST(each_entry_is_written_with_its_folders_made_one_by_one) {
    removeTree(ROOT);
    HWND owner = makeOwner();
    for (int i = 0; i < PAYLOAD_ENTRY_COUNT; ++i) {
        // A\B do not exist: CreateDirectoryW makes one level per call, so each must be made in turn.
        wchar_t path[MAX_PATH];
        wsprintfW(path, L"%s\\entry%d\\A\\B\\file.dll", ROOT, i);
        MessageBoxCapture capture;
        CHECK_EQ(extractCapturing(owner, path, testEntries[i].key, &capture), 0);
        CHECK_EQ(state.installFailed, 0);
        CHECK(fileHolds(path, testEntries[i].bytes, testEntries[i].size));
    }
    DestroyWindow(owner);
}

TEST(an_existing_longer_file_is_replaced_by_exactly_the_entry) {
    emptyFolder(ROOT);
    wchar_t path[MAX_PATH];
    wsprintfW(path, L"%s\\old.dll", ROOT);
    CHECK(writeFileBytes(path, "an older build that is longer than every test entry, so a file that was not "
                               "truncated would keep this tail after the entry's own bytes ............"));
    MessageBoxCapture capture;
    CHECK_EQ(extractCapturing(nullptr, path, ENTRY_KEY_FL32, &capture), 0);
    CHECK_EQ(state.installFailed, 0);
    CHECK(fileHolds(path, testEntries[3].bytes, testEntries[3].size));
    // Written beside it as old~dll, then renamed over it: nothing is left beside it.
    wsprintfW(path, L"%s\\old~dll", ROOT);
    CHECK(!pathExists(path));
}

// A destination another program has open cannot be replaced: folder message, installFailed, the file that was
// there as it was, and the new file written beside it removed.
TEST(a_destination_held_open_without_sharing_gives_the_folder_message) {
    emptyFolder(ROOT);
    wchar_t path[MAX_PATH];
    wsprintfW(path, L"%s\\held.dll", ROOT);
    CHECK(writeFileBytes(path, "held"));
    HANDLE holder = CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    CHECK(holder != INVALID_HANDLE_VALUE);
    HWND owner = makeOwner();
    MessageBoxCapture capture;
    CHECK_EQ(extractCapturing(owner, path, ENTRY_KEY_CLAP64, &capture), 1);
    CHECK_WSTR(capture.boxes[0].text, MSG_FOLDER_INACCESSIBLE);
    CHECK_WSTR(capture.boxes[0].caption, L"Error");  // no caption of its own: the system's default
    CHECK(capture.boxes[0].owner == owner);
    CHECK_EQ(state.installFailed, 1);
    CloseHandle(holder);
    CHECK(fileHolds(path, reinterpret_cast<const uint8_t*>("held"), 4));
    wsprintfW(path, L"%s\\held~dll", ROOT);
    CHECK(!pathExists(path));
    DestroyWindow(owner);
}

static bool readOnlyEnforced;

static void aReadOnlyDestinationGivesTheFolderMessage() {
    emptyFolder(ROOT);
    wchar_t path[MAX_PATH];
    wsprintfW(path, L"%s\\readonly.dll", ROOT);
    CHECK(writeFileBytes(path, "read-only"));
    CHECK(SetFileAttributesW(path, FILE_ATTRIBUTE_READONLY));
    HANDLE probe = CreateFileW(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (probe != INVALID_HANDLE_VALUE) {
        CloseHandle(probe);
        CHECK(!readOnlyEnforced);
        printf("    SKIPPED: read-only files open for writing here (wineserver running as root); "
               "the test extract_read_only_test runs this case\n");
    } else {
        MessageBoxCapture capture;
        CHECK_EQ(extractCapturing(nullptr, path, ENTRY_KEY_CLAP32, &capture), 1);
        CHECK_WSTR(capture.boxes[0].text, MSG_FOLDER_INACCESSIBLE);
        CHECK_EQ(state.installFailed, 1);
        CHECK(fileHolds(path, reinterpret_cast<const uint8_t*>("read-only"), 9));
        wchar_t staging[MAX_PATH];
        wsprintfW(staging, L"%s\\readonly~dll", ROOT);
        CHECK(!pathExists(staging));
    }
    SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL);
}
static wintest::Case readOnlyCase = {"a_read_only_destination_gives_the_folder_message",
                                     aReadOnlyDestinationGivesTheFolderMessage, nullptr};
static wintest::Registrar readOnlyRegistrar(&readOnlyCase);

TEST(a_folder_that_cannot_be_made_gives_the_folder_message) {
    emptyFolder(ROOT);
    // A file stands where a folder of the path should be: CreateDirectoryW fails, and so does the open.
    wchar_t blocker[MAX_PATH], path[MAX_PATH];
    wsprintfW(blocker, L"%s\\blocker", ROOT);
    wsprintfW(path, L"%s\\blocker\\A\\file.dll", ROOT);
    CHECK(writeFileBytes(blocker, "a file, not a folder"));
    MessageBoxCapture capture;
    CHECK_EQ(extractCapturing(nullptr, path, ENTRY_KEY_STANDALONE, &capture), 1);
    CHECK_WSTR(capture.boxes[0].text, MSG_FOLDER_INACCESSIBLE);
    CHECK_EQ(state.installFailed, 1);
    CHECK(!pathExists(path));
}

int main(int argc, char** argv) {
    if (argc > 1 && lstrcmpA(argv[1], "--read-only-enforced") == 0) {
        readOnlyEnforced = true;
        readOnlyCase.next = nullptr;
        wintest::firstCase() = &readOnlyCase;
    }
    return wintest::runAll();
}
