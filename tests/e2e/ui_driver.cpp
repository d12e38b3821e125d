#include "tests/e2e/ui_driver.h"
#include <stdio.h>
#include <wchar.h>
#define WINTEST_CUSTOM_MAIN
#include "tests/windows/wintest.h"

static bool nameMatches(const wchar_t* entry, const wchar_t* name) {
    size_t n = wcslen(name);
    return _wcsnicmp(entry, name, n) == 0 && entry[n] == L'=';
}

bool startInstaller(Installer* installer, const wchar_t* exe, const EnvOverride* overrides, int overrideCount,
                    const wchar_t* givenCommandLine) {
    static wchar_t block[65536];
    wchar_t* out = block;
    wchar_t* own = GetEnvironmentStringsW();
    for (const wchar_t* entry = own; *entry; entry += wcslen(entry) + 1) {
        bool replaced = false;
        for (int i = 0; i < overrideCount; ++i) replaced |= nameMatches(entry, overrides[i].name);
        if (replaced) continue;
        wcscpy(out, entry);
        out += wcslen(entry) + 1;
    }
    FreeEnvironmentStringsW(own);
    for (int i = 0; i < overrideCount; ++i) {
        if (!overrides[i].value) continue;
        out += swprintf(out, 1024, L"%ls=%ls", overrides[i].name, overrides[i].value) + 1;
    }
    *out = 0;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    wchar_t commandLine[2 * MAX_PATH];
    if (givenCommandLine) wcscpy(commandLine, givenCommandLine);
    else swprintf(commandLine, 2 * MAX_PATH, L"\"%ls\"", exe);
    ZeroMemory(&installer->process, sizeof installer->process);
    return CreateProcessW(exe, commandLine, nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT, block, nullptr,
                          &startup, &installer->process) != 0;
}

struct WindowSearch {
    DWORD processId;
    const wchar_t* okText;  // dialog search
    HWND exclude;           // message box search: not one of the two dialogs
    HWND found;
};

static bool isDialogClass(HWND window) {
    wchar_t name[32];
    return GetClassNameW(window, name, 32) && wcscmp(name, L"#32770") == 0;
}

// A visible dialog-class window of the process; its title goes to title (128 units).
static bool visibleDialogOf(HWND window, DWORD processId, wchar_t* title) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != processId || !IsWindowVisible(window) || !isDialogClass(window)) return false;
    title[0] = 0;
    GetWindowTextW(window, title, 128);
    return true;
}

static BOOL CALLBACK findDialog(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<WindowSearch*>(parameter);
    wchar_t title[128], ok[64] = {};
    if (!visibleDialogOf(window, search->processId, title)) return TRUE;
    GetDlgItemTextW(window, IDOK, ok, 64);
    if (wcscmp(title, INSTALLER_TITLE) == 0 && wcscmp(ok, search->okText) == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

static BOOL CALLBACK findMessageBox(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<WindowSearch*>(parameter);
    wchar_t title[128];
    if (!visibleDialogOf(window, search->processId, title)) return TRUE;
    if (wcscmp(title, INSTALLER_TITLE) == 0 || !GetDlgItem(window, 0xFFFF)) return TRUE;
    search->found = window;
    return FALSE;
}

bool hasExited(Installer* installer, DWORD waitMs) {
    return WaitForSingleObject(installer->process.hProcess, waitMs) == WAIT_OBJECT_0;
}

HWND waitForDialog(Installer* installer, const wchar_t* okText) {
    for (DWORD waited = 0; waited < UI_TIMEOUT_MS; waited += 20) {
        WindowSearch search = {installer->process.dwProcessId, okText, nullptr, nullptr};
        EnumWindows(findDialog, reinterpret_cast<LPARAM>(&search));
        if (search.found) return search.found;
        if (hasExited(installer, 20)) return nullptr;
    }
    return nullptr;
}

bool waitForMessageBox(Installer* installer, ShownBox* box, DWORD timeoutMs) {
    ZeroMemory(box, sizeof *box);
    for (DWORD waited = 0; waited < timeoutMs; waited += 20) {
        WindowSearch search = {installer->process.dwProcessId, nullptr, nullptr, nullptr};
        EnumWindows(findMessageBox, reinterpret_cast<LPARAM>(&search));
        if (search.found) {
            box->window = search.found;
            box->owner = GetWindow(search.found, GW_OWNER);
            GetDlgItemTextW(search.found, 0xFFFF, box->text, 512);
            GetWindowTextW(search.found, box->caption, 128);
            return true;
        }
        if (hasExited(installer, 20)) return false;
    }
    return false;
}

void answerMessageBox(const ShownBox* box) {
    PostMessageW(GetDlgItem(box->window, IDOK), BM_CLICK, 0, 0);
    // The box must be gone before the next search, or it would be found again.
    for (int i = 0; i < 500 && IsWindow(box->window) && IsWindowVisible(box->window); ++i) Sleep(10);
}

DWORD waitForExit(Installer* installer, DWORD timeoutMs) {
    DWORD code = STILL_ACTIVE;
    if (hasExited(installer, timeoutMs)) {
        GetExitCodeProcess(installer->process.hProcess, &code);
    } else {
        TerminateProcess(installer->process.hProcess, 99);
        WaitForSingleObject(installer->process.hProcess, 5000);
    }
    CloseHandle(installer->process.hThread);
    CloseHandle(installer->process.hProcess);
    return code;
}

void click(HWND dialog, int id) { PostMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

static HWND focusOf(HWND dialog) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info);
    return info.hwndFocus ? info.hwndFocus : dialog;
}

void pressMnemonic(HWND dialog, wchar_t letter) {
    // Bit 29: the Alt key is down, as for a real Alt+letter.
    PostMessageW(focusOf(dialog), WM_SYSCHAR, letter, LPARAM(1) << 29 | 1);
}

void pressEscape(HWND dialog) {
    HWND focus = focusOf(dialog);
    PostMessageW(focus, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    PostMessageW(focus, WM_KEYUP, VK_ESCAPE, 0xC0010001);
}

void pressCloseBox(HWND dialog) { PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }

void checkControls(HWND dialog, const DialogControl* expected, int count, const wchar_t* const* texts,
                   int available, const char* file, int line) {
    char what[1024];
    int index = 0;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT), ++index) {
        if (index >= count) {
            snprintf(what, sizeof what, "more than %d controls", count);
            wintest::fail(file, line, what);
            return;
        }
        const DialogControl& e = expected[index];
        const wchar_t* wantText = e.text ? e.text : texts[index];
        const int bit = targetBit(e.id);
        const bool wantEnabled = bit == 0 || (available & bit) != 0;
        const int wantChecked = bit == 0 ? -1 : (available & bit) != 0 ? BST_CHECKED : BST_UNCHECKED;
        static wchar_t text[65536];
        wchar_t className[64] = {};
        GetClassNameW(child, className, 64);
        // WM_GETTEXT, not GetWindowTextW: across processes that reads only the stored caption, not an edit's text.
        text[0] = 0;
        SendMessageW(child, WM_GETTEXT, 65536, reinterpret_cast<LPARAM>(text));
        DWORD style = DWORD(GetWindowLongW(child, GWL_STYLE)) & ~DWORD(WS_DISABLED);
        int id = GetDlgCtrlID(child);
        bool enabled = IsWindowEnabled(child) != 0;
        int checked = bit == 0 ? -1 : int(SendMessageW(child, BM_GETCHECK, 0, 0));
        bool same = _wcsicmp(className, e.className) == 0 && style == e.style && id == e.id &&
                    wcscmp(text, wantText) == 0 && enabled == wantEnabled && checked == wantChecked;
        if (!same) {
            snprintf(what, sizeof what,
                     "control %d: got %ls style %08lx id %d \"%.60ls\" enabled %d checked %d; "
                     "want %ls style %08lx id %d \"%.60ls\" enabled %d checked %d",
                     index + 1, className, style, id, text, enabled, checked, e.className, e.style, e.id,
                     wantText, wantEnabled, wantChecked);
            wintest::fail(file, line, what);
        }
    }
    if (index < count) {
        snprintf(what, sizeof what, "%d controls, want %d", index, count);
        wintest::fail(file, line, what);
    }
}

static bool inState(HWND dialog, const ControlState& wanted, bool* enabled, int* checked) {
    HWND control = GetDlgItem(dialog, wanted.id);
    *enabled = IsWindowEnabled(control) != 0;
    *checked = wanted.checked < 0 ? -1 : int(SendMessageW(control, BM_GETCHECK, 0, 0));
    return control && *enabled == wanted.enabled && *checked == wanted.checked;
}

bool waitForStates(HWND dialog, const ControlState* wanted, int count, const char* file, int line,
                   DWORD timeoutMs) {
    bool enabled;
    int checked;
    for (DWORD waited = 0; waited < timeoutMs; waited += 10) {
        int matching = 0;
        for (int i = 0; i < count; ++i) matching += inState(dialog, wanted[i], &enabled, &checked);
        if (matching == count) return true;
        Sleep(10);
    }
    for (int i = 0; i < count; ++i) {
        if (inState(dialog, wanted[i], &enabled, &checked)) continue;
        char what[256];
        snprintf(what, sizeof what, "after %lu ms, control %d: enabled %d checked %d, want enabled %d checked %d",
                 timeoutMs, wanted[i].id, enabled, checked, wanted[i].enabled, wanted[i].checked);
        wintest::fail(file, line, what);
    }
    return false;
}

bool expectMessageBox(Installer* installer, ShownBox* box, const char* file, int line) {
    if (waitForMessageBox(installer, box)) return true;
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(installer->process.hProcess, &code);
    char what[160];
    if (code == STILL_ACTIVE)
        snprintf(what, sizeof what, "no message box within %lu ms; the installer still runs", UI_TIMEOUT_MS);
    else
        snprintf(what, sizeof what, "no message box: the installer ended with exit code %lu", code);
    wintest::fail(file, line, what);
    return false;
}

struct DialogCount {
    DWORD processId;
    int count;
};

static BOOL CALLBACK countDialog(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<DialogCount*>(parameter);
    wchar_t title[128];
    if (visibleDialogOf(window, search->processId, title) && wcscmp(title, INSTALLER_TITLE) == 0) ++search->count;
    return TRUE;
}

int visibleInstallerDialogs(Installer* installer) {
    DialogCount search = {installer->process.dwProcessId, 0};
    EnumWindows(countDialog, reinterpret_cast<LPARAM>(&search));
    return search.count;
}

bool dialogAnswers(HWND dialog, DWORD timeoutMs) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(dialog, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, timeoutMs, &result) != 0;
}
