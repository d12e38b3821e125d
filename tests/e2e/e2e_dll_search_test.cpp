// An installer started from a folder that also holds a planted DLL must not load it: start-up limits the DLL
// search to System32 before anything is loaded by name. Under Wine the name loaded after start-up is the
// graphics driver, null.dll (user32 loads it by name when the first window is made); the DLLs the common
// controls pull in are loaded while the process starts, before any code of the installer runs. Wine prefers
// its builtin DLLs to a file of the same name on the search path, so ctest runs this program with
// WINEDLLOVERRIDES=null=n,b, which makes that one name load the way Windows loads a DLL that is not a known DLL.
#define WINTEST_CUSTOM_MAIN
#include "tests/e2e/scenario.h"
#include <string.h>
#include <wchar.h>
#include "base/messages.h"
#include "tests/windows/wintest.h"

#define PLANTED_NAME L"null.dll"

// Runs a copy of this program from the planted folder in probe mode: a program that does not limit its DLL
// search and loads the name as the common controls would.
static DWORD runProbe(const ScenarioEnvironment& env, const wchar_t* folder) {
    wchar_t self[PATH_UNITS], probe[PATH_UNITS], commandLine[PATH_UNITS];
    GetModuleFileNameW(nullptr, self, PATH_UNITS);
    swprintf(probe, PATH_UNITS, L"%ls\\probe.exe", folder);
    CopyFileW(self, probe, FALSE);
    swprintf(commandLine, PATH_UNITS, L"\"%ls\" --probe", probe);
    Installer child;
    if (!startInstaller(&child, probe, env.overrides, SCENARIO_OVERRIDES, commandLine)) return 99;
    return waitForExit(&child);
}

static void copyInto(const wchar_t* source, const wchar_t* folder, const wchar_t* name, wchar_t* out) {
    swprintf(out, PATH_UNITS, L"%ls\\%ls", folder, name);
    CopyFileW(source, out, FALSE);
}

TEST(a_dll_planted_beside_the_installer_stays_unloaded) {
    Scenario s;
    prepareScenario(&s, "planted_dll", 0);
    const Machine& m = s.m;
    wchar_t folder[PATH_UNITS], exe[PATH_UNITS], dll[PATH_UNITS], mark[PATH_UNITS];
    swprintf(folder, PATH_UNITS, L"%ls\\Downloads", m.scratch);
    makeFolders(folder);
    copyInto(installerPath(), folder, L"MoravelSetup.exe", exe);
    copyInto(plantedDllPath(), folder, PLANTED_NAME, dll);
    swprintf(mark, PATH_UNITS, L"%ls\\planted_dll_was_loaded", folder);

    // The control: a program that does not limit its search takes the planted file over the system's.
    CHECK_EQ(runProbe(s.env, folder), 0u);
    CHECK_MSG(fileExists(mark), "%ls: %s, want a file", mark, describePath(mark));
    DeleteFileW(mark);

    if (!REACH_SELECTION(&s, exe)) return;
    // The dialogs are up, so the graphics driver is loaded: from System32, as the missing mark shows.
    CHECK_ABSENT(mark);
    // Install the standalone application too, which brings in COM and the shell link.
    for (int id : {1000, 1001}) click(s.selection, id);
    WAIT_FOR_STATES(s.selection, {1000, true, BST_UNCHECKED}, {1001, true, BST_UNCHECKED});
    click(s.selection, IDOK);
    ANSWER_BOX(&s.installer, MSG_INSTALL_SUCCEEDED, L"Moravel", s.selection);
    CHECK_EQ(waitForExit(&s.installer), 0u);
    CHECK_ABSENT(mark);
}

int main(int argc, char** argv) {
    if (argc > 1 && strcmp(argv[1], "--probe") == 0) {
        LoadLibraryW(PLANTED_NAME);
        return 0;
    }
    return wintest::runAll();
}
