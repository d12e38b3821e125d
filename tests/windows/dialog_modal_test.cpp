// Both dialogs run modally as start-up runs them, driven from a thread timer inside the dialog's own message
// loop: how each one ends, and that the close box and Esc come through cancelCommand.
#include <windows.h>
#include <commctrl.h>
#include "dialogs/dialog_layouts.h"
#include "dialogs/dialog_procs.h"
#include "state/installer_state.h"
#include "tests/windows/wintest.h"

void installCommand(HWND) {}
void uninstallCommand(HWND) {}
void cancelUnlessInstallingCommand(HWND dialog) { cancelCommand(dialog); }  // no worker runs here

namespace {

constexpr INT_PTR TIMED_OUT = 99;

// What the timer does once the dialog is up; run with the dialog window.
void (*pendingAction)(HWND) = nullptr;
HWND runningDialog = nullptr;
// The focus when the dialog first runs its loop, read then: the windows are gone once it has ended.
wchar_t focusClass[16];
bool focusInDialog = false;
DWORD focusSelStart = ~0u, focusSelEnd = ~0u;
LRESULT focusFirstLine = -1;
int cancelCalls = 0;
int ticks = 0;

BOOL CALLBACK findDialog(HWND window, LPARAM) {
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (lstrcmpW(name, L"#32770") != 0 || !IsWindowVisible(window)) return TRUE;
    runningDialog = window;
    return FALSE;
}

void CALLBACK onTimer(HWND, UINT, UINT_PTR, DWORD) {
    ++ticks;
    if (runningDialog == nullptr) EnumThreadWindows(GetCurrentThreadId(), findDialog, 0);
    if (runningDialog == nullptr) return;
    if (pendingAction != nullptr) {
        HWND focus = GetFocus();
        GetClassNameW(focus, focusClass, 16);
        focusInDialog = focus != nullptr && GetParent(focus) == runningDialog;
        SendMessageW(focus, EM_GETSEL, reinterpret_cast<WPARAM>(&focusSelStart), reinterpret_cast<LPARAM>(&focusSelEnd));
        focusFirstLine = SendMessageW(focus, EM_GETFIRSTVISIBLELINE, 0, 0);
        void (*action)(HWND) = pendingAction;
        pendingAction = nullptr;
        action(runningDialog);
    } else if (ticks > 100) {
        EndDialog(runningDialog, TIMED_OUT);  // the action did not end the dialog: fail instead of hanging
    }
}

CommandHandler registeredCancel = nullptr;
void countedCancel(HWND dialog) {
    ++cancelCalls;
    registeredCancel(dialog);
}

// Routes the IDCANCEL record, which must hold expected, through a counter that then runs expected.
void countCancels(CommandHandler expected) {
    for (uint64_t i = 0; i < state.commandCount; ++i) {
        if (state.commands[i].id == IDCANCEL) {
            CHECK(state.commands[i].handler == expected);
            state.commands[i].handler = countedCancel;
        }
    }
    registeredCancel = expected;
}

INT_PTR runModal(DLGPROC procedure, void (*action)(HWND)) {
    static bool initialised = false;
    if (!initialised) {
        // The foreground window is one per desktop: on the shared one, another test's window can take it
        // between the dialog's activation and the timer, and the thread's focus is then gone. A desktop
        // of this process's own (named by its id) keeps the activation this test asserts on; it must be entered before the
        // thread owns any window.
        wchar_t name[48];
        wsprintfW(name, L"moravel-dialog-modal-test-%lu", GetCurrentProcessId());
        HDESK desktop = CreateDesktopW(name, nullptr, nullptr, 0, GENERIC_ALL, nullptr);
        CHECK(desktop != nullptr);
        CHECK(SetThreadDesktop(desktop));
        INITCOMMONCONTROLSEX controls = {sizeof controls, 0xFF};
        InitCommonControlsEx(&controls);
        initialised = true;
    }
    pendingAction = action;
    runningDialog = nullptr;
    focusClass[0] = 0;
    focusInDialog = false;
    cancelCalls = 0;
    ticks = 0;
    const UINT_PTR timer = SetTimer(nullptr, 0, 10, onTimer);
    const INT_PTR result = DialogBoxIndirectParamW(
        nullptr, reinterpret_cast<LPCDLGTEMPLATEW>(state.templateBuffer), nullptr, procedure, 0);
    KillTimer(nullptr, timer);
    return result;
}

void closeMessage(HWND dialog) { PostMessageW(dialog, WM_CLOSE, 0, 0); }
void closeBox(HWND dialog) { PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }
// The key goes to the focused control, as a real key press would.
void escapeKey(HWND dialog) {
    HWND target = GetFocus() ? GetFocus() : dialog;
    PostMessageW(target, WM_KEYDOWN, VK_ESCAPE, 1);
    PostMessageW(target, WM_KEYUP, VK_ESCAPE, 0xC0000001);
}
void clickCancel(HWND dialog) { PostMessageW(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0); }
void clickDefault(HWND dialog) { PostMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0); }

struct Ending { const char* name; void (*action)(HWND); };
const Ending cancelEndings[] = {
    {"WM_CLOSE", closeMessage}, {"SC_CLOSE", closeBox}, {"Esc", escapeKey}, {"Cancel button", clickCancel}};

}  // namespace

TEST(license_dialog_ends_with_0_through_cancel_command) {
    for (const Ending& ending : cancelEndings) {
        printf("    %s\n", ending.name);
        buildLicenseDialog(u"license text\r\nsecond line");
        countCancels(cancelCommand);
        CHECK_EQ(runModal(licenseDialogProc, ending.action), 0);
        CHECK_EQ(cancelCalls, 1);
    }
}

// A text far longer than the box, so that a view scrolled to its end would not show line 0.
TEST(license_dialog_opens_at_the_first_line_with_focus_in_the_license_box_and_agree_ends_it_with_1) {
    static Unit longText[60 * 11 + 1];
    Unit* end = longText;
    for (int line = 0; line < 60; ++line)
        for (const char* p = "line text\r\n"; *p; ++p) *end++ = Unit(*p);
    buildLicenseDialog(longText);
    countCancels(cancelCommand);
    CHECK_EQ(runModal(licenseDialogProc, clickDefault), 1);
    CHECK_EQ(cancelCalls, 0);
    CHECK_WSTR(focusClass, L"Edit");
    CHECK(focusInDialog);
    CHECK_EQ(focusSelStart, 0u);  // caret before the first character, nothing selected
    CHECK_EQ(focusSelEnd, 0u);
    CHECK_EQ(focusFirstLine, 0);
}

TEST(selection_dialog_ends_with_0_through_cancel_command) {
    for (const Ending& ending : cancelEndings) {
        printf("    %s\n", ending.name);
        state.availableTargets = TARGET_STANDALONE;
        buildSelectionDialog();
        countCancels(cancelUnlessInstallingCommand);
        CHECK_EQ(runModal(selectionDialogProc, ending.action), 0);
        CHECK_EQ(cancelCalls, 1);
    }
    state.availableTargets = 0;
}
