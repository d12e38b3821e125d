// The whole installer over the full-scale payload, driven as a user would, with all four targets ticked:
// the install time from pressing Install to the success message (with and without the fixed 2-second pause),
// the time each payload file took (from the moment the previous one was complete to the moment this one is),
// the installer's peak private memory, and, measured in this process beside it, what each file cannot
// avoid: first touch of a fresh buffer of its size, payloadHash over it, and one WriteFile of it.
// With "over", each file replaces an older build of it: before the run, every destination is given the bytes
// of another payload file (of about the same size, never the same), as an update finds them.
//   install_benchmark INSTALLER PAYLOAD_FOLDER SCRATCH_FOLDER [over]
#include <windows.h>
#include <psapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#include "payload/payload_format.h"
#include "payload/payload_hash.h"
#include "tests/e2e/ui_driver.h"

static double now() {
    static LARGE_INTEGER frequency;
    if (!frequency.QuadPart) QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return double(t.QuadPart) / double(frequency.QuadPart);
}

static long long sizeOf(const wchar_t* path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path, GetFileExInfoStandard, &data)) return -1;
    return (long long)data.nFileSizeHigh << 32 | data.nFileSizeLow;
}

struct PayloadFile {
    const char* key;
    wchar_t destination[MAX_PATH];
    long long size;
    double done;  // seconds after Install was pressed
};

// The installer's memory as Linux counts it (RssAnon and RssFile of /proc/PID/status): Wine runs each Windows
// process as one Unix process whose first command-line word is the exe's Windows path. Anonymous pages are the
// process's own; file-backed ones are mapped from files and shared. Found by the exe's file name.
struct UnixMemory {
    long long anonKb = -1, fileKb = -1;
};

static bool readSmallFile(const wchar_t* path, char* text, DWORD capacity) {
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD total = 0, got = 0;
    while (total + 1 < capacity && ReadFile(file, text + total, capacity - 1 - total, &got, nullptr) && got > 0) total += got;
    CloseHandle(file);
    text[total] = 0;
    return total > 0;
}

static long long statusField(const char* status, const char* name) {
    const char* at = strstr(status, name);
    return at ? atoll(at + strlen(name)) : -1;
}

static const wchar_t* fileName(const wchar_t* path) {
    const wchar_t* name = path;
    for (const wchar_t* p = path; *p; ++p)
        if (*p == L'\\' || *p == L'/') name = p + 1;
    return name;
}

static UnixMemory installerMemory(const wchar_t* installer) {
    UnixMemory memory;
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW(L"Z:\\proc\\*", &entry);
    if (find == INVALID_HANDLE_VALUE) return memory;
    do {
        if (entry.cFileName[0] < L'0' || entry.cFileName[0] > L'9') continue;
        wchar_t path[MAX_PATH];
        char text[8192];
        swprintf(path, MAX_PATH, L"Z:\\proc\\%ls\\cmdline", entry.cFileName);
        wchar_t first[MAX_PATH] = {};
        if (!readSmallFile(path, text, sizeof text)) continue;
        swprintf(first, MAX_PATH, L"%hs", text);  // the first word ends at its NUL
        if (_wcsicmp(fileName(first), fileName(installer)) != 0) continue;
        swprintf(path, MAX_PATH, L"Z:\\proc\\%ls\\status", entry.cFileName);
        if (!readSmallFile(path, text, sizeof text)) continue;
        memory.anonKb = statusField(text, "RssAnon:");
        memory.fileKb = statusField(text, "RssFile:");
        break;
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    return memory;
}

// First touch + hash + write of a buffer of the file's size, as extractEntry must do them at the least.
static double unavoidable(long long size, const wchar_t* scratch, double* touch, double* hash, double* write) {
    wchar_t path[MAX_PATH];
    swprintf(path, MAX_PATH, L"%ls\\baseline.bin", scratch);
    Sleep(2000);  // let the kernel write back what came before
    double t0 = now();
    auto* buffer = static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), 0, SIZE_T(size)));
    for (long long i = 0; i < size; i += 4096) buffer[i] = uint8_t(i >> 12);
    double t1 = now();
    volatile uint32_t h = payloadHash(buffer, uint32_t(size));
    (void)h;
    double t2 = now();
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, buffer, DWORD(size), &written, nullptr);
    CloseHandle(file);
    double t3 = now();
    HeapFree(GetProcessHeap(), 0, buffer);
    DeleteFileW(path);
    *touch = t1 - t0;
    *hash = t2 - t1;
    *write = t3 - t2;
    return t3 - t0;
}

int main(int argc, char** argv) {
    if (argc < 4) return 2;
    wchar_t installer[MAX_PATH], payload[MAX_PATH], scratch[MAX_PATH];
    swprintf(installer, MAX_PATH, L"%hs", argv[1]);
    swprintf(payload, MAX_PATH, L"%hs", argv[2]);
    swprintf(scratch, MAX_PATH, L"%hs", argv[3]);
    wchar_t common[MAX_PATH], common86[MAX_PATH], flExe[MAX_PATH], appData[MAX_PATH] = {};
    swprintf(common, MAX_PATH, L"%ls\\common", scratch);
    swprintf(common86, MAX_PATH, L"%ls\\common86", scratch);
    swprintf(flExe, MAX_PATH, L"%ls\\fl\\FL64.exe", scratch);
    GetEnvironmentVariableW(L"APPDATA", appData, MAX_PATH);

    PayloadFile files[5] = {{ENTRY_KEY_CLAP64, {}, 0, 0}, {ENTRY_KEY_CLAP32, {}, 0, 0}, {ENTRY_KEY_FL64, {}, 0, 0},
                            {ENTRY_KEY_FL32, {}, 0, 0}, {ENTRY_KEY_STANDALONE, {}, 0, 0}};
    swprintf(files[0].destination, MAX_PATH, L"%ls\\CLAP\\Moravel.clap", common);
    swprintf(files[1].destination, MAX_PATH, L"%ls\\CLAP\\Moravel (32-bit).clap", common86);
    swprintf(files[2].destination, MAX_PATH, L"%ls\\fl\\Plugins\\Fruity\\Generators\\Moravel\\Moravel_x64.dll", scratch);
    swprintf(files[3].destination, MAX_PATH, L"%ls\\fl\\Plugins\\Fruity\\Generators\\Moravel\\Moravel.dll", scratch);
    swprintf(files[4].destination, MAX_PATH, L"%ls\\BrellinAudioPlugins\\Moravel Standalone.exe", appData);
    const bool over = argc > 4 && strcmp(argv[4], "over") == 0;
    wchar_t inputs[5][MAX_PATH];
    for (int i = 0; i < 5; ++i) {
        swprintf(inputs[i], MAX_PATH, L"%ls\\%hs", payload, files[i].key);
        for (wchar_t* p = inputs[i]; *p; ++p)
            if (*p == L'/') *p = L'\\';
        files[i].size = sizeOf(inputs[i]);
        DeleteFileW(files[i].destination);
    }
    for (int i = 0; over && i < 5; ++i) {
        wchar_t folder[MAX_PATH];
        wcscpy(folder, files[i].destination);
        for (wchar_t* p = folder + 3; *p; ++p)
            if (*p == L'\\') *p = 0, CreateDirectoryW(folder, nullptr), *p = L'\\';
        if (!CopyFileW(inputs[(i + 4) % 5], files[i].destination, FALSE)) return 6;
        // On the disk, as an installation of long ago is, so that writing it back does not fall in the run.
        HANDLE older = CreateFileW(files[i].destination, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        FlushFileBuffers(older);
        CloseHandle(older);
    }
    HKEY key;
    RegCreateKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\Image-Line\\Shared\\Paths", 0, nullptr, 0, KEY_ALL_ACCESS,
                    nullptr, &key, nullptr);
    RegSetValueExW(key, L"FL Studio", 0, REG_SZ, reinterpret_cast<const BYTE*>(flExe),
                   DWORD((wcslen(flExe) + 1) * sizeof(wchar_t)));
    RegCloseKey(key);

    const EnvOverride env[] = {{L"COMMONPROGRAMFILES", common}, {L"CommonProgramW6432", common},
                               {L"COMMONPROGRAMFILES(X86)", common86}};
    Installer run;
    double started = now();
    if (!startInstaller(&run, installer, env, 3)) return 3;
    HWND license = waitForDialog(&run, L"&Agree");
    if (!license) return 4;
    double licenseShown = now() - started;
    Sleep(500);  // the dialog painted and idle
    UnixMemory atLicense = installerMemory(installer);
    click(license, IDOK);
    HWND selection = waitForDialog(&run, L"&Install");
    if (!selection) return 5;
    Sleep(500);
    click(selection, IDOK);
    double pressed = now();
    SIZE_T peakPrivate = 0;
    int next = 0;
    HWND box = nullptr;
    while (!box) {
        PROCESS_MEMORY_COUNTERS_EX memory = {};
        memory.cb = sizeof memory;
        if (GetProcessMemoryInfo(run.process.hProcess, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory))
            // Wine leaves PrivateUsage at 0; PagefileUsage is the same commit charge there.
            if (memory.PagefileUsage > peakPrivate) peakPrivate = memory.PagefileUsage;
        while (next < 5 && sizeOf(files[next].destination) == files[next].size) files[next++].done = now() - pressed;
        HWND found = FindWindowW(L"#32770", nullptr);
        for (HWND w = found; w; w = FindWindowExW(nullptr, w, L"#32770", nullptr)) {
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            if (pid == run.process.dwProcessId && w != selection && IsWindowVisible(w) && GetDlgItem(w, 0xFFFF)) box = w;
        }
        if (hasExited(&run, 2)) break;
    }
    double finished = now() - pressed;
    UnixMemory atSuccess = installerMemory(installer);
    PROCESS_MEMORY_COUNTERS_EX memory = {};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(run.process.hProcess, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory);
    wchar_t text[256] = {};
    if (box) GetDlgItemTextW(box, 0xFFFF, text, 256);
    if (box) PostMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    DWORD code = waitForExit(&run);

    printf("license dialog shown %.3f s after start\n", licenseShown);
    printf("memory at the license dialog: %lld kB anonymous, %lld kB file-backed\n", atLicense.anonKb, atLicense.fileKb);
    printf("memory at the success message: %lld kB anonymous, %lld kB file-backed\n", atSuccess.anonKb,
           atSuccess.fileKb);
    printf("install: %.2f s from Install to the success message, %.2f s without the fixed 2 s pause\n", finished,
           finished - 2.0);
    printf("exit code %lu, message \"%ls\"\n", code, text);
    printf("peak private bytes: %.1f MB polled, %.1f MB PeakPagefileUsage\n", peakPrivate / 1e6,
           memory.PeakPagefileUsage / 1e6);
    printf("%-16s %10s %8s %8s %8s %8s %8s %6s\n", "file", "bytes", "install", "touch", "hash", "write", "sum",
           "ratio");
    double previous = 0;
    for (int i = 0; i < 5; ++i) {
        double touch, hash, write;
        double sum = unavoidable(files[i].size, scratch, &touch, &hash, &write);
        double took = files[i].done - previous;
        previous = files[i].done;
        printf("%-16s %10lld %8.3f %8.3f %8.3f %8.3f %8.3f %6.2f\n", files[i].key, files[i].size, took, touch, hash,
               write, sum, took / sum);
    }
    return 0;
}
