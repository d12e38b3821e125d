// The CLAP target against real environment variables and real files in the case's own scratch folder.
#include "tests/windows/target_test_support.h"
#include "base/messages.h"
#include "payload/payload_format.h"
#include "targets/targets.h"

using namespace targettest;

namespace {

struct ClapFolders {
    std::wstring root, common, commonX86;
};

// Both variables point at fresh folders of the case (the CLAP folders under them do not exist yet).
ClapFolders pointVariablesAtScratch(const wchar_t* name) {
    ClapFolders folders;
    folders.root = freshFolder(name);
    folders.common = folders.root + L"\\Common";
    folders.commonX86 = folders.root + L"\\CommonX86";
    CreateDirectoryW(folders.common.c_str(), nullptr);
    CreateDirectoryW(folders.commonX86.c_str(), nullptr);
    SetEnvironmentVariableW(L"COMMONPROGRAMFILES", folders.common.c_str());
    SetEnvironmentVariableW(L"COMMONPROGRAMFILES(X86)", folders.commonX86.c_str());
    return folders;
}

}  // namespace

TEST(install_writes_the_chosen_build_from_its_entry) {
    struct Case { int is32Bit; const wchar_t* file; const char* key; };
    const Case cases[] = {
        {0, L"Common\\CLAP\\Moravel.clap", ENTRY_KEY_CLAP64},
        {1, L"CommonX86\\CLAP\\Moravel (32-bit).clap", ENTRY_KEY_CLAP32},
    };
    HWND owner = makeOwner();
    for (const Case& c : cases) {
        resetState();
        ClapFolders folders = pointVariablesAtScratch(L"install");
        MessageBoxCapture capture;
        startMessageBoxCapture(&capture);
        clapTarget(owner, 0, c.is32Bit);
        stopMessageBoxCapture();
        CHECK_EQ(capture.count, 0);
        CHECK_EQ(state.installFailed, 0);
        CHECK_FILES(folders.root, c.file);
        CHECK_ENTRY_FILE(folders.root + L"\\" + c.file, c.key);
    }
    DestroyWindow(owner);
}

TEST(install_accepts_folder_values_of_240_units) {
    resetState();
    ClapFolders folders = pointVariablesAtScratch(L"install_240");
    const std::wstring common240 = folderOfLength(folders.common, 240);
    const std::wstring commonX86240 = folderOfLength(folders.commonX86, 240);
    SetEnvironmentVariableW(L"COMMONPROGRAMFILES", common240.c_str());
    SetEnvironmentVariableW(L"COMMONPROGRAMFILES(X86)", commonX86240.c_str());
    HWND owner = makeOwner();
    MessageBoxCapture capture;
    startMessageBoxCapture(&capture);
    clapTarget(owner, 0, 0);
    clapTarget(owner, 0, 1);
    stopMessageBoxCapture();
    CHECK_EQ(capture.count, 0);
    CHECK_ENTRY_FILE(common240 + L"\\CLAP\\Moravel.clap", ENTRY_KEY_CLAP64);
    CHECK_ENTRY_FILE(commonX86240 + L"\\CLAP\\Moravel (32-bit).clap", ENTRY_KEY_CLAP32);
    DestroyWindow(owner);
}

TEST(an_unusable_variable_stops_install_with_a_message_and_remove_silently) {
    const std::wstring empty = L"";
    struct Case { const char* name; const wchar_t* variable; int length; };
    // length -1: the variable is removed; 0: set but empty; otherwise a value of that many units.
    const Case cases[] = {
        {"x86 missing", L"COMMONPROGRAMFILES(X86)", -1},
        {"64-bit missing", L"COMMONPROGRAMFILES", -1},
        {"x86 empty", L"COMMONPROGRAMFILES(X86)", 0},
        {"64-bit of 241", L"COMMONPROGRAMFILES", 241},
        {"x86 of 300", L"COMMONPROGRAMFILES(X86)", 300},
    };
    HWND owner = makeOwner();
    for (const Case& c : cases) {
        printf("  case: %s\n", c.name);
        for (int is32Bit = 0; is32Bit <= 1; ++is32Bit) {
            resetState();
            ClapFolders folders = pointVariablesAtScratch(L"unusable");
            if (c.length < 0) SetEnvironmentVariableW(c.variable, nullptr);
            else if (c.length == 0) SetEnvironmentVariableW(c.variable, L"");
            else SetEnvironmentVariableW(c.variable, folderOfLength(folders.root, size_t(c.length)).c_str());
            MessageBoxCapture capture;
            startMessageBoxCapture(&capture);
            clapTarget(owner, 0, is32Bit);
            stopMessageBoxCapture();
            CHECK_ONE_ERROR_BOX(capture, owner, MSG_FOLDER_INACCESSIBLE);
            CHECK_EQ(state.installFailed, 0);
            CHECK_FILES(folders.root);
        }

        // Files that are there stay: without both folders the removal does not start.
        resetState();
        ClapFolders folders = pointVariablesAtScratch(L"unusable_remove");
        makeFolders(folders.common + L"\\CLAP");
        makeFolders(folders.commonX86 + L"\\CLAP");
        writeBytes(folders.common + L"\\CLAP\\Moravel.clap", "64");
        writeBytes(folders.commonX86 + L"\\CLAP\\Moravel (32-bit).clap", "32");
        if (c.length < 0) SetEnvironmentVariableW(c.variable, nullptr);
        else if (c.length == 0) SetEnvironmentVariableW(c.variable, L"");
        else SetEnvironmentVariableW(c.variable, folderOfLength(folders.root, size_t(c.length)).c_str());
        MessageBoxCapture capture;
        startMessageBoxCapture(&capture);
        clapTarget(owner, 1, 0);
        stopMessageBoxCapture();
        CHECK_EQ(capture.count, 0);
        CHECK_EQ(state.removeFailed, 0);
        CHECK_FILES(folders.root, L"Common\\CLAP\\Moravel.clap", L"CommonX86\\CLAP\\Moravel (32-bit).clap");
    }
    DestroyWindow(owner);
}

TEST(remove_deletes_both_builds_and_keeps_the_clap_folders) {
    HWND owner = makeOwner();
    for (int is32Bit = 0; is32Bit <= 1; ++is32Bit) {
        resetState();
        ClapFolders folders = pointVariablesAtScratch(L"remove");
        clapTarget(owner, 0, 0);
        clapTarget(owner, 0, 1);
        writeBytes(folders.common + L"\\CLAP\\Other.clap", "another plug-in");
        CHECK_FILES(folders.root, L"Common\\CLAP\\Moravel.clap", L"Common\\CLAP\\Other.clap",
                    L"CommonX86\\CLAP\\Moravel (32-bit).clap");
        MessageBoxCapture capture;
        startMessageBoxCapture(&capture);
        clapTarget(owner, 1, is32Bit);
        stopMessageBoxCapture();
        CHECK_EQ(capture.count, 0);
        CHECK_EQ(state.removeFailed, 0);
        CHECK_FILES(folders.root, L"Common\\CLAP\\Other.clap");
        CHECK(folderExists(folders.commonX86 + L"\\CLAP"));

        // Again, with nothing left to delete: no message, no failure.
        clapTarget(owner, 1, is32Bit);
        CHECK_EQ(state.removeFailed, 0);
        CHECK_FILES(folders.root, L"Common\\CLAP\\Other.clap");
        // Nor where the file system refuses the name itself (DeleteFileW fails with ERROR_INVALID_NAME).
        SetEnvironmentVariableW(L"COMMONPROGRAMFILES", (folders.common + L"\\no|name").c_str());
        clapTarget(owner, 1, is32Bit);
        CHECK_EQ(state.removeFailed, 0);
    }
    DestroyWindow(owner);
}

TEST(remove_reports_a_file_that_is_held_open) {
    resetState();
    ClapFolders folders = pointVariablesAtScratch(L"held_open");
    HWND owner = makeOwner();
    clapTarget(owner, 0, 0);
    clapTarget(owner, 0, 1);
    const std::wstring held = folders.common + L"\\CLAP\\Moravel.clap";
    HANDLE file = CreateFileW(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    CHECK(file != INVALID_HANDLE_VALUE);
    MessageBoxCapture capture;
    startMessageBoxCapture(&capture);
    clapTarget(owner, 1, 0);
    stopMessageBoxCapture();
    CloseHandle(file);
    CHECK_EQ(capture.count, 0);
    CHECK_EQ(state.removeFailed, 1);
    // The other file is still deleted.
    CHECK_FILES(folders.root, L"Common\\CLAP\\Moravel.clap");
    DestroyWindow(owner);
}

TEST(install_does_nothing_once_a_step_has_failed) {
    HWND owner = makeOwner();
    for (int is32Bit = 0; is32Bit <= 1; ++is32Bit) {
        resetState();
        ClapFolders folders = pointVariablesAtScratch(L"failed");
        state.installFailed = 1;
        MessageBoxCapture capture;
        startMessageBoxCapture(&capture);
        clapTarget(owner, 0, is32Bit);
        stopMessageBoxCapture();
        CHECK_EQ(capture.count, 0);
        CHECK_EQ(state.installFailed, 1);
        CHECK_FILES(folders.root);
        CHECK(!folderExists(folders.common + L"\\CLAP"));
        CHECK(!folderExists(folders.commonX86 + L"\\CLAP"));
    }
    DestroyWindow(owner);
}
