// The 260-unit limit on the known folders.
//
// Wine reads the known folders from the User Shell Folders key into MAX_PATH buffers and falls back to the
// default folder for a longer value, so no real look-up returns more than 259 units. This program puts its
// own SHGetKnownFolderPath in front of shell32's (the installer's objects call it by its plain name, so the
// linker takes this definition): it hands out a chosen string for one folder and asks shell32 for the rest.
// The chosen strings name real scratch folders through "\." steps, so the writes are real.
#include "tests/windows/target_shell_folders.h"
#include "base/messages.h"
#include "payload/payload_format.h"
#include "targets/targets.h"

using namespace targettest;

static const KNOWNFOLDERID* overriddenFolder;
static std::wstring overridingPath;

STDAPI SHGetKnownFolderPath(REFKNOWNFOLDERID id, DWORD flags, HANDLE token, PWSTR* path) {
    if (overriddenFolder && IsEqualGUID(id, *overriddenFolder)) {
        size_t bytes = (overridingPath.size() + 1) * sizeof(wchar_t);
        *path = static_cast<PWSTR>(CoTaskMemAlloc(bytes));
        memcpy(*path, overridingPath.c_str(), bytes);
        return S_OK;
    }
    typedef HRESULT(WINAPI * Lookup)(REFKNOWNFOLDERID, DWORD, HANDLE, PWSTR*);
    static Lookup shell = reinterpret_cast<Lookup>(
        reinterpret_cast<void*>(GetProcAddress(LoadLibraryW(L"shell32.dll"), "SHGetKnownFolderPath")));
    return shell(id, flags, token, path);
}

TEST(folders_of_260_units_are_used) {
    const KNOWNFOLDERID* ids[] = {&FOLDERID_RoamingAppData, &FOLDERID_StartMenu};
    HWND owner = makeOwner();
    for (const KNOWNFOLDERID* id : ids) {
        resetState();
        StandaloneFolders folders = pointShellFoldersAtScratch(L"exactly_260");
        const bool appData = id == &FOLDERID_RoamingAppData;
        overriddenFolder = id;
        overridingPath = folderOfLength(appData ? folders.appData : folders.startMenu, 260);
        CHECK_EQ(overridingPath.size(), 260u);
        if (!appData) CreateDirectoryW((overridingPath + L"\\Programs").c_str(), nullptr);
        MessageBoxCapture capture;
        startMessageBoxCapture(&capture);
        standaloneTarget(owner, 0);
        stopMessageBoxCapture();
        overriddenFolder = nullptr;
        CHECK_EQ(capture.count, 0);
        const std::wstring application =
            appData ? overridingPath + L"\\BrellinAudioPlugins\\Moravel Standalone.exe" : folders.application;
        const std::wstring shortcut =
            appData ? folders.shortcut : overridingPath + L"\\Programs\\Moravel Standalone.lnk";
        CHECK_ENTRY_FILE(application, ENTRY_KEY_STANDALONE);
        // A shell link holds at most MAX_PATH units of target, so only the file is checked here.
        CHECK(fileExists(shortcut));
        restoreShellFolders(folders);
    }
    DestroyWindow(owner);
}

TEST(a_folder_longer_than_260_units_stops_install_with_a_message_and_remove_silently) {
    const KNOWNFOLDERID* ids[] = {&FOLDERID_RoamingAppData, &FOLDERID_StartMenu};
    HWND owner = makeOwner();
    for (const KNOWNFOLDERID* id : ids) {
        resetState();
        StandaloneFolders folders = pointShellFoldersAtScratch(L"longer_than_260");
        const bool appData = id == &FOLDERID_RoamingAppData;
        overriddenFolder = id;
        overridingPath = folderOfLength(appData ? folders.appData : folders.startMenu, 261);
        MessageBoxCapture capture;
        startMessageBoxCapture(&capture);
        standaloneTarget(owner, 0);
        stopMessageBoxCapture();
        CHECK_ONE_ERROR_BOX(capture, owner, MSG_FOLDER_INACCESSIBLE);
        CHECK_EQ(state.installFailed, 0);
        CHECK_FILES(folders.root);

        // Installed through the real folders first: removing with the long folder leaves both files.
        overriddenFolder = nullptr;
        standaloneTarget(owner, 0);
        CHECK(fileExists(folders.application) && fileExists(folders.shortcut));
        overriddenFolder = id;
        startMessageBoxCapture(&capture);
        standaloneTarget(owner, 1);
        stopMessageBoxCapture();
        overriddenFolder = nullptr;
        CHECK_EQ(capture.count, 0);
        CHECK_EQ(state.removeFailed, 0);
        CHECK_FILES(folders.root, L"AppData\\BrellinAudioPlugins\\Moravel Standalone.exe",
                    L"StartMenu\\Programs\\Moravel Standalone.lnk");
        restoreShellFolders(folders);
    }
    DestroyWindow(owner);
}
