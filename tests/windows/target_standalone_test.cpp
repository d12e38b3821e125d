// The standalone target against real known folders (pointed at the case's scratch folder), real files and
// a real shell link.
#include "tests/windows/target_shell_folders.h"
#include "base/messages.h"
#include "payload/payload_format.h"
#include "targets/targets.h"

using namespace targettest;

namespace {

MessageBoxCapture runTarget(HWND owner, int uninstall) {
    MessageBoxCapture capture;
    startMessageBoxCapture(&capture);
    standaloneTarget(owner, uninstall);
    stopMessageBoxCapture();
    return capture;
}

}  // namespace

TEST(install_writes_the_application_and_a_shortcut_to_it) {
    resetState();
    StandaloneFolders folders = pointShellFoldersAtScratch(L"install");
    HWND owner = makeOwner();
    MessageBoxCapture capture = runTarget(owner, 0);
    CHECK_EQ(capture.count, 0);
    CHECK_EQ(state.installFailed, 0);
    CHECK_FILES(folders.root, L"AppData\\BrellinAudioPlugins\\Moravel Standalone.exe",
                L"StartMenu\\Programs\\Moravel Standalone.lnk");
    CHECK_ENTRY_FILE(folders.application, ENTRY_KEY_STANDALONE);
    LoadedShortcut shortcut = loadShortcut(folders.shortcut);
    CHECK_EQ(shortcut.result, S_OK);
    CHECK_WSTR(shortcut.path.c_str(), folders.application.c_str());
    CHECK_WSTR(shortcut.description.c_str(), L"The standalone version of Moravel.");
    restoreShellFolders(folders);
    DestroyWindow(owner);
}

TEST(create_shortcut_reports_a_save_that_fails) {
    std::wstring root = freshFolder(L"shortcut_fails");
    const std::wstring target = root + L"\\app.exe";
    // The folder of the shortcut is missing: the link cannot be saved.
    const std::wstring shortcut = root + L"\\missing\\app.lnk";
    HRESULT result = createShortcut(units(target), units(shortcut), u"text");
    CHECK(FAILED(result));
    CHECK_FILES(root);
    CHECK_EQ(createShortcut(units(target), units(root + L"\\app.lnk"), u"text"), S_OK);
    CHECK_WSTR(loadShortcut(root + L"\\app.lnk").description.c_str(), L"text");
}

TEST(remove_deletes_the_application_and_the_shortcut_and_keeps_the_folder) {
    resetState();
    StandaloneFolders folders = pointShellFoldersAtScratch(L"remove");
    HWND owner = makeOwner();
    runTarget(owner, 0);
    CHECK(fileExists(folders.application));
    CHECK(fileExists(folders.shortcut));
    MessageBoxCapture capture = runTarget(owner, 1);
    CHECK_EQ(capture.count, 0);
    CHECK_EQ(state.removeFailed, 0);
    CHECK_FILES(folders.root);
    CHECK(folderExists(folders.appData + L"\\BrellinAudioPlugins"));
    CHECK(folderExists(folders.startMenu + L"\\Programs"));
    restoreShellFolders(folders);
    DestroyWindow(owner);
}

TEST(remove_where_nothing_was_installed_leaves_an_empty_application_folder) {
    resetState();
    StandaloneFolders folders = pointShellFoldersAtScratch(L"remove_fresh");
    HWND owner = makeOwner();
    MessageBoxCapture capture = runTarget(owner, 1);
    CHECK_EQ(capture.count, 0);
    CHECK_EQ(state.removeFailed, 0);
    CHECK(folderExists(folders.appData + L"\\BrellinAudioPlugins"));
    CHECK_FILES(folders.root);
    restoreShellFolders(folders);
    DestroyWindow(owner);
}

TEST(remove_reports_a_file_that_is_held_open) {
    resetState();
    StandaloneFolders folders = pointShellFoldersAtScratch(L"held_open");
    HWND owner = makeOwner();
    runTarget(owner, 0);
    HANDLE file = CreateFileW(folders.application.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    CHECK(file != INVALID_HANDLE_VALUE);
    MessageBoxCapture capture = runTarget(owner, 1);
    CloseHandle(file);
    CHECK_EQ(capture.count, 0);
    CHECK_EQ(state.removeFailed, 1);
    // The shortcut is still deleted.
    CHECK_FILES(folders.root, L"AppData\\BrellinAudioPlugins\\Moravel Standalone.exe");
    restoreShellFolders(folders);
    DestroyWindow(owner);
}

TEST(a_known_folder_that_cannot_be_found_stops_install_with_a_message_and_remove_silently) {
    struct Case { const char* name; bool makeAppData, makeStartMenu; };
    const Case cases[] = {{"application data missing", false, true}, {"Start menu missing", true, false}};
    HWND owner = makeOwner();
    for (const Case& c : cases) {
        printf("  case: %s\n", c.name);
        resetState();
        StandaloneFolders folders = pointShellFoldersAtScratch(L"missing", c.makeAppData, c.makeStartMenu);
        MessageBoxCapture capture = runTarget(owner, 0);
        CHECK_ONE_ERROR_BOX(capture, owner, MSG_FOLDER_INACCESSIBLE);
        CHECK_EQ(state.installFailed, 0);
        CHECK_FILES(folders.root);
        CHECK(!folderExists(folders.appData + L"\\BrellinAudioPlugins"));

        capture = runTarget(owner, 1);
        CHECK_EQ(capture.count, 0);
        CHECK_EQ(state.removeFailed, 0);
        CHECK(!folderExists(folders.appData + L"\\BrellinAudioPlugins"));
        restoreShellFolders(folders);
    }
    DestroyWindow(owner);
}

TEST(install_does_nothing_once_a_step_has_failed) {
    resetState();
    StandaloneFolders folders = pointShellFoldersAtScratch(L"failed");
    HWND owner = makeOwner();
    state.installFailed = 1;
    MessageBoxCapture capture = runTarget(owner, 0);
    CHECK_EQ(capture.count, 0);
    CHECK_EQ(state.installFailed, 1);
    CHECK_FILES(folders.root);
    CHECK(!folderExists(folders.appData + L"\\BrellinAudioPlugins"));
    restoreShellFolders(folders);
    DestroyWindow(owner);
}

TEST(an_application_that_cannot_be_written_still_gets_its_shortcut) {
    resetState();
    StandaloneFolders folders = pointShellFoldersAtScratch(L"unwritable");
    // A folder where the application file would go: the file cannot be created.
    makeFolders(folders.application);
    HWND owner = makeOwner();
    MessageBoxCapture capture = runTarget(owner, 0);
    CHECK_EQ(capture.count, 1);
    CHECK_EQ(state.installFailed, 1);
    CHECK(folderExists(folders.application));
    LoadedShortcut shortcut = loadShortcut(folders.shortcut);
    CHECK_EQ(shortcut.result, S_OK);
    CHECK_WSTR(shortcut.path.c_str(), folders.application.c_str());
    restoreShellFolders(folders);
    DestroyWindow(owner);
}
