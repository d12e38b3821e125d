// Installations that fail: a destination held open by another program, and a corrupted payload (a changed
// store byte, and an entry renamed to another entry's key).
#include "tests/e2e/scenario.h"
#include "base/messages.h"
#include "tests/windows/wintest.h"
#include <string>

// An older 32-bit CLAP plug-in that another program holds: opened without sharing, as a program reading it
// would, and loaded as a DLL, as a host that scanned it does. It cannot be replaced: the folder message, the
// older file as it was, nothing left beside it, and nothing after it installed.
TEST(destination_held_open_stops_the_installation) {
    const wchar_t* dll = plantedDllPath();
    for (bool loaded : {false, true}) {
        Scenario s;
        prepareScenario(&s, loaded ? "held_loaded" : "held_open", WITH_FL_STUDIO);
        const Machine& m = s.m;
        const std::wstring folder = std::wstring(m.common86) + L"\\CLAP";
        makeFolders(folder.c_str());
        if (loaded) CopyFileW(dll, m.clap32, FALSE);
        else writeFileBytes(m.clap32, "in use");
        HMODULE module = loaded ? LoadLibraryExW(m.clap32, nullptr, DONT_RESOLVE_DLL_REFERENCES) : nullptr;
        HANDLE held = loaded ? INVALID_HANDLE_VALUE : holdOpen(m.clap32);
        CHECK_MSG(module || held != INVALID_HANDLE_VALUE, "%ls not held (error %lu)", m.clap32, GetLastError());
        const bool reached = REACH_SELECTION(&s, installerPath());
        if (reached) {
            click(s.selection, IDOK);
            ANSWER_BOX(&s.installer, MSG_FOLDER_INACCESSIBLE, L"Error", s.selection);
            // No success message: the process ends on its own after the pause.
            ShownBox late;
            CHECK(!waitForMessageBox(&s.installer, &late, 10000));
            CHECK_EQ(waitForExit(&s.installer), 0u);
        }
        if (module) FreeLibrary(module);
        if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
        if (!reached) return;
        CHECK_PAYLOAD(m.clap64, "bin/target_cl64");
        CHECK_MSG(loaded ? sameBytes(m.clap32, dll) : holdsBytes(m.clap32, "in use"), "%ls: %s, want it as it was",
                  m.clap32, describePath(m.clap32));
        CHECK_ABSENT((folder + L"\\Moravel (32-bit)~clap").c_str());
        for (const wchar_t* path : {m.fl64, m.fl32, m.standalone, m.shortcut}) CHECK_ABSENT(path);
    }
}

// A changed byte at the start of the raw store, and in the first block of a compressed store's frame: entry 1,
// installed first, cannot be trusted, so nothing is written.
TEST(corrupted_payload_ends_with_exit_code_1) {
    const struct { const char* name; const wchar_t* exe; } installers[] = {
        {"corrupted", corruptedInstallerPath()}, {"corrupted_compressed", compressedCorruptedInstallerPath()}};
    for (const auto& installer : installers) {
        printf("    %s\n", installer.name);
        Scenario s;
        prepareScenario(&s, installer.name, WITH_FL_STUDIO);
        const Machine& m = s.m;
        if (!REACH_SELECTION(&s, installer.exe)) return;
        click(s.selection, IDOK);
        ANSWER_BOX(&s.installer, MSG_CORRUPTED, L"Error", nullptr);
        CHECK_EQ(waitForExit(&s.installer), 1u);
        CHECK_ABSENT(m.common);
        CHECK_ABSENT(m.common86);
        CHECK_ABSENT(m.flFolder);
        CHECK_ABSENT(m.standalone);
        CHECK_ABSENT(m.shortcut);
    }
}

// Entry 1 carries the name of entry 3, and every hash still holds. With CLAP (64-bit) unticked, the CLAP
// 32-bit file goes first and is sound; the FL Studio plug-in's key is then named twice, which must end the
// installation as corrupted rather than write the CLAP 64-bit build as Moravel_x64.dll.
TEST(entry_renamed_to_another_key_ends_with_exit_code_1) {
    Machine m;
    prepareMachine(&m, "renamed");
    setFlStudioValue(m.flStudioExe);
    ScenarioEnvironment env = scenarioEnvironment(&m);
    Installer installer;
    HWND selection = startAtSelection(&installer, renamedInstallerPath(), &env);
    CHECK(selection != nullptr);
    if (!selection) return;
    click(selection, 1000);
    WAIT_FOR_STATES(selection, {1000, true, BST_UNCHECKED}, {1001, true, BST_CHECKED},
                    {1002, true, BST_CHECKED}, {1003, true, BST_CHECKED}, {IDOK, true, -1});
    click(selection, IDOK);
    ShownBox box;
    EXPECT_MESSAGE_BOX(&installer, &box);
    CHECK_WSTR(box.text, MSG_CORRUPTED);
    CHECK_WSTR(box.caption, L"Error");
    answerMessageBox(&box);
    CHECK_EQ(waitForExit(&installer), 1u);
    CHECK_ABSENT(m.clap64);
    CHECK_PAYLOAD(m.clap32, "bin/target_cl32");  // written before the damaged name was met
    CHECK_ABSENT(m.flFolder);
    CHECK_ABSENT(m.fl64);
    CHECK_ABSENT(m.fl32);
    CHECK_ABSENT(m.standalone);
    CHECK_ABSENT(m.shortcut);
}
