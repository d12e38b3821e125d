// Installations that fail: a destination held open by another program, and a corrupted payload.
#include "tests/e2e/scenario.h"
#include "app/messages.h"
#include "tests/windows/wintest.h"

TEST(destination_held_open_stops_the_installation) {
    Machine m;
    prepareMachine(&m, "held_open");
    setFlStudioValue(m.flStudioExe);
    wchar_t folder[PATH_UNITS];
    swprintf(folder, PATH_UNITS, L"%ls\\CLAP", m.common86);
    makeFolders(folder);
    writeFileBytes(m.clap32, "in use");
    HANDLE held = holdOpen(m.clap32);
    CHECK(held != INVALID_HANDLE_VALUE);

    ScenarioEnvironment env = scenarioEnvironment(&m);
    Installer installer;
    HWND selection = startAtSelection(&installer, installerPath(), &env);
    CHECK(selection != nullptr);
    if (!selection) { CloseHandle(held); return; }
    click(selection, IDOK);
    ShownBox box;
    EXPECT_MESSAGE_BOX(&installer, &box);
    CHECK_WSTR(box.text, MSG_FOLDER_INACCESSIBLE);
    CHECK_WSTR(box.caption, L"Error");
    CHECK(box.owner == selection);
    answerMessageBox(&box);
    // No success message: the process ends on its own after the pause.
    ShownBox late;
    CHECK(!waitForMessageBox(&installer, &late, 10000));
    CHECK_EQ(waitForExit(&installer), 0u);
    CloseHandle(held);

    CHECK_PAYLOAD(m.clap64, "bin/target_cl64");
    CHECK(holdsBytes(m.clap32, "in use"));
    CHECK_ABSENT(m.fl64);
    CHECK_ABSENT(m.fl32);
    CHECK_ABSENT(m.standalone);
    CHECK_ABSENT(m.shortcut);
}

TEST(corrupted_payload_ends_with_exit_code_1) {
    Machine m;
    prepareMachine(&m, "corrupted");
    setFlStudioValue(m.flStudioExe);
    ScenarioEnvironment env = scenarioEnvironment(&m);
    Installer installer;
    HWND selection = startAtSelection(&installer, corruptedInstallerPath(), &env);
    CHECK(selection != nullptr);
    if (!selection) return;
    click(selection, IDOK);
    ShownBox box;
    EXPECT_MESSAGE_BOX(&installer, &box);
    CHECK_WSTR(box.text, MSG_CORRUPTED);
    CHECK_WSTR(box.caption, L"Error");
    answerMessageBox(&box);
    CHECK_EQ(waitForExit(&installer), 1u);
    CHECK_ABSENT(m.common);
    CHECK_ABSENT(m.common86);
    CHECK_ABSENT(m.flFolder);
    CHECK_ABSENT(m.standalone);
    CHECK_ABSENT(m.shortcut);
}
