#include "tests/windows/message_box_capture.h"
#include "state/installer_state.h"

static MessageBoxCapture* activeCapture;
static HHOOK hook;

static LRESULT CALLBACK onCbt(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE && activeCapture) {
        HWND box = reinterpret_cast<HWND>(wParam);
        wchar_t className[32];
        // Message boxes are dialogs of class #32770 with their text in the static control 0xFFFF. The
        // selection dialog is one too (its prompt has id 0xFFFF), but it carries the header title:
        // it must be neither recorded nor answered with IDOK, which is its Install command.
        if (GetClassNameW(box, className, 32) && lstrcmpW(className, L"#32770") == 0 && GetDlgItem(box, 0xFFFF) &&
            !GetDlgItem(box, IDC_HEADER_TITLE)) {
            if (activeCapture->count < MAX_CAPTURED_BOXES) {
                CapturedBox* b = &activeCapture->boxes[activeCapture->count];
                GetDlgItemTextW(box, 0xFFFF, b->text, 512);
                GetWindowTextW(box, b->caption, 128);
                b->owner = GetWindow(box, GW_OWNER);
            }
            ++activeCapture->count;
            PostMessageW(box, WM_COMMAND, IDOK, 0);
        }
    }
    return CallNextHookEx(hook, code, wParam, lParam);
}

void startMessageBoxCapture(MessageBoxCapture* capture) {
    ZeroMemory(capture, sizeof *capture);
    activeCapture = capture;
    if (!hook) hook = SetWindowsHookExW(WH_CBT, onCbt, nullptr, GetCurrentThreadId());
}

void stopMessageBoxCapture() {
    if (hook) UnhookWindowsHookEx(hook);
    hook = nullptr;
    activeCapture = nullptr;
}
