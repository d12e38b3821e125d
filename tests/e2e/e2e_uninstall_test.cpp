// Uninstall: after an installation, on a machine where nothing was installed, and with a file in use.
#include "tests/e2e/scenario.h"
#include "app/messages.h"
#include "tests/windows/wintest.h"

#define MARKER_KEY L"SOFTWARE\\BrellinAudioPlugins"

static bool installEverything(const Machine& m, const ScenarioEnvironment& env) {
    Installer installer;
    HWND selection = startAtSelection(&installer, installerPath(), &env);
    if (!selection) { waitForExit(&installer, 0); return false; }
    click(selection, IDOK);
    ShownBox box;
    bool shown = waitForMessageBox(&installer, &box);
    if (shown) answerMessageBox(&box);
    return shown && waitForExit(&installer) == 0 && fileExists(m.standalone) && fileExists(m.fl32);
}

// Presses Uninstall (Alt+U) and returns the text of the one message box, checked for caption and owner.
static void uninstall(const ScenarioEnvironment& env, const char16_t* expectedText) {
    Installer installer;
    HWND selection = startAtSelection(&installer, installerPath(), &env);
    CHECK(selection != nullptr);
    if (!selection) { waitForExit(&installer, 0); return; }
    pressMnemonic(selection, L'u');
    ShownBox box;
    EXPECT_MESSAGE_BOX(&installer, &box);
    CHECK_WSTR(box.text, expectedText);
    CHECK_WSTR(box.caption, L"Moravel");
    CHECK(box.owner == selection);
    answerMessageBox(&box);
    CHECK_EQ(waitForExit(&installer), 0u);
}

TEST(uninstall_after_install_removes_files_and_keeps_the_marker) {
    Machine m;
    prepareMachine(&m, "uninstall_after_install");
    setFlStudioValue(m.flStudioExe);
    ScenarioEnvironment env = scenarioEnvironment(&m);
    CHECK(installEverything(m, env));
    uninstall(env, MSG_UNINSTALLED);
    for (const wchar_t* path : {m.clap64, m.clap32, m.fl64, m.fl32, m.standalone, m.shortcut}) CHECK_ABSENT(path);
    CHECK_ABSENT(m.flFolder);
    CHECK_MSG(folderExists(m.appFolder), "%ls: %s, want a folder", m.appFolder, describePath(m.appFolder));
    CHECK_EQ(readDword(MARKER_KEY, L"HasAnyPaidPlugins"), 1);
}

TEST(uninstall_on_a_clean_machine) {
    Machine m;
    prepareMachine(&m, "uninstall_clean");
    RemoveDirectoryW(m.appFolder);
    ScenarioEnvironment env = scenarioEnvironment(&m);
    uninstall(env, MSG_UNINSTALLED);
    // The application folder is made even when there is nothing to remove.
    CHECK_MSG(folderExists(m.appFolder), "%ls: %s, want a folder", m.appFolder, describePath(m.appFolder));
    CHECK(!keyExists(MARKER_KEY));
}

TEST(uninstall_with_a_plugin_in_use_says_so) {
    Machine m;
    prepareMachine(&m, "uninstall_in_use");
    setFlStudioValue(m.flStudioExe);
    ScenarioEnvironment env = scenarioEnvironment(&m);
    CHECK(installEverything(m, env));
    HANDLE held = holdOpen(m.fl64);
    CHECK(held != INVALID_HANDLE_VALUE);
    uninstall(env, MSG_UNINSTALL_INCOMPLETE);
    CloseHandle(held);
    CHECK_MSG(fileExists(m.fl64), "%ls: %s, want a file", m.fl64, describePath(m.fl64));
    for (const wchar_t* path : {m.clap64, m.clap32, m.fl32, m.standalone, m.shortcut}) CHECK_ABSENT(path);
}
