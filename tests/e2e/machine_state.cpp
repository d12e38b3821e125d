#include "tests/e2e/machine_state.h"
#define WINTEST_CUSTOM_MAIN
#include "tests/windows/wintest.h"
#include <shlobj.h>
#include <shobjidl.h>
#include <stdio.h>
#include <wchar.h>
#include <string>
#include <vector>

// Paths come from CMake with forward slashes; the installer and the shell want backslashes.
static const wchar_t* windowsPath(const wchar_t* fromBuild, wchar_t* buffer) {
    wcscpy(buffer, fromBuild);
    for (wchar_t* p = buffer; *p; ++p)
        if (*p == L'/') *p = L'\\';
    return buffer;
}

// Each path once, made with backslashes at the first call.
#define BUILD_PATH(function, fromBuild)            \
    const wchar_t* function() {                    \
        static wchar_t path[PATH_UNITS];           \
        return windowsPath(fromBuild, path);       \
    }
BUILD_PATH(installerPath, MORAVEL_E2E_INSTALLER)
BUILD_PATH(corruptedInstallerPath, MORAVEL_E2E_CORRUPTED_INSTALLER)
BUILD_PATH(renamedInstallerPath, MORAVEL_E2E_RENAMED_INSTALLER)
BUILD_PATH(compressedInstallerPath, MORAVEL_E2E_COMPRESSED_INSTALLER)
BUILD_PATH(compressedCorruptedInstallerPath, MORAVEL_E2E_COMPRESSED_CORRUPTED_INSTALLER)
BUILD_PATH(payloadFolder, MORAVEL_E2E_PAYLOAD)
BUILD_PATH(scratchRoot, MORAVEL_E2E_SCRATCH)
BUILD_PATH(plantedDllPath, MORAVEL_E2E_PLANTED_DLL)

static void knownFolder(REFKNOWNFOLDERID id, const wchar_t* suffix, wchar_t* out) {
    wchar_t* folder = nullptr;
    SHGetKnownFolderPath(id, 0, nullptr, &folder);
    swprintf(out, PATH_UNITS, L"%ls%ls", folder ? folder : L"", suffix);
    CoTaskMemFree(folder);
}

static void deleteKey(const wchar_t* subkey) { RegDeleteTreeW(HKEY_CURRENT_USER, subkey); RegDeleteKeyW(HKEY_CURRENT_USER, subkey); }

void prepareMachine(Machine* m, const char* scenario) {
    swprintf(m->scratch, PATH_UNITS, L"%ls\\%hs", scratchRoot(), scenario);
    removeTree(m->scratch);
    makeFolders(m->scratch);
    swprintf(m->common, PATH_UNITS, L"%ls\\common", m->scratch);
    swprintf(m->common86, PATH_UNITS, L"%ls\\common86", m->scratch);
    swprintf(m->flStudioExe, PATH_UNITS, L"%ls\\fl\\FL64.exe", m->scratch);
    swprintf(m->clap64, PATH_UNITS, L"%ls\\CLAP\\Moravel.clap", m->common);
    swprintf(m->clap32, PATH_UNITS, L"%ls\\CLAP\\Moravel (32-bit).clap", m->common86);
    swprintf(m->flFolder, PATH_UNITS, L"%ls\\fl\\Plugins\\Fruity\\Generators\\Moravel", m->scratch);
    swprintf(m->fl64, PATH_UNITS, L"%ls\\Moravel_x64.dll", m->flFolder);
    swprintf(m->fl32, PATH_UNITS, L"%ls\\Moravel.dll", m->flFolder);
    knownFolder(FOLDERID_RoamingAppData, L"\\BrellinAudioPlugins", m->appFolder);
    swprintf(m->standalone, PATH_UNITS, L"%ls\\Moravel Standalone.exe", m->appFolder);
    knownFolder(FOLDERID_StartMenu, L"\\Programs\\Moravel Standalone.lnk", m->shortcut);
    DeleteFileW(m->standalone);
    DeleteFileW(m->shortcut);
    deleteKey(L"SOFTWARE\\BrellinAudioPlugins");
    deleteKey(L"SOFTWARE\\Image-Line\\Shared\\Paths");
}

void setFlStudioValue(const wchar_t* value) {
    HKEY key;
    RegCreateKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\Image-Line\\Shared\\Paths", 0, nullptr, 0, KEY_ALL_ACCESS,
                    nullptr, &key, nullptr);
    RegSetValueExW(key, L"FL Studio", 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                   DWORD((wcslen(value) + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

bool fileExists(const wchar_t* path) {
    DWORD a = GetFileAttributesW(path);
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool folderExists(const wchar_t* path) {
    DWORD a = GetFileAttributesW(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

static bool readWhole(const wchar_t* path, std::vector<char>* bytes) {
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size;
    GetFileSizeEx(file, &size);
    bytes->resize(size_t(size.QuadPart));
    DWORD got = 0;
    bool ok = bytes->empty() || (ReadFile(file, bytes->data(), DWORD(bytes->size()), &got, nullptr) && got == bytes->size());
    CloseHandle(file);
    return ok;
}

bool matchesPayload(const wchar_t* path, const char* key) {
    wchar_t input[PATH_UNITS];
    swprintf(input, PATH_UNITS, L"%ls\\%hs", payloadFolder(), key);
    for (wchar_t* p = input; *p; ++p)
        if (*p == L'/') *p = L'\\';
    return sameBytes(path, input);
}

bool sameBytes(const wchar_t* path, const wchar_t* other) {
    std::vector<char> expected, actual;
    if (!readWhole(other, &expected) || !readWhole(path, &actual)) return false;
    return !expected.empty() && expected == actual;
}

const char* describePath(const wchar_t* path) {
    static char what[64];
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path, GetFileExInfoStandard, &data)) return "no such file or folder";
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return "a folder";
    snprintf(what, sizeof what, "a file of %llu bytes",
             (unsigned long long)data.nFileSizeHigh << 32 | data.nFileSizeLow);
    return what;
}

void checkPayload(const wchar_t* path, const char* key, const char* file, int line) {
    if (matchesPayload(path, key)) return;
    char what[1536];
    snprintf(what, sizeof what, "%ls: %s, want the bytes of %s", path, describePath(path), key);
    wintest::fail(file, line, what);
}

void checkAbsent(const wchar_t* path, const char* file, int line) {
    if (GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES) return;
    char what[1536];
    snprintf(what, sizeof what, "%ls: %s, want nothing there", path, describePath(path));
    wintest::fail(file, line, what);
}

bool holdsBytes(const wchar_t* path, const char* bytes) {
    std::vector<char> actual;
    return readWhole(path, &actual) && std::string(actual.begin(), actual.end()) == bytes;
}

void writeFileBytes(const wchar_t* path, const char* bytes) {
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written;
    WriteFile(file, bytes, DWORD(strlen(bytes)), &written, nullptr);
    CloseHandle(file);
}

void makeFolders(const wchar_t* path) {
    wchar_t prefix[PATH_UNITS];
    wcscpy(prefix, path);
    for (wchar_t* p = prefix + 3; *p; ++p) {
        if (*p != L'\\') continue;
        *p = 0;
        CreateDirectoryW(prefix, nullptr);
        *p = L'\\';
    }
    CreateDirectoryW(prefix, nullptr);
}

void removeTree(const wchar_t* path) {
    wchar_t pattern[PATH_UNITS];
    swprintf(pattern, PATH_UNITS, L"%ls\\*", path);
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern, &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (wcscmp(found.cFileName, L".") == 0 || wcscmp(found.cFileName, L"..") == 0) continue;
            wchar_t child[PATH_UNITS];
            swprintf(child, PATH_UNITS, L"%ls\\%ls", path, found.cFileName);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) removeTree(child);
            else DeleteFileW(child);
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(path);
}

bool keyExists(const wchar_t* subkey) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, subkey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

long long readDword(const wchar_t* subkey, const wchar_t* name) {
    DWORD value = 0, size = sizeof value, type = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, subkey, name, RRF_RT_ANY, &type, &value, &size) != ERROR_SUCCESS) return -1;
    return type == REG_DWORD && size == 4 ? value : -1;
}

int valueCount(const wchar_t* subkey) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, subkey, 0, KEY_READ, &key) != ERROR_SUCCESS) return -1;
    DWORD values = 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                     nullptr);
    RegCloseKey(key);
    return int(values);
}

bool readShortcut(const wchar_t* path, wchar_t* target, wchar_t* description) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link))))
        return false;
    IPersistFile* file = nullptr;
    bool ok = SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
              SUCCEEDED(file->Load(path, STGM_READ)) &&
              SUCCEEDED(link->GetPath(target, PATH_UNITS, nullptr, SLGP_RAWPATH)) &&
              SUCCEEDED(link->GetDescription(description, PATH_UNITS));
    if (file) file->Release();
    link->Release();
    return ok;
}

HANDLE holdOpen(const wchar_t* path) {
    return CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
}
