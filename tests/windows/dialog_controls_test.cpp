// Both dialogs as Windows makes them from the built templates (modeless, for inspection): every control, the
// initial state of the selection dialog, the command dispatch, the header colour and the centring.
#include <windows.h>
#include <commctrl.h>
#include <string>
#include "app/installer_state.h"
#include "dialogs/command_table.h"
#include "dialogs/dialog_layouts.h"
#include "dialogs/dialog_procs.h"
#include "tests/windows/wintest.h"

// Link-time stand-ins for the commands of app/, which the selection layout registers.
static int installCalls = 0;
static int uninstallCalls = 0;
void installCommand(HWND) { ++installCalls; }
void uninstallCommand(HWND) { ++uninstallCalls; }

namespace {

struct ExpectedControl {
    const wchar_t* className;  // as GetClassNameW reports it
    DWORD style;
    DWORD exStyle;
    int id;
    std::wstring text;
};

void initCommonControls() {
    static bool done = false;
    if (done) return;
    INITCOMMONCONTROLSEX controls = {sizeof controls, 0xFF};
    InitCommonControlsEx(&controls);
    done = true;
}

HWND createDialog(DLGPROC procedure) {
    initCommonControls();
    return CreateDialogIndirectParamW(nullptr, reinterpret_cast<LPCDLGTEMPLATEW>(state.templateBuffer), nullptr,
                                      procedure, 0);
}

std::wstring windowText(HWND window) {
    std::wstring text(size_t(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(size_t(GetWindowTextW(window, text.data(), int(text.size()))));
    return text;
}

std::wstring className(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

// The dialog manager adds WS_EX_NOPARENTNOTIFY to every control it creates from a template.
constexpr DWORD ADDED_EX_STYLE = WS_EX_NOPARENTNOTIFY;

// An etched static control gives itself a static edge when it is created.
constexpr DWORD ETCHED_EX_STYLE = WS_EX_STATICEDGE;

// Walks the children in creation order (the dialog manager puts each new control at the bottom).
void checkControls(HWND dialog, const ExpectedControl* expected, int count) {
    HWND child = GetWindow(dialog, GW_CHILD);
    for (int i = 0; i < count; ++i, child = GetWindow(child, GW_HWNDNEXT)) {
        printf("    control %d\n", i + 1);
        CHECK(child != nullptr);
        if (child == nullptr) return;
        const std::wstring name = className(child), text = windowText(child);
        CHECK_WSTR(name.c_str(), expected[i].className);
        CHECK_EQ(DWORD(GetWindowLongW(child, GWL_STYLE)), expected[i].style);
        CHECK_EQ(DWORD(GetWindowLongW(child, GWL_EXSTYLE)) & ~ADDED_EX_STYLE, expected[i].exStyle);
        CHECK_EQ(GetDlgCtrlID(child), expected[i].id);
        CHECK_WSTR(text.c_str(), expected[i].text.c_str());
    }
    CHECK(child == nullptr);
}

std::wstring licenseOf1859Characters() {
    std::wstring text;
    while (text.size() < 1859) text += L"Line " + std::to_wstring(text.size()) + L" of the license.\r\n";
    text.resize(1859);
    return text;
}

std::u16string units(const std::wstring& text) { return std::u16string(text.begin(), text.end()); }

void setLabel(Unit* label, const wchar_t* text) {
    int i = 0;
    for (; text[i] != 0; ++i) label[i] = Unit(text[i]);
    label[i] = 0;
}

// An automatic check box, disabled at WM_INITDIALOG when its target is not available.
DWORD checkBoxStyle(int32_t available, int32_t bit) {
    return 0x50010003u | ((available & bit) != 0 ? 0u : DWORD(WS_DISABLED));
}

bool ticked(HWND dialog, int id) { return SendDlgItemMessageW(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED; }
bool enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }

int firstCalls = 0, secondCalls = 0;
void firstRecorder(HWND) { ++firstCalls; }
void secondRecorder(HWND) { ++secondCalls; }

}  // namespace

TEST(license_dialog_controls_are_made_as_laid_out) {
    const std::wstring license = licenseOf1859Characters();
    const std::u16string licenseUnits = units(license);
    buildLicenseDialog(licenseUnits.c_str());
    HWND dialog = createDialog(licenseDialogProc);
    CHECK(dialog != nullptr);
    if (!dialog) return;
    const std::wstring caption = windowText(dialog);
    CHECK_WSTR(caption.c_str(), L"Moravel Synthesizer Installer");
    const ExpectedControl expected[] = {
        {L"Static", 0x50000006, 0, 0, L""},
        {L"Static", 0x50020001, 0, 3000, L"Moravel Synthesizer Installer"},
        {L"Static", 0x50000010, ETCHED_EX_STYLE, 0, L""},
        {L"Static", 0x50020000, 0, 0, L"To install Moravel, you need to agree to the end-user license agreement."},
        {L"Edit", 0x50210844, WS_EX_STATICEDGE, 0, license},
        {L"Button", 0x50010000, 0, IDCANCEL, L"&Cancel"},
        {L"Button", 0x50010001, 0, IDOK, L"&Agree"},
    };
    checkControls(dialog, expected, 7);
    DestroyWindow(dialog);
}

TEST(selection_dialog_controls_are_made_as_laid_out) {
    setLabel(state.clap64Label, L"Target: C:\\Program Files\\Common Files\\CLAP");
    setLabel(state.clap32Label, L"Target: C:\\Program Files (x86)\\Common Files\\CLAP");
    setLabel(state.flStudioLabel, L"Target: D:\\Audio\\Host\\Plugins\\Fruity\\Generators\\Moravel");
    struct Case { int32_t available; const wchar_t* clap64; const wchar_t* clap32; const wchar_t* flStudio; };
    const Case cases[] = {
        {15, L"Target: C:\\Program Files\\Common Files\\CLAP", L"Target: C:\\Program Files (x86)\\Common Files\\CLAP",
         L"Target: D:\\Audio\\Host\\Plugins\\Fruity\\Generators\\Moravel"},
        {TARGET_STANDALONE, L"(not available)", L"(not available)", L"(not available)"},
        {TARGET_CLAP32 | TARGET_STANDALONE, L"(not available)", L"Target: C:\\Program Files (x86)\\Common Files\\CLAP",
         L"(not available)"},
    };
    for (const Case& c : cases) {
        printf("    available %d\n", c.available);
        state.availableTargets = c.available;
        buildSelectionDialog();
        HWND dialog = createDialog(selectionDialogProc);
        CHECK(dialog != nullptr);
        if (!dialog) return;
        const std::wstring caption = windowText(dialog);
    CHECK_WSTR(caption.c_str(), L"Moravel Synthesizer Installer");
        // The check boxes' enabled state is set at WM_INITDIALOG, Install's too; the style words compare
        // without WS_DISABLED, which is checked separately below.
        const ExpectedControl expected[] = {
            {L"Static", 0x50000006, 0, 0, L""},
            {L"Static", 0x50020001, 0, 3000, L"Moravel Synthesizer Installer"},
            {L"Static", 0x50000010, ETCHED_EX_STYLE, 0, L""},
            {L"Static", 0x50000000, 0, 0xFFFF, L"Select the versions you want to install:"},
            {L"Button", checkBoxStyle(c.available, 1), 0, 1000, L"CLAP (64-bit)"},
            {L"Static", 0x50000000, 0, 0, c.clap64},
            {L"Button", checkBoxStyle(c.available, 2), 0, 1001, L"CLAP (32-bit)"},
            {L"Static", 0x50000000, 0, 0, c.clap32},
            {L"Button", checkBoxStyle(c.available, 4), 0, 1002, L"FL Studio native"},
            {L"Static", 0x50000000, 0, 0, c.flStudio},
            {L"Button", 0x50010003, 0, 1003, L"Standalone application"},
            {L"Button", 0x50030000, 0, 2000, L"&Uninstall"},
            {L"Button", 0x50010000, 0, IDCANCEL, L"&Cancel"},
            {L"Button", 0x50010001, 0, IDOK, L"&Install"},
            {L"msctls_progress32", 0x50000008, 0, 3001, L"Installation progress"},
        };
        checkControls(dialog, expected, 15);
        DestroyWindow(dialog);
    }
    state.availableTargets = 0;
}

TEST(check_boxes_and_install_follow_available_targets_and_clicks) {
    state.availableTargets = TARGET_CLAP64 | TARGET_STANDALONE;
    state.selectedTargets = 0;
    buildSelectionDialog();
    HWND dialog = createDialog(selectionDialogProc);
    CHECK(dialog != nullptr);
    if (!dialog) return;
    struct Box { int id; bool on; };
    const Box initial[] = {{1000, true}, {1001, false}, {1002, false}, {1003, true}};
    for (const Box& box : initial) {
        printf("    box %d\n", box.id);
        CHECK_EQ(enabled(dialog, box.id), box.on);
        CHECK_EQ(ticked(dialog, box.id), box.on);
    }
    CHECK_EQ(state.selectedTargets, 9);
    CHECK(enabled(dialog, IDOK));

    // Clicks go through the automatic check box, which flips its tick and then sends BN_CLICKED.
    struct Step { int id; int32_t selected; bool tick; bool install; };
    const Step steps[] = {{1000, 8, false, true}, {1003, 0, false, false}, {1000, 1, true, true}};
    for (const Step& step : steps) {
        printf("    click %d\n", step.id);
        SendDlgItemMessageW(dialog, step.id, BM_CLICK, 0, 0);
        CHECK_EQ(state.selectedTargets, step.selected);
        CHECK_EQ(ticked(dialog, step.id), step.tick);
        CHECK_EQ(enabled(dialog, IDOK), step.install);
    }
    DestroyWindow(dialog);
    state.availableTargets = 0;
}

TEST(no_available_target_disables_every_box_and_install) {
    state.availableTargets = 0;
    state.selectedTargets = 5;
    buildSelectionDialog();
    HWND dialog = createDialog(selectionDialogProc);
    CHECK(dialog != nullptr);
    if (!dialog) return;
    for (int id = 1000; id <= 1003; ++id) {
        CHECK(!enabled(dialog, id));
        CHECK(!ticked(dialog, id));
    }
    CHECK_EQ(state.selectedTargets, 0);
    CHECK(!enabled(dialog, IDOK));
    CHECK(enabled(dialog, IDCANCEL));
    DestroyWindow(dialog);
}

TEST(commands_run_only_the_first_record_and_only_without_notification_code) {
    buildLicenseDialog(u"license");
    HWND dialog = createDialog(licenseDialogProc);
    CHECK(dialog != nullptr);
    if (!dialog) return;
    registerCommand(0, firstRecorder);  // the license box has id 0
    registerCommand(77, firstRecorder);
    registerCommand(77, secondRecorder);
    firstCalls = secondCalls = 0;
    HWND licenseBox = GetWindow(GetWindow(GetWindow(GetWindow(GetWindow(dialog, GW_CHILD), GW_HWNDNEXT),
                                                    GW_HWNDNEXT), GW_HWNDNEXT), GW_HWNDNEXT);
    const std::wstring boxClass = className(licenseBox);
    CHECK_WSTR(boxClass.c_str(), L"Edit");

    struct Case { WPARAM wParam; INT_PTR result; int first, second; };
    const Case cases[] = {
        {MAKEWPARAM(0, EN_SETFOCUS), FALSE, 0, 0},
        {MAKEWPARAM(0, EN_KILLFOCUS), FALSE, 0, 0},
        {MAKEWPARAM(77, BN_DBLCLK), FALSE, 0, 0},
        {MAKEWPARAM(77, 0), TRUE, 1, 0},
        {MAKEWPARAM(0, 0), TRUE, 1, 0},
        {MAKEWPARAM(78, 0), FALSE, 0, 0},
        {0x100000000ull | 77, TRUE, 1, 0},  // bits above 31 are not the notification code
    };
    for (const Case& c : cases) {
        printf("    wParam 0x%llx\n", (unsigned long long)c.wParam);
        firstCalls = secondCalls = 0;
        CHECK_EQ(licenseDialogProc(dialog, WM_COMMAND, c.wParam, LPARAM(licenseBox)), c.result);
        CHECK_EQ(firstCalls, c.first);
        CHECK_EQ(secondCalls, c.second);
    }
    // And as Windows delivers them: focus moves send EN_SETFOCUS and EN_KILLFOCUS from the box itself.
    firstCalls = 0;
    SetFocus(licenseBox);
    SetFocus(GetDlgItem(dialog, IDCANCEL));
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(77, 0), 0);
    CHECK_EQ(firstCalls, 1);
    CHECK_EQ(secondCalls, 0);
    DestroyWindow(dialog);
}

TEST(only_the_header_title_gets_the_window_brush) {
    state.availableTargets = TARGET_STANDALONE;
    buildSelectionDialog();
    HWND dialog = createDialog(selectionDialogProc);
    CHECK(dialog != nullptr);
    if (!dialog) return;
    HDC dc = GetDC(dialog);
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        const INT_PTR expected = GetDlgCtrlID(child) == 3000 ? COLOR_WINDOW + 1 : FALSE;
        CHECK_EQ(selectionDialogProc(dialog, WM_CTLCOLORSTATIC, WPARAM(dc), LPARAM(child)), expected);
    }
    ReleaseDC(dialog, dc);
    DestroyWindow(dialog);

    buildLicenseDialog(u"license");  // the read-only license box asks with WM_CTLCOLORSTATIC too, with id 0
    dialog = createDialog(licenseDialogProc);
    dc = GetDC(dialog);
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        const INT_PTR expected = GetDlgCtrlID(child) == 3000 ? COLOR_WINDOW + 1 : FALSE;
        CHECK_EQ(licenseDialogProc(dialog, WM_CTLCOLORSTATIC, WPARAM(dc), LPARAM(child)), expected);
    }
    ReleaseDC(dialog, dc);
    DestroyWindow(dialog);
    state.availableTargets = 0;
}

TEST(dialogs_open_centred_on_the_primary_work_area) {
    struct Build { const char* name; DLGPROC procedure; };
    const Build builds[] = {{"license", licenseDialogProc}, {"selection", selectionDialogProc}};
    for (const Build& build : builds) {
        printf("    %s dialog\n", build.name);
        state.availableTargets = TARGET_STANDALONE;
        if (build.procedure == licenseDialogProc) buildLicenseDialog(u"license"); else buildSelectionDialog();
        HWND dialog = createDialog(build.procedure);
        CHECK(dialog != nullptr);
        if (!dialog) return;
        MONITORINFO info = {};
        info.cbSize = sizeof info;
        CHECK(GetMonitorInfoW(MonitorFromWindow(dialog, MONITOR_DEFAULTTOPRIMARY), &info));
        RECT window;
        GetWindowRect(dialog, &window);
        const LONG width = window.right - window.left, height = window.bottom - window.top;
        CHECK(width > 0 && height > 0);
        CHECK_EQ(window.left, (info.rcWork.left + info.rcWork.right - width) / 2);
        CHECK_EQ(window.top, (info.rcWork.top + info.rcWork.bottom - height) / 2);

        // Moved away, it is placed by the same formula, which centres only a window whose corner is at 0, 0.
        SetWindowPos(dialog, nullptr, 100, 40, 0, 0, SWP_NOZORDER | SWP_NOSIZE);
        centreOnWorkArea(dialog);
        GetWindowRect(dialog, &window);
        CHECK_EQ(window.left, (info.rcWork.left + info.rcWork.right - 100 - (100 + width)) / 2);
        CHECK_EQ(window.top, (info.rcWork.top + info.rcWork.bottom - 40 - (40 + height)) / 2);
        DestroyWindow(dialog);
    }
    state.availableTargets = 0;
}

TEST(handlers_end_the_dialog_and_toggle_their_bits) {
    struct Case { void (*handler)(HWND); int32_t bit; };
    const Case toggles[] = {{toggleClap64Command, TARGET_CLAP64}, {toggleClap32Command, TARGET_CLAP32},
                            {toggleFlStudioCommand, TARGET_FLSTUDIO}, {toggleStandaloneCommand, TARGET_STANDALONE}};
    state.availableTargets = 15;
    buildSelectionDialog();
    HWND dialog = createDialog(selectionDialogProc);
    CHECK(dialog != nullptr);
    if (!dialog) return;
    for (const Case& c : toggles) {
        printf("    bit %d\n", c.bit);
        state.selectedTargets = c.bit;
        c.handler(dialog);
        CHECK_EQ(state.selectedTargets, 0);
        CHECK(!enabled(dialog, IDOK));
        state.selectedTargets = 15;
        c.handler(dialog);
        CHECK_EQ(state.selectedTargets, 15 & ~c.bit);
        CHECK(enabled(dialog, IDOK));
        c.handler(dialog);
        CHECK_EQ(state.selectedTargets, 15);
    }
    // The table routes Uninstall and Install to app/'s commands.
    installCalls = uninstallCalls = 0;
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_UNINSTALL, BN_CLICKED), 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    CHECK_EQ(uninstallCalls, 1);
    CHECK_EQ(installCalls, 1);
    DestroyWindow(dialog);
    state.availableTargets = 0;
}
