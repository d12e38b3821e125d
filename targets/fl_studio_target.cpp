#include <windows.h>
#include "base/error_box.h"
#include "base/messages.h"
#include "base/win_text.h"
#include "payload/extract_entry.h"
#include "payload/payload_format.h"
#include "state/installer_state.h"
#include "targets/discovery.h"
#include "targets/target_rules.h"
#include "targets/targets.h"

int flStudioTarget(HWND owner, int uninstall) {
    if (state.installFailed) return 0;
    Unit path[FOLDER_BUFFER_UNITS];
    if (!readFlStudioFolder(path)) {
        if (!uninstall) showError(owner, MSG_NO_FL_STUDIO);
        return 0;
    }
    // Every path is the folder with one suffix; writing at folderEnd cuts back to the folder.
    Unit* folderEnd = path + unitLength(path);
    appendAt(folderEnd, FL64_FILE_SUFFIX);

    if (uninstall) {
        removePayloadFile(path);
        appendAt(folderEnd, FL32_FILE_SUFFIX);
        removePayloadFile(path);
        // Removes the folder only when it is empty: it may hold the user's own files.
        appendAt(folderEnd, FL_PLUGIN_FOLDER_SUFFIX);
        RemoveDirectoryW(wide(path));
        return 1;
    }
    extractEntry(owner, path, ENTRY_KEY_FL64);
    appendAt(folderEnd, FL32_FILE_SUFFIX);
    // A failed 64-bit write has shown its message; the 32-bit file is not attempted.
    if (!state.installFailed) extractEntry(owner, path, ENTRY_KEY_FL32);
    return 1;
}
