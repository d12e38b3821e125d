// Installations that fail: a destination held open by another program, and a corrupted payload.
#include "tests/e2e/scenario.h"
#include "app/messages.h"
#include "tests/windows/wintest.h"

TEST(destination_held_open_stops_the_installation) {
    Scenario s;
    prepareScenario(&s, "held_open", WITH_FL_STUDIO);
    const Machine& m = s.m;
    wchar_t folder[PATH_UNITS];
    swprintf(folder, PATH_UNITS, L"%ls\\CLAP", m.common86);
    makeFolders(folder);
    writeFileBytes(m.clap32, "in use");
    HANDLE held = holdOpen(m.clap32);
    CHECK(held != INVALID_HANDLE_VALUE);

    if (!REACH_SELECTION(&s, installerPath())) { CloseHandle(held); return; }
    click(s.selection, IDOK);
    ANSWER_BOX(&s.installer, MSG_FOLDER_INACCESSIBLE, L"Error", s.selection);
    // No success message: the process ends on its own after the pause.
    ShownBox late;
    CHECK(!waitForMessageBox(&s.installer, &late, 10000));
    CHECK_EQ(waitForExit(&s.installer), 0u);
    CloseHandle(held);

    CHECK_PAYLOAD(m.clap64, "bin/target_cl64");
    CHECK(holdsBytes(m.clap32, "in use"));
    CHECK_ABSENT(m.fl64);
    CHECK_ABSENT(m.fl32);
    CHECK_ABSENT(m.standalone);
    CHECK_ABSENT(m.shortcut);
}

TEST(corrupted_payload_ends_with_exit_code_1) {
    Scenario s;
    prepareScenario(&s, "corrupted", WITH_FL_STUDIO);
    const Machine& m = s.m;
    if (!REACH_SELECTION(&s, corruptedInstallerPath())) return;
    click(s.selection, IDOK);
    ANSWER_BOX(&s.installer, MSG_CORRUPTED, L"Error", nullptr);
    CHECK_EQ(waitForExit(&s.installer), 1u);
    CHECK_ABSENT(m.common);
    CHECK_ABSENT(m.common86);
    CHECK_ABSENT(m.flFolder);
    CHECK_ABSENT(m.standalone);
    CHECK_ABSENT(m.shortcut);
}
