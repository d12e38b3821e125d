// Shared set-up of the install-target tests: a fresh scratch folder per case, file and registry helpers,
// the environment and shell-folder settings each case points at its own folders, and the expected bytes of
// each payload entry.
#pragma once
#include <windows.h>
#include <shlobj.h>
#include <string.h>
#include <algorithm>
#include <string>
#include <vector>
#include "base/text.h"
#include "state/installer_state.h"
#include "tests/windows/message_box_capture.h"
#include "tests/windows/test_payload.h"
#include "tests/windows/wintest.h"

namespace targettest {

inline const Unit* units(const std::wstring& text) { return reinterpret_cast<const Unit*>(text.c_str()); }
inline std::wstring wstr(const Unit* text) { return reinterpret_cast<const wchar_t*>(text); }

inline void removeTree(const std::wstring& path) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring child = path + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) removeTree(child);
            else DeleteFileW(child.c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(path.c_str());
}

// A fresh, empty folder for one case, beside the test program: <program>.scratch\<name>.
inline std::wstring freshFolder(const std::wstring& name) {
    wchar_t program[MAX_PATH];
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    std::wstring base = program;
    base = base.substr(0, base.find_last_of(L'.')) + L".scratch";
    CreateDirectoryW(base.c_str(), nullptr);
    std::wstring folder = base + L"\\" + name;
    removeTree(folder);
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

// The same folder as `folder`, named by a string of exactly `length` units: "\." steps that the path
// normalisation drops, then padding in the last name. Lets the length bounds be tested with real writes.
inline std::wstring folderOfLength(const std::wstring& folder, size_t length) {
    std::wstring path = folder;
    while (path.size() + 2 + 2 <= length) path += L"\\.";
    if (path.size() == length) return path;
    // Two or three units are left: a last name of one or two units.
    std::wstring last = L"\\";
    last.append(length - path.size() - 1, L'p');
    path += last;
    CreateDirectoryW(path.c_str(), nullptr);
    return path;
}

inline bool fileExists(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

inline bool folderExists(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

inline void makeFolders(const std::wstring& path) {
    for (size_t at = path.find(L'\\', 3); at != std::wstring::npos; at = path.find(L'\\', at + 1))
        CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
    CreateDirectoryW(path.c_str(), nullptr);
}

inline std::vector<uint8_t> readBytes(const std::wstring& path) {
    std::vector<uint8_t> bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    LARGE_INTEGER size;
    GetFileSizeEx(file, &size);
    bytes.resize(size_t(size.QuadPart));
    DWORD read = 0;
    if (!bytes.empty()) ReadFile(file, bytes.data(), DWORD(bytes.size()), &read, nullptr);
    bytes.resize(read);
    CloseHandle(file);
    return bytes;
}

inline void writeBytes(const std::wstring& path, const char* text) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, text, DWORD(strlen(text)), &written, nullptr);
    CloseHandle(file);
}

// Every file under folder, as paths relative to it, sorted.
inline void listFiles(const std::wstring& folder, const std::wstring& prefix, std::vector<std::wstring>* out) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            listFiles(folder + L"\\" + name, prefix + name + L"\\", out);
        else out->push_back(prefix + name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

inline std::vector<std::wstring> filesUnder(const std::wstring& folder) {
    std::vector<std::wstring> files;
    listFiles(folder, L"", &files);
    std::sort(files.begin(), files.end());
    return files;
}

inline std::wstring joined(std::vector<std::wstring> names) {
    std::sort(names.begin(), names.end());
    std::wstring all;
    for (const std::wstring& name : names) all += (all.empty() ? L"" : L" | ") + name;
    return all;
}

// The files under folder are exactly `expected` (relative paths, sorted).
#define CHECK_FILES(folder, ...)                                                                \
    do {                                                                                        \
        const std::wstring got_ = targettest::joined(targettest::filesUnder(folder));           \
        const std::wstring want_ = targettest::joined(std::vector<std::wstring>{__VA_ARGS__});  \
        CHECK_WSTR(got_.c_str(), want_.c_str());                                                \
    } while (0)

inline std::vector<uint8_t> expectedEntry(const char* key) {
    for (const TestEntry& entry : testEntries)
        if (strcmp(entry.key, key) == 0) return std::vector<uint8_t>(entry.bytes, entry.bytes + entry.size);
    return {};
}

// The file holds exactly the bytes of the payload entry `key` (and the entry is not empty, so a missing
// file cannot pass).
#define CHECK_ENTRY_FILE(path, key)                                         \
    do {                                                                    \
        std::vector<uint8_t> want_ = targettest::expectedEntry(key);       \
        CHECK(!want_.empty());                                              \
        CHECK(targettest::readBytes(path) == want_);                        \
    } while (0)

inline void setVariable(const wchar_t* name, const std::wstring* value) {
    SetEnvironmentVariableW(name, value ? value->c_str() : nullptr);
}

// Each case starts from a process-start state: discovery and the targets only set fields.
inline void resetState() {
    state.installFailed = 0;
    state.removeFailed = 0;
    state.availableTargets = 0;
    state.selectedTargets = 0;
    state.flStudioLabel[0] = 0;
    state.clap32Label[0] = 0;
    state.clap64Label[0] = 0;
}

constexpr const wchar_t* FL_STUDIO_KEY_PATH = L"SOFTWARE\\Image-Line\\Shared\\Paths";

inline void deleteFlStudioKey() { RegDeleteTreeW(HKEY_CURRENT_USER, L"SOFTWARE\\Image-Line"); }

inline void setFlStudioValue(DWORD type, const void* data, DWORD bytes) {
    deleteFlStudioKey();
    HKEY key;
    RegCreateKeyExW(HKEY_CURRENT_USER, FL_STUDIO_KEY_PATH, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    RegSetValueExW(key, L"FL Studio", 0, type, static_cast<const BYTE*>(data), bytes);
    RegCloseKey(key);
}

inline void setFlStudioPath(const std::wstring& path) {
    setFlStudioValue(REG_SZ, path.c_str(), DWORD((path.size() + 1) * sizeof(wchar_t)));
}

inline bool flStudioKeyExists(DWORD* valueCount) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, FL_STUDIO_KEY_PATH, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, valueCount, nullptr, nullptr,
                     nullptr, nullptr);
    RegCloseKey(key);
    return true;
}

// Each case points the known folders at its own folders and puts the prefix's values back afterwards.
// Wine only: Wine reads this key on every SHGetKnownFolderPath call; Windows need not (it may cache them).
constexpr const wchar_t* USER_SHELL_FOLDERS =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

struct SavedShellFolder {
    const wchar_t* name;
    DWORD type;
    std::vector<uint8_t> data;
};

inline SavedShellFolder setShellFolder(const wchar_t* name, const std::wstring& path) {
    SavedShellFolder saved = {name, REG_NONE, {}};
    HKEY key;
    RegCreateKeyExW(HKEY_CURRENT_USER, USER_SHELL_FOLDERS, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    DWORD bytes = 0;
    if (RegQueryValueExW(key, name, nullptr, &saved.type, nullptr, &bytes) == ERROR_SUCCESS) {
        saved.data.resize(bytes);
        RegQueryValueExW(key, name, nullptr, &saved.type, saved.data.data(), &bytes);
    }
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                   DWORD((path.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return saved;
}

inline void restoreShellFolder(const SavedShellFolder& saved) {
    HKEY key;
    RegCreateKeyExW(HKEY_CURRENT_USER, USER_SHELL_FOLDERS, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (saved.type == REG_NONE) RegDeleteValueW(key, saved.name);
    else RegSetValueExW(key, saved.name, 0, saved.type, saved.data.data(), DWORD(saved.data.size()));
    RegCloseKey(key);
}

// A window to own the message boxes, as the selection dialog does.
inline HWND makeOwner() {
    return CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
}

// Exactly one box was shown, owned by owner, with this text and the system's default caption.
#define CHECK_ONE_ERROR_BOX(capture, owner, message)            \
    do {                                                        \
        CHECK_EQ((capture).count, 1);                           \
        CHECK_WSTR((capture).boxes[0].text, message);           \
        CHECK_WSTR((capture).boxes[0].caption, L"Error");       \
        CHECK((capture).boxes[0].owner == (owner));             \
    } while (0)

}  // namespace targettest
