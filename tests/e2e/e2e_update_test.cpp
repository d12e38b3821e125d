// Installing over a working installation: whatever goes wrong, the plug-in that was there is kept whole.
// A run killed while it writes, and (with --small-disk FOLDER, a small file system mounted there by the test
// command) a disk with no room for the new plug-in beside the old one.
#define WINTEST_CUSTOM_MAIN
#include "tests/e2e/scenario.h"
#include "base/messages.h"
#include "tests/windows/wintest.h"
#include <stdio.h>
#include <wchar.h>
#include <algorithm>
#include <string>
#include <vector>

// An older build of the 64-bit CLAP plug-in, size bytes of a pattern no payload file has.
static std::string olderBuild(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = char("older Moravel build "[i % 20]);
    return bytes;
}

static bool writeOlderBuild(const wchar_t* path, const std::string& bytes) {
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

static long long fileSize(const wchar_t* path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path, GetFileExInfoStandard, &data)) return -1;
    return (long long)data.nFileSizeHigh << 32 | data.nFileSizeLow;
}

// The names in folder, sorted and joined by '|': what a user sees there.
static std::wstring listing(const wchar_t* folder) {
    std::vector<std::wstring> names;
    wchar_t pattern[PATH_UNITS];
    swprintf(pattern, PATH_UNITS, L"%ls\\*", folder);
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern, &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (wcscmp(found.cFileName, L".") != 0 && wcscmp(found.cFileName, L"..") != 0) names.push_back(found.cFileName);
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    std::sort(names.begin(), names.end());
    std::wstring joined;
    for (const std::wstring& name : names) joined += (joined.empty() ? L"" : L"|") + name;
    return joined;
}

// Waits until anything in the CLAP folder differs from the older build alone (a new name, another size),
// at most 60 s; false when nothing changed.
static bool waitForTheFirstWrite(const wchar_t* folder, const wchar_t* plugin, long long olderSize) {
    for (DWORD start = GetTickCount(); GetTickCount() - start < 60000;) {
        if (listing(folder) != L"Moravel.clap" || fileSize(plugin) != olderSize) return true;
    }
    return false;
}

static void installOver(Scenario* s) {
    if (!REACH_SELECTION(s, installerPath())) return;
    click(s->selection, IDOK);
    ANSWER_BOX(&s->installer, MSG_INSTALL_SUCCEEDED, L"Moravel", s->selection);
    CHECK_EQ(waitForExit(&s->installer), 0u);
}

// The installer is ended the way Task Manager ends it, as soon as it starts writing the plug-in and a few
// moments later. The plug-in is then the older build or the new one, whole; the next install leaves only the
// new plug-in in the folder.
TEST(a_run_killed_while_it_replaces_the_plugin_leaves_the_old_or_the_new_one) {
    const std::string older = olderBuild(100000);
    for (DWORD delayMs : {0u, 3u, 15u, 60u}) {
        char name[64];
        snprintf(name, sizeof name, "killed_after_%lu_ms", (unsigned long)delayMs);
        printf("    %s\n", name);
        Scenario s;
        prepareScenario(&s, name, 0);
        const Machine& m = s.m;
        wchar_t folder[PATH_UNITS];
        swprintf(folder, PATH_UNITS, L"%ls\\CLAP", m.common);
        makeFolders(folder);
        CHECK(writeOlderBuild(m.clap64, older));
        if (!REACH_SELECTION(&s, installerPath())) return;
        click(s.selection, IDOK);
        const bool wrote = waitForTheFirstWrite(folder, m.clap64, (long long)older.size());
        CHECK_MSG(wrote, "%ls: still \"%ls\" after 60 s", folder, listing(folder).c_str());
        Sleep(delayMs);
        TerminateProcess(s.installer.process.hProcess, 9);
        CHECK_EQ(waitForExit(&s.installer), 9u);
        CHECK_MSG(holdsBytes(m.clap64, older.c_str()) || matchesPayload(m.clap64, "bin/target_cl64"),
                  "killed %lu ms after the first write: %ls is %s, want the older build or the new one",
                  (unsigned long)delayMs, m.clap64, describePath(m.clap64));

        installOver(&s);
        CHECK_PAYLOAD(m.clap64, "bin/target_cl64");
        CHECK_WSTR(listing(folder).c_str(), L"Moravel.clap");
    }
}

// The CLAP folder on a small file system that holds an older build and has less room left than the new
// plug-in needs, though the two would fit one after the other: the folder message, and the older build kept.
static const wchar_t* smallDisk;

static void aFullDiskKeepsTheOlderPlugin() {
    Scenario s;
    prepareScenario(&s, "small_disk", WITH_FL_STUDIO);
    Machine& m = s.m;
    swprintf(m.common, PATH_UNITS, L"%ls\\common", smallDisk);
    swprintf(m.clap64, PATH_UNITS, L"%ls\\CLAP\\Moravel.clap", m.common);
    s.env = scenarioEnvironment(&m);
    wchar_t folder[PATH_UNITS], input[PATH_UNITS];
    swprintf(folder, PATH_UNITS, L"%ls\\CLAP", m.common);
    removeTree(m.common);
    makeFolders(folder);
    swprintf(input, PATH_UNITS, L"%ls\\bin\\target_cl64", payloadFolder());
    const long long newSize = fileSize(input);
    ULARGE_INTEGER free;
    CHECK(GetDiskFreeSpaceExW(folder, &free, nullptr, nullptr));
    // Half the new plug-in's size stays free: writing it beside the older build must fail, while writing it
    // in the older build's place would have fitted.
    const long long olderSize = ((long long)free.QuadPart - newSize / 2) / 4096 * 4096;
    const bool small = olderSize >= newSize / 2 && (long long)free.QuadPart < 4 * newSize;
    CHECK_MSG(small, "%ls: %llu bytes free, want from %lld to %lld (is the small file system mounted?)", folder,
              (unsigned long long)free.QuadPart, newSize, 4 * newSize);
    if (!small) return;
    const std::string older = olderBuild(size_t(olderSize));
    CHECK(writeOlderBuild(m.clap64, older));

    if (!REACH_SELECTION(&s, installerPath())) return;
    click(s.selection, IDOK);
    ANSWER_BOX(&s.installer, MSG_FOLDER_INACCESSIBLE, L"Error", s.selection);
    ShownBox late;
    CHECK(!waitForMessageBox(&s.installer, &late, 10000));
    CHECK_EQ(waitForExit(&s.installer), 0u);
    CHECK_MSG(holdsBytes(m.clap64, older.c_str()), "%ls: %s, want the older build of %lld bytes", m.clap64,
              describePath(m.clap64), olderSize);
    CHECK_WSTR(listing(folder).c_str(), L"Moravel.clap");
    // Nothing after the failed plug-in is installed.
    CHECK_ABSENT(m.clap32);
    CHECK_ABSENT(m.fl64);
    CHECK_ABSENT(m.standalone);
    removeTree(m.common);
}

int main(int argc, char** argv) {
    if (argc > 2 && strcmp(argv[1], "--small-disk") == 0) {
        static wchar_t folder[PATH_UNITS];
        swprintf(folder, PATH_UNITS, L"%hs", argv[2]);
        smallDisk = folder;
        static wintest::Case fullDisk = {"a_full_disk_keeps_the_older_plugin", aFullDiskKeepsTheOlderPlugin, nullptr};
        wintest::firstCase() = &fullDisk;
    }
    return wintest::runAll();
}
