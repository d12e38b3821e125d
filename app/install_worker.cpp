// installWorker: the installation itself, on its own thread so the dialog keeps painting its marquee.
#include "app/commands.h"
#include <commctrl.h>
#include "base/messages.h"
#include "base/win_text.h"
#include "state/installer_state.h"
#include "targets/targets.h"

// The check boxes are disabled before this thread starts, so selectedTargets no longer changes.
DWORD WINAPI installWorker(LPVOID parameter) {
    HWND dialog = static_cast<HWND>(parameter);
    writeMarkerValue(u"HasAnyPaidPlugins", 1);
    if ((state.selectedTargets & TARGET_CLAP64) && !state.installFailed) clapTarget(dialog, 0, 0);
    if ((state.selectedTargets & TARGET_CLAP32) && !state.installFailed) clapTarget(dialog, 0, 1);
    // flStudioTarget tests installFailed itself.
    if (state.selectedTargets & TARGET_FLSTUDIO) flStudioTarget(dialog, 0);
    if ((state.selectedTargets & TARGET_STANDALONE) && !state.installFailed) standaloneTarget(dialog, 0);
    Sleep(2000);
    // Posted: the dialog thread may be busy, and the worker must not wait for it.
    PostMessageW(GetDlgItem(dialog, IDC_PROGRESS), PBM_SETMARQUEE, FALSE, 0);
    if (!state.installFailed) MessageBoxW(dialog, wide(MSG_INSTALL_SUCCEEDED), wide(CAPTION_PRODUCT), MB_OK);
    ExitProcess(0);
}
