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

void clapTarget(HWND owner, int uninstall, int is32Bit) {
    // After an earlier failure installing does nothing, not even the message about the folders.
    if (!uninstall && state.installFailed) return;
    Unit path64[FOLDER_BUFFER_UNITS];
    Unit path32[FOLDER_BUFFER_UNITS];
    DWORD count64 = GetEnvironmentVariableW(wide(CLAP64_VARIABLE), wide(path64), ENVIRONMENT_READ_UNITS);
    DWORD count32 = GetEnvironmentVariableW(wide(CLAP32_VARIABLE), wide(path32), ENVIRONMENT_READ_UNITS);
    // Both folders must be usable whichever build is installed.
    if (!installValueUsable(count64) || !installValueUsable(count32)) {
        if (!uninstall) showError(owner, MSG_FOLDER_INACCESSIBLE);
        return;
    }
    appendAt(path64 + count64, CLAP64_FILE_SUFFIX);
    appendAt(path32 + count32, CLAP32_FILE_SUFFIX);

    if (uninstall) {
        // The CLAP folders stay: other plug-ins live there.
        removePayloadFile(path64);
        removePayloadFile(path32);
        return;
    }
    if (is32Bit) extractEntry(owner, path32, ENTRY_KEY_CLAP32);
    else extractEntry(owner, path64, ENTRY_KEY_CLAP64);
}
