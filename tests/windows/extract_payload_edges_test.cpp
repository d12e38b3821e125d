// Edge and damaged entries of a payload made for this program. Damaged entries end the process, so each runs
// in a child: the program starts itself with --child, and the child's message box capture lives in shared
// memory, where the parent reads it after the exit.
#define WINTEST_CUSTOM_MAIN
#include "tests/windows/wintest.h"
#include "tests/windows/message_box_capture.h"
#include "tests/windows/extract_test_support.h"
#include "tests/windows/test_payload.h"
#include "base/messages.h"
#include "payload/extract_entry.h"
#include "state/installer_state.h"

#define STORE_TEXT "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"

static constexpr TestEntryPlan plans[] = {
    {ENTRY_KEY_CLAP64, {{STORE_TEXT, 0, 0}}, 1},
    {"edge/empty", {}, 0},
    {"edge/zero-counts", {{nullptr, 5, 0}, {nullptr, 0, 10}, {nullptr, 30, 0}}, 3},
    {"bad/overrun", {{nullptr, 0, 10}, {nullptr, 10, 10}}, 2, 15},
    {"bad/one-short", {{nullptr, 0, 10}}, 1, 11},
    {"bad/hash", {{nullptr, 0, 10}}, 1, TEST_FROM_PIECES,
     testTextHash("ABCDEFGHIJ") ^ 0x100},
    // One byte past the store is the directory's first byte: a reader without the bound would assemble
    // "456789b" and find its hash right.
    {"bad/outside-store", {{nullptr, 30, 7}}, 1, 7, testTextHash("456789b")},
};
static constexpr int PLAN_COUNT = sizeof plans / sizeof plans[0];
static constexpr TestImage image = buildTestImage("L", plans, PLAN_COUNT);
static_assert(image.storeEnd - image.storeBegin == 36, "bad/outside-store names one byte past the store");
static_assert(testContentIs(image, 2, "ABCDEFGHIJ"), "zero counts copy nothing");
DEFINE_PAYLOAD_IMAGE_SYMBOLS(image)

static const wchar_t* const ROOT = L"C:\\moravel-tests\\extract-edges";

struct ChildReport {
    MessageBoxCapture capture;
    HWND owner;
    int returned;  // extractEntry came back, which it must not for a damaged entry
};

TEST(an_empty_entry_writes_an_empty_file_in_new_folders) {
    emptyFolder(ROOT);
    wchar_t path[MAX_PATH];
    wsprintfW(path, L"%s\\empty\\A\\empty.dll", ROOT);
    Unit destination[MAX_PATH];
    copyPath(destination, path);
    MessageBoxCapture capture;
    startMessageBoxCapture(&capture);
    extractEntry(nullptr, destination, "edge/empty");
    stopMessageBoxCapture();
    CHECK_EQ(capture.count, 0);
    CHECK_EQ(state.installFailed, 0);
    CHECK(pathExists(path));
    CHECK(fileHolds(path, nullptr, 0));
}

TEST(chunk_refs_of_count_zero_copy_nothing_and_do_not_end_the_list) {
    emptyFolder(ROOT);
    wchar_t path[MAX_PATH];
    wsprintfW(path, L"%s\\zero.dll", ROOT);
    Unit destination[MAX_PATH];
    copyPath(destination, path);
    MessageBoxCapture capture;
    startMessageBoxCapture(&capture);
    extractEntry(nullptr, destination, "edge/zero-counts");
    stopMessageBoxCapture();
    CHECK_EQ(capture.count, 0);
    CHECK(fileHolds(path, reinterpret_cast<const uint8_t*>("ABCDEFGHIJ"), 10));
}

// Runs one key in a child process; returns its exit code and fills *report.
static DWORD runChild(const char* key, const wchar_t* path, ChildReport* report) {
    wchar_t mappingName[64];
    wsprintfW(mappingName, L"Local\\moravel-extract-edges-%lu", GetCurrentProcessId());
    HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(ChildReport), mappingName);
    ChildReport* shared = static_cast<ChildReport*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    ZeroMemory(shared, sizeof *shared);
    wchar_t self[MAX_PATH], commandLine[1024];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    wsprintfW(commandLine, L"\"%s\" --child %S \"%s\" %s", self, key, path, mappingName);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    DWORD exitCode = 0xDEAD;
    if (CreateProcessW(self, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        WaitForSingleObject(process.hProcess, 60000);
        GetExitCodeProcess(process.hProcess, &exitCode);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    *report = *shared;
    UnmapViewOfFile(shared);
    CloseHandle(mapping);
    return exitCode;
}

TEST(a_damaged_entry_or_absent_key_ends_the_process_with_1_and_creates_nothing) {
    const char* const keys[] = {"bad/overrun", "bad/one-short", "bad/hash", "bad/outside-store", "bad/absent",
                                "bin/target_cl6" /* a prefix of a name is not the name */};
    int index = 0;
    for (const char* key : keys) {
        emptyFolder(ROOT);
        wchar_t folder[MAX_PATH], path[MAX_PATH];
        wsprintfW(folder, L"%s\\case%d", ROOT, index++);
        wsprintfW(path, L"%s\\A\\file.dll", folder);
        ChildReport report;
        const DWORD exitCode = runChild(key, path, &report);
        printf("    %s\n", key);
        CHECK_EQ(exitCode, 1u);
        CHECK_EQ(report.returned, 0);
        CHECK_EQ(report.capture.count, 1);
        CHECK_WSTR(report.capture.boxes[0].text, MSG_CORRUPTED);
        CHECK_WSTR(report.capture.boxes[0].caption, L"Error");
        CHECK(report.capture.boxes[0].owner == report.owner && report.owner != nullptr);
        CHECK(!pathExists(folder));  // not even the first folder of the path
    }
}

static int childMain(const char* key, const char* path, const char* mappingName) {
    wchar_t name[64];
    MultiByteToWideChar(CP_ACP, 0, mappingName, -1, name, 64);
    HANDLE mapping = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, name);
    ChildReport* report = static_cast<ChildReport*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    if (!report) return 3;
    report->owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    Unit destination[MAX_PATH];
    int i = 0;
    while ((destination[i] = Unit(static_cast<unsigned char>(path[i]))) != 0) ++i;
    startMessageBoxCapture(&report->capture);
    extractEntry(report->owner, destination, key);
    report->returned = 1;
    return 0;
}

int main(int argc, char** argv) {
    if (argc == 5 && lstrcmpA(argv[1], "--child") == 0) return childMain(argv[2], argv[3], argv[4]);
    return wintest::runAll();
}
