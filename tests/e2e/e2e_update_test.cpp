// Installing over a working installation keeps the plug-in that was there whole: a run killed while it writes,
// and (with --small-disk FOLDER, a small file system the test command mounted there) a disk with no room for
// the new plug-in beside the old one.
#define WINTEST_CUSTOM_MAIN
#include "tests/e2e/scenario.h"
#include "base/messages.h"
#include "tests/windows/wintest.h"
#include <stdio.h>
#include <wchar.h>
#include <string>

// The names in folder, in the order the file system lists them, joined by '|'.
static std::wstring listing(const wchar_t* folder) {
    std::wstring names, pattern = std::wstring(folder) + L"\\*";
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found))
        if (found.cFileName[0] != L'.') names += (names.empty() ? L"" : L"|") + std::wstring(found.cFileName);
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
    return names;
}

// An older build of the 64-bit CLAP plug-in (one repeated byte, unlike any payload file) in its place, then
// the installer started and Install pressed. False when the selection dialog did not come.
static bool installOverOlderBuild(Scenario* s, const std::string& older) {
    makeFolders((std::wstring(s->m.common) + L"\\CLAP").c_str());
    writeFileBytes(s->m.clap64, older.c_str());
    s->env = scenarioEnvironment(&s->m);
    if (!REACH_SELECTION(s, installerPath())) return false;
    click(s->selection, IDOK);
    return true;
}

// Ended the way Task Manager ends it, as soon as the first write shows and a few moments later:
// the plug-in is the older build or the new one, whole, and the next install leaves only the new plug-in.
TEST(a_run_killed_while_it_replaces_the_plugin_leaves_the_old_or_the_new_one) {
    const std::string older(100000, 'o');
    for (DWORD delayMs : {0u, 3u, 15u, 60u}) {
        char name[64];
        snprintf(name, sizeof name, "killed_after_%lu_ms", (unsigned long)delayMs);
        Scenario s;
        prepareScenario(&s, name, 0);
        const Machine& m = s.m;
        const std::wstring folder = std::wstring(m.common) + L"\\CLAP";
        if (!installOverOlderBuild(&s, older)) return;
        // Watched without opening anything (a watcher that opened the plug-in would hold it open itself), as
        // closely as it can be: the first sign of a write is a staging file, or the plug-in cut short.
        const std::wstring staging = folder + L"\\Moravel~clap";
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        DWORD start = GetTickCount();
        while (GetFileAttributesExW(m.clap64, GetFileExInfoStandard, &data) && data.nFileSizeLow == older.size() &&
               GetFileAttributesW(staging.c_str()) == INVALID_FILE_ATTRIBUTES && GetTickCount() - start < 60000) {}
        CHECK_MSG(GetTickCount() - start < 60000, "%ls: unchanged 60 s after Install", folder.c_str());
        Sleep(delayMs);
        TerminateProcess(s.installer.process.hProcess, 9);
        CHECK_EQ(waitForExit(&s.installer), 9u);
        CHECK_MSG(holdsBytes(m.clap64, older.c_str()) || matchesPayload(m.clap64, "bin/target_cl64"),
                  "killed %lu ms after the first change: %ls is %s, want the older build or the new one",
                  (unsigned long)delayMs, m.clap64, describePath(m.clap64));
        if (!REACH_SELECTION(&s, installerPath())) return;
        click(s.selection, IDOK);
        ANSWER_BOX(&s.installer, MSG_INSTALL_SUCCEEDED, L"Moravel", s.selection);
        CHECK_EQ(waitForExit(&s.installer), 0u);
        CHECK_PAYLOAD(m.clap64, "bin/target_cl64");
        const std::wstring left = listing(folder.c_str());
        CHECK_WSTR(left.c_str(), L"Moravel.clap");
    }
}

// The CLAP folder on a small file system holding an older build, with room for the new plug-in only in the
// older build's place, not beside it: the folder message, the older build kept, nothing else installed.
static void aFullDiskKeepsTheOlderPlugin(const wchar_t* smallDisk) {
    Scenario s;
    prepareScenario(&s, "small_disk", WITH_FL_STUDIO);
    Machine& m = s.m;
    swprintf(m.common, PATH_UNITS, L"%ls\\common", smallDisk);
    swprintf(m.clap64, PATH_UNITS, L"%ls\\CLAP\\Moravel.clap", m.common);
    const std::wstring folder = std::wstring(m.common) + L"\\CLAP";
    const std::wstring input = std::wstring(payloadFolder()) + L"\\bin\\target_cl64";
    removeTree(m.common);
    makeFolders(m.common);
    WIN32_FILE_ATTRIBUTE_DATA data;
    ULARGE_INTEGER free;
    CHECK(GetFileAttributesExW(input.c_str(), GetFileExInfoStandard, &data) &&
          GetDiskFreeSpaceExW(m.common, &free, nullptr, nullptr));
    const long long newSize = data.nFileSizeLow;
    const long long olderSize = ((long long)free.QuadPart - newSize / 2) / 4096 * 4096;
    const bool small = olderSize >= newSize / 2 && (long long)free.QuadPart < 4 * newSize;
    CHECK_MSG(small, "%ls: %llu bytes free for a file of %lld (is the small file system mounted?)", m.common,
              (unsigned long long)free.QuadPart, newSize);
    if (!small) return;
    const std::string older(size_t(olderSize), 'o');
    if (!installOverOlderBuild(&s, older)) return;
    ANSWER_BOX(&s.installer, MSG_FOLDER_INACCESSIBLE, L"Error", s.selection);
    ShownBox late;
    CHECK(!waitForMessageBox(&s.installer, &late, 10000));
    CHECK_EQ(waitForExit(&s.installer), 0u);
    CHECK_MSG(holdsBytes(m.clap64, older.c_str()), "%ls: %s, want the older build", m.clap64, describePath(m.clap64));
    const std::wstring left = listing(folder.c_str());
    CHECK_WSTR(left.c_str(), L"Moravel.clap");
    for (const wchar_t* path : {m.clap32, m.fl64, m.standalone}) CHECK_ABSENT(path);
    removeTree(m.common);
}

int main(int argc, char** argv) {
    static wchar_t smallDisk[PATH_UNITS];
    static wintest::Case fullDisk = {"a_full_disk_keeps_the_older_plugin",
                                     [] { aFullDiskKeepsTheOlderPlugin(smallDisk); }, nullptr};
    if (argc > 2 && strcmp(argv[1], "--small-disk") == 0) {
        swprintf(smallDisk, PATH_UNITS, L"%hs", argv[2]);
        wintest::firstCase() = &fullDisk;
    }
    return wintest::runAll();
}
