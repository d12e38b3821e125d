// uninstallCommand: removes every target's files, whatever the check boxes say, then ends the dialog.
#include "app/commands.h"
#include "base/messages.h"
#include "base/win_text.h"
#include "state/installer_state.h"
#include "targets/targets.h"

void uninstallCommand(HWND dialog) {
    // Disabled while installing; a command that still arrives must not delete under the worker.
    if (installRunning()) return;
    flStudioTarget(dialog, 1);
    // Removing, clapTarget deletes both CLAP files whatever is32Bit says.
    if (!state.installFailed) clapTarget(dialog, 1, 0);
    if (!state.installFailed) standaloneTarget(dialog, 1);
    const Unit* report = state.removeFailed ? MSG_UNINSTALL_INCOMPLETE : MSG_UNINSTALLED;
    MessageBoxW(dialog, wide(report), wide(CAPTION_PRODUCT), MB_OK);
    EndDialog(dialog, 0);
}
