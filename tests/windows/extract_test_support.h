// Helpers for the extraction tests: fresh folders on the prefix's C: drive and reading files back.
#pragma once
#include <windows.h>
#include <stdint.h>
#include "base/text.h"

// Removes the folder tree at path (if any), so each test starts from nothing on disk.
inline void removeTree(const wchar_t* path) {
    wchar_t pattern[MAX_PATH];
    wsprintfW(pattern, L"%s\\*", path);
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern, &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (lstrcmpW(found.cFileName, L".") == 0 || lstrcmpW(found.cFileName, L"..") == 0) continue;
            wchar_t child[MAX_PATH];
            wsprintfW(child, L"%s\\%s", path, found.cFileName);
            SetFileAttributesW(child, FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) removeTree(child);
            else DeleteFileW(child);
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(path);
}

// Removes the folder tree at path and makes the folder again, with every missing folder above it.
inline void emptyFolder(const wchar_t* path) {
    removeTree(path);
    wchar_t prefix[MAX_PATH];
    lstrcpyW(prefix, path);
    for (wchar_t* p = prefix + 3; *p; ++p)
        if (*p == L'\\') *p = 0, CreateDirectoryW(prefix, nullptr), *p = L'\\';
    CreateDirectoryW(prefix, nullptr);
}

inline bool pathExists(const wchar_t* path) { return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }

// Reads the whole file into bytes (capacity bytes at most); returns its length, or -1 when it cannot be read.
inline int64_t readWholeFile(const wchar_t* path, uint8_t* bytes, uint32_t capacity) {
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return -1;
    DWORD got = 0;
    BOOL ok = ReadFile(file, bytes, capacity, &got, nullptr);
    CloseHandle(file);
    return ok ? int64_t(got) : -1;
}

inline bool fileHolds(const wchar_t* path, const uint8_t* expected, uint32_t size) {
    static uint8_t bytes[1 << 16];
    const int64_t got = readWholeFile(path, bytes, sizeof bytes);
    if (got != int64_t(size)) return false;
    for (uint32_t i = 0; i < size; ++i)
        if (bytes[i] != expected[i]) return false;
    return true;
}

inline bool writeFileBytes(const wchar_t* path, const char* text) {
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, text, DWORD(lstrlenA(text)), &written, nullptr);
    CloseHandle(file);
    return ok != 0;
}

// The destination as extractEntry takes it: a writable UTF-16 buffer.
inline void copyPath(Unit* destination, const wchar_t* source) {
    while ((*destination++ = Unit(*source++)) != 0) {}
}
