// installCommand on the real selection dialog, with CreateThread replaced in this program's import table so
// that no worker runs: what Install freezes, what a failed thread start gives back, and that nothing can end
// or restart the dialog once a worker exists.
#include "tests/windows/wintest.h"
#include "tests/windows/message_box_capture.h"
#include <commctrl.h>
#include <initializer_list>
#include "app/commands.h"
#include "base/messages.h"
#include "dialogs/dialog_layouts.h"
#include "dialogs/dialog_procs.h"
#include "state/installer_state.h"


// The import slot through which app_code calls CreateThread.
extern "C" void* __imp_CreateThread;

struct ThreadStart {
    int calls;
    bool fail;
    LPTHREAD_START_ROUTINE routine;
    LPVOID parameter;
    SIZE_T stackSize;
    DWORD flags;
};
static ThreadStart threadStart;

static HANDLE WINAPI fakeCreateThread(LPSECURITY_ATTRIBUTES, SIZE_T stackSize, LPTHREAD_START_ROUTINE routine,
                                      LPVOID parameter, DWORD flags, LPDWORD) {
    ++threadStart.calls;
    threadStart.routine = routine;
    threadStart.parameter = parameter;
    threadStart.stackSize = stackSize;
    threadStart.flags = flags;
    if (threadStart.fail) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return GetCurrentProcess();  // any non-null handle: the command never uses it
}

static void replaceCreateThread() {
    DWORD old;
    VirtualProtect(&__imp_CreateThread, sizeof(void*), PAGE_READWRITE, &old);
    __imp_CreateThread = reinterpret_cast<void*>(&fakeCreateThread);
    VirtualProtect(&__imp_CreateThread, sizeof(void*), old, &old);
}

// Records the marquee switches the progress bar receives.
static WNDPROC progressProc;
static int marqueeOn, marqueeOff;
static LRESULT CALLBACK recordMarquee(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == PBM_SETMARQUEE) ++(wParam ? marqueeOn : marqueeOff);
    return CallWindowProcW(progressProc, hwnd, message, wParam, lParam);
}

// A fresh selection dialog (modeless, so the test keeps its thread) with CLAP 64-bit and standalone available.
static HWND openSelection() {
    static bool initialised;
    if (!initialised) {
        INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
        InitCommonControlsEx(&controls);
        replaceCreateThread();
        initialised = true;
    }
    state.availableTargets = TARGET_CLAP64 | TARGET_STANDALONE;
    state.clap64Label[0] = 0;
    append(state.clap64Label, u"Target: C:\\Common\\CLAP");
    buildSelectionDialog();
    HWND dialog = CreateDialogIndirectParamW(nullptr, reinterpret_cast<LPCDLGTEMPLATEW>(state.templateBuffer),
                                             nullptr, selectionDialogProc, 0);
    HWND progress = GetDlgItem(dialog, IDC_PROGRESS);
    progressProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(progress, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&recordMarquee)));
    marqueeOn = marqueeOff = 0;
    threadStart = {};
    ShowWindow(dialog, SW_SHOW);
    return dialog;
}

static void pressInstall(HWND dialog) { SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0); }

TEST(a_worker_that_cannot_start_gives_the_dialog_back) {
    HWND dialog = openSelection();
    threadStart.fail = true;
    MessageBoxCapture capture;
    startMessageBoxCapture(&capture);
    pressInstall(dialog);
    stopMessageBoxCapture();
    CHECK_EQ(threadStart.calls, 1);
    CHECK_EQ(capture.count, 1);
    CHECK_WSTR(capture.boxes[0].text, MSG_OUT_OF_MEMORY);
    CHECK_WSTR(capture.boxes[0].caption, L"Error");
    CHECK(capture.boxes[0].owner == dialog);
    CHECK_EQ(marqueeOn, 1);
    CHECK_EQ(marqueeOff, 1);
    // As WM_INITDIALOG left them: each box where its target is available, Install with targets selected.
    struct Control {
        int id;
        bool enabled;
    };
    const Control controls[] = {{1000, true}, {1001, false}, {1002, false}, {1003, true},
                                {2000, true}, {IDCANCEL, true}, {IDOK, true}};
    for (const Control& c : controls) {
        bool enabled = IsWindowEnabled(GetDlgItem(dialog, c.id)) != 0;
        CHECK_MSG(enabled == c.enabled, "control %d: enabled %d, want %d", c.id, enabled, c.enabled);
    }
    CHECK(!installRunning());
    // Cancel works again.
    SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    CHECK(!IsWindowVisible(dialog));
    DestroyWindow(dialog);
}

TEST(a_failed_start_keeps_the_selection) {
    HWND dialog = openSelection();
    threadStart.fail = true;
    // Unticked before Install: the box comes back enabled but stays unticked and unselected.
    SendMessageW(GetDlgItem(dialog, 1000), BM_CLICK, 0, 0);
    CHECK_EQ(state.selectedTargets, TARGET_STANDALONE);
    MessageBoxCapture capture;
    startMessageBoxCapture(&capture);
    pressInstall(dialog);
    stopMessageBoxCapture();
    CHECK_EQ(capture.count, 1);
    CHECK(IsWindowEnabled(GetDlgItem(dialog, IDOK)));
    // The CLAP box comes back enabled although unticked: its target is available.
    CHECK(IsWindowEnabled(GetDlgItem(dialog, 1000)));
    CHECK_EQ(state.selectedTargets, TARGET_STANDALONE);
    CHECK_EQ(SendMessageW(GetDlgItem(dialog, 1000), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    DestroyWindow(dialog);
}

// Last: a started worker stays started for the rest of the process.
TEST(install_freezes_the_dialog_and_starts_one_worker) {
    HWND dialog = openSelection();
    pressInstall(dialog);
    CHECK_EQ(threadStart.calls, 1);
    CHECK(threadStart.routine == installWorker);
    CHECK(threadStart.parameter == dialog);
    CHECK_EQ(threadStart.stackSize, SIZE_T(0));
    CHECK_EQ(threadStart.flags, 0u);
    CHECK_EQ(marqueeOn, 1);
    CHECK_EQ(marqueeOff, 0);
    for (int id : {2000, IDOK, IDCANCEL, 1000, 1001, 1002, 1003})
        CHECK_MSG(!IsWindowEnabled(GetDlgItem(dialog, id)), "control %d: enabled, want disabled", id);
    CHECK(installRunning());

    // Every other way in: Cancel and the close box, Uninstall, Install again, all refused while installing.
    MessageBoxCapture capture;
    startMessageBoxCapture(&capture);
    SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    SendMessageW(dialog, WM_CLOSE, 0, 0);
    SendMessageW(dialog, WM_COMMAND, IDC_UNINSTALL, 0);
    pressInstall(dialog);
    stopMessageBoxCapture();
    CHECK_EQ(capture.count, 0);
    CHECK_EQ(threadStart.calls, 1);
    CHECK(IsWindowVisible(dialog));
    DestroyWindow(dialog);
}
