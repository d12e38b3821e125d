// The FL Studio target against the prefix's real registry value and real files in the case's scratch folder.
#include "tests/windows/target_test_support.h"
#include "base/messages.h"
#include "payload/payload_format.h"
#include "targets/targets.h"

using namespace targettest;

namespace {

const wchar_t* const PLUGIN_FOLDER = L"Host\\Plugins\\Fruity\\Generators\\Moravel";
const wchar_t* const FILE_64 = L"Host\\Plugins\\Fruity\\Generators\\Moravel\\Moravel_x64.dll";
const wchar_t* const FILE_32 = L"Host\\Plugins\\Fruity\\Generators\\Moravel\\Moravel.dll";

// FL Studio's value names <scratch>\Host\host.exe; nothing below Host exists yet.
std::wstring pointFlStudioAtScratch(const wchar_t* name) {
    std::wstring root = freshFolder(name);
    CreateDirectoryW((root + L"\\Host").c_str(), nullptr);
    setFlStudioPath(root + L"\\Host\\host.exe");
    return root;
}

struct Run {
    int result;
    MessageBoxCapture capture;
};

Run runTarget(HWND owner, int uninstall) {
    Run run;
    startMessageBoxCapture(&run.capture);
    run.result = flStudioTarget(owner, uninstall);
    stopMessageBoxCapture();
    return run;
}

}  // namespace

TEST(install_writes_both_builds_into_the_generator_folder) {
    resetState();
    std::wstring root = pointFlStudioAtScratch(L"install");
    HWND owner = makeOwner();
    Run run = runTarget(owner, 0);
    CHECK_EQ(run.result, 1);
    CHECK_EQ(run.capture.count, 0);
    CHECK_EQ(state.installFailed, 0);
    CHECK_FILES(root, FILE_32, FILE_64);
    CHECK_ENTRY_FILE(root + L"\\" + FILE_64, ENTRY_KEY_FL64);
    CHECK_ENTRY_FILE(root + L"\\" + FILE_32, ENTRY_KEY_FL32);
    DestroyWindow(owner);
    deleteFlStudioKey();
}

TEST(a_value_of_249_units_is_used_and_one_of_250_is_not) {
    HWND owner = makeOwner();
    for (size_t length : {size_t(249), size_t(250)}) {
        resetState();
        std::wstring root = freshFolder(L"long_value");
        // "\host.exe" is 9 units; the folder before it names root through "\." steps.
        std::wstring folder = folderOfLength(root, length - 9);
        std::wstring value = folder + L"\\host.exe";
        CHECK_EQ(value.size(), length);
        setFlStudioPath(value);
        Run run = runTarget(owner, 0);
        if (length == 249) {
            CHECK_EQ(run.result, 1);
            CHECK_EQ(run.capture.count, 0);
            CHECK_ENTRY_FILE(folder + L"\\Plugins\\Fruity\\Generators\\Moravel\\Moravel_x64.dll", ENTRY_KEY_FL64);
            CHECK_ENTRY_FILE(folder + L"\\Plugins\\Fruity\\Generators\\Moravel\\Moravel.dll", ENTRY_KEY_FL32);
        } else {
            CHECK_EQ(run.result, 0);
            CHECK_ONE_ERROR_BOX(run.capture, owner, MSG_NO_FL_STUDIO);
            CHECK_FILES(root);
        }
    }
    DestroyWindow(owner);
    deleteFlStudioKey();
}

TEST(no_usable_value_stops_install_with_a_message_and_remove_silently) {
    enum Kind { NO_KEY, WRONG_TYPE, NO_BACKSLASH, EMPTY };
    struct Case { const char* name; Kind kind; };
    const Case cases[] = {{"no key", NO_KEY}, {"wrong type", WRONG_TYPE}, {"no backslash", NO_BACKSLASH},
                          {"empty", EMPTY}};
    HWND owner = makeOwner();
    for (const Case& c : cases) {
        printf("  case: %s\n", c.name);
        for (int uninstall = 0; uninstall <= 1; ++uninstall) {
            resetState();
            std::wstring root = freshFolder(L"no_value");
            // The current folder is where a value without a folder part would point.
            SetCurrentDirectoryW(root.c_str());
            DWORD one = 1;
            if (c.kind == NO_KEY) deleteFlStudioKey();
            if (c.kind == WRONG_TYPE) setFlStudioValue(REG_DWORD, &one, sizeof one);
            if (c.kind == NO_BACKSLASH) setFlStudioPath(L"host.exe");
            if (c.kind == EMPTY) setFlStudioPath(L"");
            Run run = runTarget(owner, uninstall);
            CHECK_EQ(run.result, 0);
            if (uninstall) CHECK_EQ(run.capture.count, 0);
            else CHECK_ONE_ERROR_BOX(run.capture, owner, MSG_NO_FL_STUDIO);
            CHECK_EQ(state.installFailed, 0);
            CHECK_FILES(root);
            CHECK(!folderExists(root + L"\\Plugins"));
            // The read creates the key when it is missing.
            DWORD values = 0;
            CHECK(flStudioKeyExists(&values));
        }
    }
    DestroyWindow(owner);
    deleteFlStudioKey();
}

TEST(remove_deletes_both_builds_and_their_folder_when_empty) {
    resetState();
    std::wstring root = pointFlStudioAtScratch(L"remove");
    HWND owner = makeOwner();
    runTarget(owner, 0);
    CHECK_FILES(root, FILE_32, FILE_64);
    Run run = runTarget(owner, 1);
    CHECK_EQ(run.result, 1);
    CHECK_EQ(run.capture.count, 0);
    CHECK_EQ(state.removeFailed, 0);
    CHECK_FILES(root);
    CHECK(!folderExists(root + L"\\" + PLUGIN_FOLDER));
    CHECK(folderExists(root + L"\\Host\\Plugins\\Fruity\\Generators"));

    // Nothing left: the same call finds nothing to delete and reports nothing.
    run = runTarget(owner, 1);
    CHECK_EQ(run.result, 1);
    CHECK_EQ(run.capture.count, 0);
    CHECK_EQ(state.removeFailed, 0);
    DestroyWindow(owner);
    deleteFlStudioKey();
}

TEST(remove_keeps_a_plugin_folder_that_holds_other_files) {
    resetState();
    std::wstring root = pointFlStudioAtScratch(L"remove_keeps");
    HWND owner = makeOwner();
    runTarget(owner, 0);
    writeBytes(root + L"\\" + PLUGIN_FOLDER + L"\\presets.fst", "user presets");
    Run run = runTarget(owner, 1);
    CHECK_EQ(run.result, 1);
    CHECK_EQ(state.removeFailed, 0);
    CHECK_FILES(root, L"Host\\Plugins\\Fruity\\Generators\\Moravel\\presets.fst");
    DestroyWindow(owner);
    deleteFlStudioKey();
}

TEST(remove_reports_a_file_that_is_held_open) {
    resetState();
    std::wstring root = pointFlStudioAtScratch(L"held_open");
    HWND owner = makeOwner();
    runTarget(owner, 0);
    const std::wstring held = root + L"\\" + FILE_32;
    HANDLE file = CreateFileW(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    CHECK(file != INVALID_HANDLE_VALUE);
    Run run = runTarget(owner, 1);
    CloseHandle(file);
    CHECK_EQ(run.capture.count, 0);
    CHECK_EQ(state.removeFailed, 1);
    CHECK_FILES(root, FILE_32);
    DestroyWindow(owner);
    deleteFlStudioKey();
}

TEST(nothing_happens_once_a_step_has_failed) {
    HWND owner = makeOwner();
    for (int uninstall = 0; uninstall <= 1; ++uninstall) {
        // With a usable value: nothing is written, and installed files stay.
        resetState();
        std::wstring root = pointFlStudioAtScratch(L"failed");
        if (uninstall) runTarget(owner, 0);
        state.installFailed = 1;
        Run run = runTarget(owner, uninstall);
        CHECK_EQ(run.result, 0);
        CHECK_EQ(run.capture.count, 0);
        if (uninstall) CHECK_FILES(root, FILE_32, FILE_64);
        else CHECK_FILES(root);

        // Without the key: the registry is not touched, so the key stays missing.
        deleteFlStudioKey();
        run = runTarget(owner, uninstall);
        CHECK_EQ(run.result, 0);
        CHECK_EQ(run.capture.count, 0);
        DWORD values = 0;
        CHECK(!flStudioKeyExists(&values));
    }
    DestroyWindow(owner);
}
