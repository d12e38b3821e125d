#include <windows.h>
#include <shlobj.h>
#include "base/error_box.h"
#include "base/messages.h"
#include "base/win_text.h"
#include "payload/extract_entry.h"
#include "payload/payload_format.h"
#include "state/installer_state.h"
#include "targets/target_rules.h"
#include "targets/targets.h"

// FOLDERID_RoamingAppData and FOLDERID_StartMenu, defined here so that no uuid library is linked.
static const KNOWNFOLDERID roamingAppDataFolder = {
    0x3EB685DB, 0x65F9, 0x4CF6, {0xA0, 0x3A, 0xE3, 0xEF, 0x65, 0x72, 0x9F, 0x3D}};
static const KNOWNFOLDERID startMenuFolder = {
    0x625B53C3, 0xAB48, 0x4EC1, {0xBA, 0x1F, 0xA1, 0xEF, 0x41, 0x46, 0xFC, 0x19}};

void standaloneTarget(HWND owner, int uninstall) {
    // After an earlier failure nothing is installed: not even a shortcut to an application never written.
    if (!uninstall && state.installFailed) return;
    // The folder strings are never freed: the process ends soon after.
    PWSTR appData = nullptr;
    PWSTR startMenu = nullptr;
    HRESULT appDataResult = SHGetKnownFolderPath(roamingAppDataFolder, 0, nullptr, &appData);
    HRESULT startMenuResult = SHGetKnownFolderPath(startMenuFolder, 0, nullptr, &startMenu);
    if (FAILED(appDataResult) || FAILED(startMenuResult) ||
        !knownFolderUsable(reinterpret_cast<const Unit*>(appData)) ||
        !knownFolderUsable(reinterpret_cast<const Unit*>(startMenu))) {
        if (!uninstall) showError(owner, MSG_FOLDER_INACCESSIBLE);
        return;
    }

    Unit application[APPLICATION_PATH_UNITS];
    Unit shortcut[APPLICATION_PATH_UNITS];
    Unit* applicationEnd = appendAt(application, reinterpret_cast<const Unit*>(appData));
    appendAt(applicationEnd, APPLICATION_FOLDER_SUFFIX);
    // Made in both modes, so Uninstall leaves an empty folder behind even where nothing was installed.
    CreateDirectoryW(wide(application), nullptr);
    appendAt(applicationEnd, APPLICATION_FILE_SUFFIX);
    appendAt(appendAt(shortcut, reinterpret_cast<const Unit*>(startMenu)), SHORTCUT_FILE_SUFFIX);

    if (uninstall) {
        removePayloadFile(application);
        removeFile(shortcut);
        return;
    }
    extractEntry(owner, application, ENTRY_KEY_STANDALONE);
    // Written even when the application could not be: extractEntry has told the user.
    createShortcut(application, shortcut, SHORTCUT_DESCRIPTION);
}
