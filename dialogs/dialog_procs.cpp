#include "dialogs/dialog_procs.h"
#include "dialogs/centring.h"
#include "dialogs/command_table.h"
#include "state/installer_state.h"

INT_PTR CALLBACK licenseDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        centreOnWorkArea(hwnd);
        // TRUE: the dialog manager focuses the control named in wParam, the license text box, and on that
        // first focus selects all of an edit control's text, which moves the caret to the end and scrolls
        // there. Posted now, these run first in the dialog's loop, before anything is painted: the text opens
        // at its first line with the caret before its first character and nothing selected.
        HWND licenseBox = reinterpret_cast<HWND>(wParam);
        PostMessageW(licenseBox, EM_SETSEL, 0, 0);
        PostMessageW(licenseBox, EM_SCROLLCARET, 0, 0);
        return TRUE;
    }
    case WM_CTLCOLORSTATIC:
        // A system colour index + 1 is accepted wherever a brush is; nothing is set on the DC.
        if (GetWindowLongPtrW(reinterpret_cast<HWND>(lParam), GWLP_ID) == IDC_HEADER_TITLE) return COLOR_WINDOW + 1;
        return FALSE;
    case WM_COMMAND: {
        // Only plain commands (clicks, accelerators, IDCANCEL from the close box); edit and other
        // notifications for the same ids are left alone.
        if (HIWORD(wParam) != 0) return FALSE;
        const CommandHandler handler = findCommand(LOWORD(wParam));
        if (handler == nullptr) return FALSE;
        handler(hwnd);
        return TRUE;
    }
    }
    return FALSE;
}

INT_PTR CALLBACK selectionDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_INITDIALOG) return licenseDialogProc(hwnd, message, wParam, lParam);
    // Every check box is created enabled and unticked; availability decides both here, before the dialog
    // is centred and shown.
    setTargetBoxes(hwnd, true);
    state.selectedTargets = state.availableTargets;
    EnableWindow(GetDlgItem(hwnd, IDOK), state.availableTargets);
    centreOnWorkArea(hwnd);
    return TRUE;  // the dialog manager then focuses the control named in wParam
}

// Check box IDC_TARGET_CLAP64 + i stands for the TargetMask bit 1 << i.
static_assert(TARGET_CLAP64 == 1 << (IDC_TARGET_CLAP64 - IDC_TARGET_CLAP64) &&
                  TARGET_CLAP32 == 1 << (IDC_TARGET_CLAP32 - IDC_TARGET_CLAP64) &&
                  TARGET_FLSTUDIO == 1 << (IDC_TARGET_FLSTUDIO - IDC_TARGET_CLAP64) &&
                  TARGET_STANDALONE == 1 << (IDC_TARGET_STANDALONE - IDC_TARGET_CLAP64),
              "each target's check box id is IDC_TARGET_CLAP64 plus its bit's position");

void setTargetBoxes(HWND dialog, bool tick) {
    for (int i = 0; i < 4; ++i) {
        const int32_t bit = state.availableTargets & (1 << i);
        HWND box = GetDlgItem(dialog, IDC_TARGET_CLAP64 + i);
        EnableWindow(box, bit);
        if (tick) SendMessageW(box, BM_SETCHECK, bit != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
    }
}

void centreOnWorkArea(HWND hwnd) {
    RECT window;
    GetWindowRect(hwnd, &window);
    const HMONITOR monitor = MonitorFromWindow(hwnd, MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO info = {};
    info.cbSize = sizeof info;  // 40
    GetMonitorInfoW(monitor, &info);  // on failure rcWork stays zero and so does the arithmetic's input
    const RECT& work = info.rcWork;
    const ScreenPoint corner = centredPosition({work.left, work.top, work.right, work.bottom},
                                               {window.left, window.top, window.right, window.bottom});
    SetWindowPos(hwnd, nullptr, corner.x, corner.y, 0, 0, SWP_NOZORDER | SWP_NOSIZE);
}

void agreeCommand(HWND dialog) {
    EndDialog(dialog, 1);
}

void cancelCommand(HWND dialog) {
    EndDialog(dialog, 0);
}

// The check box has already flipped its own tick (BS_AUTOCHECKBOX); the mask follows it, and Install is
// usable exactly while something is selected.
static void toggleTarget(HWND dialog, int32_t target) {
    state.selectedTargets ^= target;
    EnableWindow(GetDlgItem(dialog, IDOK), state.selectedTargets);
}

void toggleClap64Command(HWND dialog) {
    toggleTarget(dialog, TARGET_CLAP64);
}

void toggleClap32Command(HWND dialog) {
    toggleTarget(dialog, TARGET_CLAP32);
}

void toggleFlStudioCommand(HWND dialog) {
    toggleTarget(dialog, TARGET_FLSTUDIO);
}

void toggleStandaloneCommand(HWND dialog) {
    toggleTarget(dialog, TARGET_STANDALONE);
}
