// Uninstall: after an installation (with what killed installs left beside its files), on a machine where
// nothing was installed, and with a file in use.
#include "tests/e2e/scenario.h"
#include "base/messages.h"
#include "tests/windows/wintest.h"
#include <string>
#include <vector>

// Installs every target and checks that it succeeded.
static void installEverything(Scenario* s) {
    if (!REACH_SELECTION(s, installerPath())) return;
    click(s->selection, IDOK);
    ANSWER_BOX(&s->installer, MSG_INSTALL_SUCCEEDED, L"Moravel", s->selection);
    CHECK_EQ(waitForExit(&s->installer), 0u);
    CHECK(fileExists(s->m.standalone) && fileExists(s->m.fl32));
}

// Presses Uninstall (Alt+U) and checks the one message box's text, caption and owner.
static void uninstall(Scenario* s, const char16_t* expectedText) {
    if (!REACH_SELECTION(s, installerPath())) return;
    pressMnemonic(s->selection, L'u');
    ANSWER_BOX(&s->installer, expectedText, L"Moravel", s->selection);
    CHECK_EQ(waitForExit(&s->installer), 0u);
}

TEST(uninstall_after_install_removes_files_and_keeps_the_marker) {
    Scenario s;
    prepareScenario(&s, "uninstall_after_install", WITH_FL_STUDIO);
    const Machine& m = s.m;
    installEverything(&s);
    std::vector<std::wstring> staged;  // what installers killed while writing each file would have left
    for (std::wstring path : {m.clap64, m.clap32, m.fl64, m.fl32, m.standalone}) {
        staged.push_back(path.replace(path.rfind(L'.'), 1, L"~"));
        writeFileBytes(path.c_str(), "part of a newer build");
    }
    uninstall(&s, MSG_UNINSTALLED);
    for (const wchar_t* path : {m.clap64, m.clap32, m.fl64, m.fl32, m.standalone, m.shortcut}) CHECK_ABSENT(path);
    for (const std::wstring& path : staged) CHECK_ABSENT(path.c_str());
    CHECK_ABSENT(m.flFolder);
    CHECK_MSG(folderExists(m.appFolder), "%ls: %s, want a folder", m.appFolder, describePath(m.appFolder));
    CHECK_EQ(readDword(MARKER_KEY, L"HasAnyPaidPlugins"), 1);
}

TEST(uninstall_on_a_clean_machine) {
    Scenario s;
    prepareScenario(&s, "uninstall_clean", 0);
    const Machine& m = s.m;
    RemoveDirectoryW(m.appFolder);
    uninstall(&s, MSG_UNINSTALLED);
    // The application folder is made even when there is nothing to remove.
    CHECK_MSG(folderExists(m.appFolder), "%ls: %s, want a folder", m.appFolder, describePath(m.appFolder));
    CHECK(!keyExists(MARKER_KEY));
}

TEST(uninstall_with_a_plugin_in_use_says_so) {
    Scenario s;
    prepareScenario(&s, "uninstall_in_use", WITH_FL_STUDIO);
    const Machine& m = s.m;
    installEverything(&s);
    HANDLE held = holdOpen(m.fl64);
    CHECK(held != INVALID_HANDLE_VALUE);
    uninstall(&s, MSG_UNINSTALL_INCOMPLETE);
    CloseHandle(held);
    CHECK_MSG(fileExists(m.fl64), "%ls: %s, want a file", m.fl64, describePath(m.fl64));
    for (const wchar_t* path : {m.clap64, m.clap32, m.fl32, m.standalone, m.shortcut}) CHECK_ABSENT(path);
}
