// Both dialogs as Windows makes them from the built templates (modeless, for inspection): every control, the
// initial state of the selection dialog, the command dispatch, the header colour and the centring.
#include <windows.h>
#include <commctrl.h>
#include <string>
#include "dialogs/command_table.h"
#include "dialogs/dialog_layouts.h"
#include "dialogs/dialog_procs.h"
#include "state/installer_state.h"
#include "tests/windows/expected_dialogs.h"
#include "tests/windows/wintest.h"

// Link-time stand-ins for the commands of app/, which the selection layout registers.
static int installCalls = 0;
static int uninstallCalls = 0;
void installCommand(HWND) { ++installCalls; }
void uninstallCommand(HWND) { ++uninstallCalls; }
void cancelUnlessInstallingCommand(HWND dialog) { cancelCommand(dialog); }

namespace {

HWND createDialog(DLGPROC procedure) {
    static bool initialised = false;
    if (!initialised) {
        INITCOMMONCONTROLSEX controls = {sizeof controls, 0xFF};  // the progress bar's class
        InitCommonControlsEx(&controls);
        initialised = true;
    }
    return CreateDialogIndirectParamW(nullptr, reinterpret_cast<LPCDLGTEMPLATEW>(state.templateBuffer), nullptr,
                                      procedure, 0);
}

// The dialog of this procedure (the license one over a short text), built and made; null is reported.
HWND buildAndCreate(DLGPROC procedure) {
    if (procedure == licenseDialogProc) buildLicenseDialog(u"license"); else buildSelectionDialog();
    HWND dialog = createDialog(procedure);
    CHECK(dialog != nullptr);
    return dialog;
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

// Walks the children in creation order (the dialog manager puts each new control at the bottom); texts[i]
// stands in for a null text in the table.
void checkControls(HWND dialog, const DialogControl* expected, int count, const wchar_t* const* texts,
                   int32_t available) {
    const std::wstring caption = windowText(dialog);
    CHECK_WSTR(caption.c_str(), INSTALLER_TITLE);
    HWND child = GetWindow(dialog, GW_CHILD);
    for (int i = 0; i < count; ++i, child = GetWindow(child, GW_HWNDNEXT)) {
        printf("    control %d\n", i + 1);
        CHECK(child != nullptr);
        if (child == nullptr) return;
        const std::wstring name = className(child), text = windowText(child);
        CHECK_WSTR(name.c_str(), expected[i].className);
        const int bit = targetBit(expected[i].id);
        const DWORD disabled = bit != 0 && (available & bit) == 0 ? WS_DISABLED : 0;
        CHECK_EQ(DWORD(GetWindowLongW(child, GWL_STYLE)), expected[i].style | disabled);
        CHECK_EQ(DWORD(GetWindowLongW(child, GWL_EXSTYLE)) & ~DWORD(WS_EX_NOPARENTNOTIFY), expected[i].exStyle);
        CHECK_EQ(GetDlgCtrlID(child), expected[i].id);
        CHECK_WSTR(text.c_str(), expected[i].text ? expected[i].text : texts[i]);
        // Position and size are converted to pixels one by one, as the dialog manager does.
        RECT pixels = expected[i].placement;
        MapDialogRect(dialog, &pixels);
        RECT actual;
        GetWindowRect(child, &actual);
        MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&actual), 2);
        CHECK_EQ(actual.left, pixels.left);
        CHECK_EQ(actual.top, pixels.top);
        if ((expected[i].style & SS_TYPEMASK) == SS_ETCHEDHORZ && name == L"Static") {
            // Wine only: an etched line sizes itself, keeping the width and becoming 0 high.
            RECT client;
            GetClientRect(child, &client);
            CHECK_EQ(client.right, pixels.right);
            CHECK_EQ(client.bottom, 0);
        } else {
            CHECK_EQ(actual.right - actual.left, pixels.right);
            CHECK_EQ(actual.bottom - actual.top, pixels.bottom);
        }
    }
    CHECK(child == nullptr);
}

void setLabel(Unit* label, const wchar_t* text) {
    int i = 0;
    for (; text[i] != 0; ++i) label[i] = Unit(text[i]);
    label[i] = 0;
}

bool ticked(HWND dialog, int id) { return SendDlgItemMessageW(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED; }
bool enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }

int firstCalls = 0, secondCalls = 0;
void firstRecorder(HWND) { ++firstCalls; }
void secondRecorder(HWND) { ++secondCalls; }

}  // namespace

TEST(license_dialog_controls_are_made_as_laid_out) {
    std::wstring license;
    while (license.size() < 1859) license += L"Line " + std::to_wstring(license.size()) + L" of the license.\r\n";
    license.resize(1859);
    const std::u16string units(license.begin(), license.end());
    buildLicenseDialog(units.c_str());
    HWND dialog = createDialog(licenseDialogProc);
    CHECK(dialog != nullptr);
    if (!dialog) return;
    const wchar_t* texts[7] = {};
    texts[LICENSE_BOX_INDEX] = license.c_str();
    checkControls(dialog, LICENSE_CONTROLS, 7, texts, 0);
    DestroyWindow(dialog);
}

TEST(selection_dialog_controls_are_made_as_laid_out) {
    const wchar_t* clap64 = L"Target: C:\\Program Files\\Common Files\\CLAP";
    const wchar_t* clap32 = L"Target: C:\\Program Files (x86)\\Common Files\\CLAP";
    const wchar_t* flStudio = L"Target: D:\\Audio\\Host\\Plugins\\Fruity\\Generators\\Moravel";
    const wchar_t* none = L"(not available)";
    setLabel(state.clap64Label, clap64);
    setLabel(state.clap32Label, clap32);
    setLabel(state.flStudioLabel, flStudio);
    struct Case { int32_t available; const wchar_t* labels[3]; };
    // A filled label buffer whose bit is clear shows "(not available)".
    const Case cases[] = {{15, {clap64, clap32, flStudio}}, {TARGET_STANDALONE, {none, none, none}},
                          {TARGET_CLAP32 | TARGET_STANDALONE, {none, clap32, none}}};
    for (const Case& c : cases) {
        printf("    available %d\n", c.available);
        state.availableTargets = c.available;
        buildSelectionDialog();
        HWND dialog = createDialog(selectionDialogProc);
        CHECK(dialog != nullptr);
        if (!dialog) return;
        const wchar_t* texts[15] = {};
        for (int i = 0; i < 3; ++i) texts[TARGET_LABEL_INDEX[i]] = c.labels[i];
        checkControls(dialog, SELECTION_CONTROLS, 15, texts, c.available);
        DestroyWindow(dialog);
    }
    state.availableTargets = 0;
}

TEST(check_boxes_and_install_follow_available_targets_and_clicks) {
    for (int32_t available : {9, 0, 15}) {
        printf("    available %d\n", available);
        state.availableTargets = available;
        state.selectedTargets = 5;
        buildSelectionDialog();
        HWND dialog = createDialog(selectionDialogProc);
        CHECK(dialog != nullptr);
        if (!dialog) return;
        for (int i = 0; i < 4; ++i) {
            CHECK_EQ(enabled(dialog, 1000 + i), (available >> i & 1) != 0);
            CHECK_EQ(ticked(dialog, 1000 + i), (available >> i & 1) != 0);
        }
        CHECK_EQ(state.selectedTargets, available);
        CHECK_EQ(enabled(dialog, IDOK), available != 0);
        CHECK(enabled(dialog, IDCANCEL));
        DestroyWindow(dialog);
    }

    // Clicks go through the automatic check box, which flips its tick and then sends BN_CLICKED.
    state.availableTargets = 15;
    buildSelectionDialog();
    HWND dialog = createDialog(selectionDialogProc);
    if (!dialog) return;
    struct Step { int id; int32_t selected; bool tick; bool install; };
    const Step steps[] = {
        {1001, 13, false, true}, {1002, 9, false, true},  // down to availableTargets 9
        {1000, 8, false, true}, {1003, 0, false, false}, {1000, 1, true, true},
        {1002, 5, true, true}, {1001, 7, true, true}, {1003, 15, true, true},
    };
    for (const Step& step : steps) {
        printf("    click %d\n", step.id);
        SendDlgItemMessageW(dialog, step.id, BM_CLICK, 0, 0);
        CHECK_EQ(state.selectedTargets, step.selected);
        CHECK_EQ(ticked(dialog, step.id), step.tick);
        CHECK_EQ(enabled(dialog, IDOK), step.install);
    }
    // Uninstall and Install reach app/'s commands through the same table.
    installCalls = uninstallCalls = 0;
    SendDlgItemMessageW(dialog, IDC_UNINSTALL, BM_CLICK, 0, 0);
    SendDlgItemMessageW(dialog, IDOK, BM_CLICK, 0, 0);
    CHECK_EQ(uninstallCalls, 1);
    CHECK_EQ(installCalls, 1);
    DestroyWindow(dialog);
    state.availableTargets = 0;
}

TEST(commands_run_only_the_first_record_and_only_without_notification_code) {
    buildLicenseDialog(u"license");
    HWND dialog = createDialog(licenseDialogProc);
    CHECK(dialog != nullptr);
    if (!dialog) return;
    registerCommand(0, firstRecorder);  // the license box has id 0
    registerCommand(77, firstRecorder);
    registerCommand(77, secondRecorder);
    HWND licenseBox = GetNextDlgTabItem(dialog, nullptr, FALSE);
    const std::wstring boxClass = className(licenseBox);
    CHECK_WSTR(boxClass.c_str(), L"Edit");

    struct Case { WPARAM wParam; INT_PTR result; int first; };
    const Case cases[] = {
        {MAKEWPARAM(0, EN_SETFOCUS), FALSE, 0},  {MAKEWPARAM(0, EN_KILLFOCUS), FALSE, 0},
        {MAKEWPARAM(77, BN_DBLCLK), FALSE, 0},   {MAKEWPARAM(77, 0), TRUE, 1},
        {MAKEWPARAM(0, 0), TRUE, 1},             {MAKEWPARAM(78, 0), FALSE, 0},
        {0x100000000ull | 77, TRUE, 1},  // bits above 31 are not the notification code
    };
    for (const Case& c : cases) {
        printf("    wParam 0x%llx\n", (unsigned long long)c.wParam);
        firstCalls = secondCalls = 0;
        CHECK_EQ(licenseDialogProc(dialog, WM_COMMAND, c.wParam, LPARAM(licenseBox)), c.result);
        CHECK_EQ(firstCalls, c.first);
        CHECK_EQ(secondCalls, 0);
    }
    // And as Windows delivers them: moving the focus makes the box itself send EN_SETFOCUS and EN_KILLFOCUS.
    firstCalls = 0;
    SetFocus(licenseBox);
    SetFocus(GetDlgItem(dialog, IDCANCEL));
    CHECK_EQ(firstCalls, 0);
    DestroyWindow(dialog);
}

TEST(only_the_header_title_gets_the_window_brush) {
    for (DLGPROC procedure : {licenseDialogProc, selectionDialogProc}) {
        // The read-only license box asks with WM_CTLCOLORSTATIC too, with id 0.
        HWND dialog = buildAndCreate(procedure);
        if (!dialog) return;
        HDC dc = GetDC(dialog);
        for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            const INT_PTR expected = GetDlgCtrlID(child) == 3000 ? COLOR_WINDOW + 1 : FALSE;
            CHECK_EQ(procedure(dialog, WM_CTLCOLORSTATIC, WPARAM(dc), LPARAM(child)), expected);
        }
        ReleaseDC(dialog, dc);
        DestroyWindow(dialog);
    }
}

TEST(dialogs_open_centred_on_the_primary_work_area) {
    for (DLGPROC procedure : {licenseDialogProc, selectionDialogProc}) {
        HWND dialog = buildAndCreate(procedure);
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
}
