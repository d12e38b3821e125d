// Installing: all four targets, only the standalone application, and with targets that cannot be named.
#include "tests/e2e/scenario.h"
#include <stdio.h>
#include <wchar.h>
#include "app/messages.h"
#include "tests/windows/wintest.h"

#define MARKER_KEY L"SOFTWARE\\BrellinAudioPlugins"

static void checkShortcut(const Machine& m) {
    wchar_t target[PATH_UNITS] = {}, description[PATH_UNITS] = {};
    CHECK(readShortcut(m.shortcut, target, description));
    CHECK_WSTR(target, m.standalone);
    CHECK_WSTR(description, L"The standalone version of Moravel.");
}

// Waits for the success box, checks it is the dialog's, answers it and checks the exit code.
static void finishWithSuccess(Installer* installer, HWND selection) {
    ShownBox box;
    EXPECT_MESSAGE_BOX(installer, &box);
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
    // Install disables its seven controls one after another: wait for all of them, not for the first.
    WAIT_FOR_STATES(selection, {2000, false, -1}, {IDOK, false, -1}, {IDCANCEL, false, -1},
                    {1000, false, BST_CHECKED}, {1001, false, BST_CHECKED}, {1002, false, BST_CHECKED},
                    {1003, false, BST_CHECKED});
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

    CHECK_PAYLOAD(m.clap64, "bin/target_cl64");
    CHECK_PAYLOAD(m.clap32, "bin/target_cl32");
    CHECK_PAYLOAD(m.fl64, "bin/target_fl64");
    CHECK_PAYLOAD(m.fl32, "bin/target_fl32");
    CHECK_PAYLOAD(m.standalone, "bin/target_st64");
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
    WAIT_FOR_STATES(selection, {1000, true, BST_UNCHECKED}, {1001, true, BST_UNCHECKED},
                    {1002, true, BST_UNCHECKED}, {1003, true, BST_CHECKED}, {IDOK, true, -1});
    click(selection, IDOK);
    finishWithSuccess(&installer, selection);

    CHECK_PAYLOAD(m.standalone, "bin/target_st64");
    checkShortcut(m);
    CHECK_EQ(readDword(MARKER_KEY, L"HasAnyPaidPlugins"), 1);
    CHECK_ABSENT(m.common);
    CHECK_ABSENT(m.common86);
    CHECK_ABSENT(m.fl64);
    CHECK_ABSENT(m.fl32);
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
    EXPECT_MESSAGE_BOX(&installer, &box);
    CHECK_WSTR(box.text, MSG_FOLDER_INACCESSIBLE);
    CHECK_WSTR(box.caption, L"Error");
    CHECK(box.owner == selection);
    answerMessageBox(&box);
    finishWithSuccess(&installer, selection);

    CHECK_ABSENT(m.common);
    CHECK_PAYLOAD(m.standalone, "bin/target_st64");
    checkShortcut(m);
    CHECK_EQ(readDword(MARKER_KEY, L"HasAnyPaidPlugins"), 1);
}
