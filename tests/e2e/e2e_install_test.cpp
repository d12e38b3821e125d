// Installing: all four targets, only the standalone application, and with targets that cannot be named.
#include "tests/e2e/scenario.h"
#include <stdio.h>
#include <wchar.h>
#include "base/messages.h"
#include "tests/windows/wintest.h"

static void checkShortcut(const Machine& m) {
    wchar_t target[PATH_UNITS] = {}, description[PATH_UNITS] = {};
    CHECK(readShortcut(m.shortcut, target, description));
    CHECK_WSTR(target, m.standalone);
    CHECK_WSTR(description, L"The standalone version of Moravel.");
}

// Waits for the success box, checks it is the dialog's, answers it and checks the exit code.
static void finishWithSuccess(Scenario* s) {
    ShownBox box;
    EXPECT_MESSAGE_BOX(&s->installer, &box);
    CHECK_WSTR(box.text, MSG_INSTALL_SUCCEEDED);
    CHECK_WSTR(box.caption, L"Moravel");
    CHECK(box.owner == s->selection);
    CHECK(IsWindow(s->selection) && IsWindowVisible(s->selection));
    answerMessageBox(&box);
    CHECK_EQ(waitForExit(&s->installer), 0u);
}

static void installAllFourTargets(const char* name, const wchar_t* exe) {
    printf("    %s\n", name);
    Scenario s;
    prepareScenario(&s, name, WITH_FL_STUDIO);
    const Machine& m = s.m;
    if (!REACH_SELECTION(&s, exe)) return;
    HWND selection = s.selection;
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
    // Wine only: Esc and the close box post IDCANCEL with Cancel disabled; Windows sends nothing then.
    PostMessageW(selection, WM_COMMAND, IDCANCEL, 0);
    pressEscape(selection);
    pressCloseBox(selection);
    PostMessageW(selection, WM_COMMAND, 2000, 0);
    CHECK(dialogAnswers(selection, 1000));
    CHECK(!hasExited(&s.installer, 300));
    CHECK(IsWindowVisible(selection));
    CHECK(dialogAnswers(selection, 1000));
    finishWithSuccess(&s);

    CHECK_PAYLOAD(m.clap64, "bin/target_cl64");
    CHECK_PAYLOAD(m.clap32, "bin/target_cl32");
    CHECK_PAYLOAD(m.fl64, "bin/target_fl64");
    CHECK_PAYLOAD(m.fl32, "bin/target_fl32");
    CHECK_PAYLOAD(m.standalone, "bin/target_st64");
    checkShortcut(m);
    CHECK_EQ(readDword(MARKER_KEY, L"HasAnyPaidPlugins"), 1);
}

// The raw installer, and the same payload packed compressed, which decodes its store on the worker.
TEST(install_all_four_targets) {
    installAllFourTargets("install_all", installerPath());
    installAllFourTargets("install_all_compressed", compressedInstallerPath());
}

TEST(install_only_the_standalone_application) {
    Scenario s;
    prepareScenario(&s, "standalone_only", WITH_FL_STUDIO);
    const Machine& m = s.m;
    if (!REACH_SELECTION(&s, installerPath())) return;
    for (int id : {1000, 1001, 1002}) click(s.selection, id);
    WAIT_FOR_STATES(s.selection, {1000, true, BST_UNCHECKED}, {1001, true, BST_UNCHECKED},
                    {1002, true, BST_UNCHECKED}, {1003, true, BST_CHECKED}, {IDOK, true, -1});
    click(s.selection, IDOK);
    finishWithSuccess(&s);

    CHECK_PAYLOAD(m.standalone, "bin/target_st64");
    checkShortcut(m);
    CHECK_EQ(readDword(MARKER_KEY, L"HasAnyPaidPlugins"), 1);
    CHECK_ABSENT(m.common);
    CHECK_ABSENT(m.common86);
    CHECK_ABSENT(m.fl64);
    CHECK_ABSENT(m.fl32);
}

TEST(missing_x86_folder_and_no_fl_studio_value) {
    Scenario s;
    prepareScenario(&s, "missing_x86", WITHOUT_X86);
    const Machine& m = s.m;
    // An existing marker value is overwritten with 1.
    HKEY key;
    RegCreateKeyExW(HKEY_CURRENT_USER, MARKER_KEY, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    DWORD seven = 7;
    RegSetValueExW(key, L"HasAnyPaidPlugins", 0, REG_DWORD, reinterpret_cast<BYTE*>(&seven), 4);
    RegCloseKey(key);
    if (!REACH_SELECTION(&s, installerPath())) return;
    wchar_t clap64[PATH_UNITS];
    targetLabel(clap64, m.common, L"\\CLAP");
    const wchar_t* labels[3] = {clap64, nullptr, nullptr};
    checkSelectionDialog(s.selection, labels, __FILE__, __LINE__);

    click(s.selection, IDOK);
    // The 64-bit CLAP install needs both folders: it says so, writes nothing, and the installation goes on.
    ANSWER_BOX(&s.installer, MSG_FOLDER_INACCESSIBLE, L"Error", s.selection);
    finishWithSuccess(&s);

    CHECK_ABSENT(m.common);
    CHECK_PAYLOAD(m.standalone, "bin/target_st64");
    checkShortcut(m);
    CHECK_EQ(readDword(MARKER_KEY, L"HasAnyPaidPlugins"), 1);
}
