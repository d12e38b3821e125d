#include "tests/e2e/scenario.h"
#include <stdio.h>
#include <wchar.h>
#include <string>
#define WINTEST_CUSTOM_MAIN
#include "tests/windows/wintest.h"

ScenarioEnvironment scenarioEnvironment(const Machine* machine, bool withoutX86) {
    return {{{L"COMMONPROGRAMFILES", machine->common},
             {L"CommonProgramW6432", machine->common},
             {L"COMMONPROGRAMFILES(X86)", withoutX86 ? nullptr : machine->common86}}};
}

HWND startAtSelection(Installer* installer, const wchar_t* exe, const ScenarioEnvironment* environment) {
    if (!startInstaller(installer, exe, environment->overrides, SCENARIO_OVERRIDES)) return nullptr;
    HWND license = waitForDialog(installer, L"&Agree");
    if (!license) return nullptr;
    pressMnemonic(license, L'a');
    return waitForDialog(installer, L"&Install");
}

static std::wstring licenseText() {
    wchar_t path[PATH_UNITS];
    swprintf(path, PATH_UNITS, L"%ls\\license.txt", payloadFolder());
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    std::string bytes(1 << 16, '\0');
    DWORD got = 0;
    ReadFile(file, bytes.data(), DWORD(bytes.size()), &got, nullptr);
    CloseHandle(file);
    return std::wstring(bytes.begin(), bytes.begin() + got);
}

void checkLicenseDialog(HWND dialog, const char* file, int line) {
    static std::wstring text = licenseText();
    const ExpectedControl controls[] = {
        {L"Static", 0x50000006, 0, L"", true, -1},
        {L"Static", 0x50020001, 3000, INSTALLER_TITLE, true, -1},
        {L"Static", 0x50000010, 0, L"", true, -1},
        {L"Static", 0x50020000, 0, L"To install Moravel, you need to agree to the end-user license agreement.", true, -1},
        {L"Edit", 0x50210844, 0, text.c_str(), true, -1},
        {L"Button", 0x50010000, IDCANCEL, L"&Cancel", true, -1},
        {L"Button", 0x50010001, IDOK, L"&Agree", true, -1},
    };
    checkControls(dialog, controls, 7, file, line);
}

void checkSelectionDialog(HWND dialog, const wchar_t* const labels[3], const char* file, int line) {
    auto label = [&](int i) { return labels[i] ? labels[i] : L"(not available)"; };
    auto box = [&](int i) { return labels[i] ? BST_CHECKED : BST_UNCHECKED; };
    const ExpectedControl controls[] = {
        {L"Static", 0x50000006, 0, L"", true, -1},
        {L"Static", 0x50020001, 3000, INSTALLER_TITLE, true, -1},
        {L"Static", 0x50000010, 0, L"", true, -1},
        {L"Static", 0x50000000, 0xFFFF, L"Select the versions you want to install:", true, -1},
        {L"Button", 0x50010003, 1000, L"CLAP (64-bit)", labels[0] != nullptr, box(0)},
        {L"Static", 0x50000000, 0, label(0), true, -1},
        {L"Button", 0x50010003, 1001, L"CLAP (32-bit)", labels[1] != nullptr, box(1)},
        {L"Static", 0x50000000, 0, label(1), true, -1},
        {L"Button", 0x50010003, 1002, L"FL Studio native", labels[2] != nullptr, box(2)},
        {L"Static", 0x50000000, 0, label(2), true, -1},
        {L"Button", 0x50010003, 1003, L"Standalone application", true, BST_CHECKED},
        {L"Button", 0x50030000, 2000, L"&Uninstall", true, -1},
        {L"Button", 0x50010000, IDCANCEL, L"&Cancel", true, -1},
        {L"Button", 0x50010001, IDOK, L"&Install", true, -1},
        {L"msctls_progress32", 0x50000008, 3001, nullptr, true, -1},
    };
    checkControls(dialog, controls, 15, file, line);
}

void targetLabel(wchar_t* out, const wchar_t* folder, const wchar_t* suffix) {
    swprintf(out, PATH_UNITS, L"Target: %ls%ls", folder, suffix);
}
