// installCommand: freezes the selection dialog and hands the installation to one worker thread.
#include "app/commands.h"
#include <commctrl.h>
#include "base/error_box.h"
#include "base/messages.h"
#include "base/win_text.h"
#include "dialogs/dialog_procs.h"
#include "state/installer_state.h"

// Dialog thread only: set before the worker exists, cleared only if it could not be started.
static bool workerStarted;

bool installRunning() { return workerStarted; }

// The worker could not be created: give the dialog back as Install found it.
static void reopenDialog(HWND dialog) {
    SendMessageW(GetDlgItem(dialog, IDC_PROGRESS), PBM_SETMARQUEE, FALSE, 0);
    EnableWindow(GetDlgItem(dialog, IDC_UNINSTALL), TRUE);
    EnableWindow(GetDlgItem(dialog, IDCANCEL), TRUE);
    setTargetBoxes(dialog, false);
    EnableWindow(GetDlgItem(dialog, IDOK), state.selectedTargets != 0);
    workerStarted = false;
    showError(dialog, MSG_OUT_OF_MEMORY);
}

void installCommand(HWND dialog) {
    // IDOK is disabled below; a command that still arrives (posted) must not start a second worker.
    if (workerStarted) return;
    workerStarted = true;
    SendMessageW(GetDlgItem(dialog, IDC_PROGRESS), PBM_SETMARQUEE, TRUE, 0);
    static const int frozen[] = {IDC_UNINSTALL, IDOK, IDCANCEL, IDC_TARGET_CLAP64, IDC_TARGET_CLAP32,
                                 IDC_TARGET_FLSTUDIO, IDC_TARGET_STANDALONE};
    for (int id : frozen) EnableWindow(GetDlgItem(dialog, id), FALSE);
    // The handle is never closed: the worker ends the process itself.
    if (!CreateThread(nullptr, 0, installWorker, dialog, 0, nullptr)) reopenDialog(dialog);
}

void cancelUnlessInstallingCommand(HWND dialog) {
    if (workerStarted) return;
    cancelCommand(dialog);
}
