// Installing: all four targets, only the standalone application, and with targets that cannot be named.
#include "tests/e2e/scenario.h"
#include <stdio.h>
#include <wchar.h>
#include "app/messages.h"
#include "tests/windows/wintest.h"

#define MARKER_KEY L"SOFTWARE\\BrellinAudioPlugins"
static const int FROZEN[] = {2000, IDOK, IDCANCEL, 1000, 1001, 1002, 1003};

static void checkShortcut(const Machine& m) {
    wchar_t target[PATH_UNITS] = {}, description[PATH_UNITS] = {};
    CHECK(readShortcut(m.shortcut, target, description));
    CHECK_WSTR(target, m.standalone);
    CHECK_WSTR(description, L"The standalone version of Moravel.");
}

// Waits for the success box, checks it is the dialog's, answers it and checks the exit code.
static void finishWithSuccess(Installer* installer, HWND selection) {
    ShownBox box;
    CHECK(waitForMessageBox(installer, &box));
    CHECK_WSTR(box.text, MSG_INSTALL_SUCCEEDED);
    CHECK_WSTR(box.caption, L"Moravel");
    CHECK(box.owner == selection);
    CHECK(IsWindow(selection) && IsWindowVisible(selection));
    answerMessageBox(&box);
    CHECK_EQ(waitForExit(installer), 0u);
}

TEST(install_all_four_targets) {
    Machine m;
    prepareMachine(&m, "install_all");
    setFlStudioValue(m.flStudioExe);
    ScenarioEnvironment env = scenarioEnvironment(&m);
    Installer installer;
    HWND selection = startAtSelection(&installer, installerPath(), &env);
    CHECK(selection != nullptr);
    if (!selection) return;
    wchar_t clap64[PATH_UNITS], clap32[PATH_UNITS], fl[PATH_UNITS];
    targetLabel(clap64, m.common, L"\\CLAP");
    targetLabel(clap32, m.common86, L"\\CLAP");
    wchar_t flRoot[PATH_UNITS];
    swprintf(flRoot, PATH_UNITS, L"%ls\\fl", m.scratch);
    targetLabel(fl, flRoot, L"\\Plugins\\Fruity\\Generators\\Moravel");
    const wchar_t* labels[3] = {clap64, clap32, fl};
    checkSelectionDialog(selection, labels, __FILE__, __LINE__);

    pressMnemonic(selection, L'i');
    CHECK(waitForEnabled(selection, IDOK, false));
    for (int id : FROZEN) CHECK(!IsWindowEnabled(GetDlgItem(selection, id)));
    // Nothing may end the process while the worker writes: not IDCANCEL by any path.
    PostMessageW(selection, WM_COMMAND, IDCANCEL, 0);
    pressEscape(selection);
    pressCloseBox(selection);
    PostMessageW(selection, WM_COMMAND, 2000, 0);
    CHECK(dialogAnswers(selection, 1000));
    CHECK(!hasExited(&installer, 300));
    CHECK(IsWindowVisible(selection));
    CHECK(dialogAnswers(selection, 1000));
    finishWithSuccess(&installer, selection);

    CHECK(matchesPayload(m.clap64, "bin/target_cl64"));
    CHECK(matchesPayload(m.clap32, "bin/target_cl32"));
    CHECK(matchesPayload(m.fl64, "bin/target_fl64"));
    CHECK(matchesPayload(m.fl32, "bin/target_fl32"));
    CHECK(matchesPayload(m.standalone, "bin/target_st64"));
    checkShortcut(m);
    CHECK_EQ(readDword(MARKER_KEY, L"HasAnyPaidPlugins"), 1);
}

TEST(install_only_the_standalone_application) {
    Machine m;
    prepareMachine(&m, "standalone_only");
    setFlStudioValue(m.flStudioExe);
    ScenarioEnvironment env = scenarioEnvironment(&m);
    Installer installer;
    HWND selection = startAtSelection(&installer, installerPath(), &env);
    CHECK(selection != nullptr);
    if (!selection) return;
    for (int id : {1000, 1001, 1002}) click(selection, id);
    for (int i = 0; i < 200 && SendMessageW(GetDlgItem(selection, 1002), BM_GETCHECK, 0, 0) != BST_UNCHECKED; ++i)
        Sleep(10);
    for (int id : {1000, 1001, 1002}) CHECK_EQ(SendMessageW(GetDlgItem(selection, id), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    CHECK(IsWindowEnabled(GetDlgItem(selection, IDOK)));
    click(selection, IDOK);
    finishWithSuccess(&installer, selection);

    CHECK(matchesPayload(m.standalone, "bin/target_st64"));
    checkShortcut(m);
    CHECK_EQ(readDword(MARKER_KEY, L"HasAnyPaidPlugins"), 1);
    CHECK(!folderExists(m.common));
    CHECK(!folderExists(m.common86));
    CHECK(!fileExists(m.fl64));
    CHECK(!fileExists(m.fl32));
}

TEST(missing_x86_folder_and_no_fl_studio_value) {
    Machine m;
    prepareMachine(&m, "missing_x86");
    // An existing marker value is overwritten with 1.
    HKEY key;
    RegCreateKeyExW(HKEY_CURRENT_USER, MARKER_KEY, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    DWORD seven = 7;
    RegSetValueExW(key, L"HasAnyPaidPlugins", 0, REG_DWORD, reinterpret_cast<BYTE*>(&seven), 4);
    RegCloseKey(key);
    ScenarioEnvironment env = scenarioEnvironment(&m, true);
    Installer installer;
    HWND selection = startAtSelection(&installer, installerPath(), &env);
    CHECK(selection != nullptr);
    if (!selection) return;
    wchar_t clap64[PATH_UNITS];
    targetLabel(clap64, m.common, L"\\CLAP");
    const wchar_t* labels[3] = {clap64, nullptr, nullptr};
    checkSelectionDialog(selection, labels, __FILE__, __LINE__);

    click(selection, IDOK);
    // The 64-bit CLAP install needs both folders: it says so, writes nothing, and the installation goes on.
    ShownBox box;
    CHECK(waitForMessageBox(&installer, &box));
    CHECK_WSTR(box.text, MSG_FOLDER_INACCESSIBLE);
    CHECK_WSTR(box.caption, L"Error");
    CHECK(box.owner == selection);
    answerMessageBox(&box);
    finishWithSuccess(&installer, selection);

    CHECK(!folderExists(m.common));
    CHECK(matchesPayload(m.standalone, "bin/target_st64"));
    checkShortcut(m);
    CHECK_EQ(readDword(MARKER_KEY, L"HasAnyPaidPlugins"), 1);
}
