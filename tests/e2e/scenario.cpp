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

void prepareScenario(Scenario* s, const char* name, int options) {
    prepareMachine(&s->m, name);
    if (options & WITH_FL_STUDIO) setFlStudioValue(s->m.flStudioExe);
    s->env = scenarioEnvironment(&s->m, (options & WITHOUT_X86) != 0);
    s->selection = nullptr;
}

bool reachSelection(Scenario* s, const wchar_t* exe, const char* file, int line) {
    s->selection = startAtSelection(&s->installer, exe, &s->env);
    if (s->selection) return true;
    wintest::fail(file, line, "the selection dialog did not come");
    waitForExit(&s->installer, 0);
    return false;
}

void answerBox(Installer* installer, const char16_t* text, const wchar_t* caption, HWND owner, const char* file,
               int line) {
    ShownBox box;
    if (!expectMessageBox(installer, &box, file, line)) return;
    const wchar_t* want = reinterpret_cast<const wchar_t*>(text);
    if (wcscmp(box.text, want) != 0 || wcscmp(box.caption, caption) != 0 || (owner && box.owner != owner)) {
        char what[1024];
        snprintf(what, sizeof what, "box \"%ls\" captioned \"%ls\" owned by %p; want \"%ls\" captioned \"%ls\" owned by %p",
                 box.text, box.caption, (void*)box.owner, want, caption, (void*)owner);
        wintest::fail(file, line, what);
    }
    answerMessageBox(&box);
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
    const wchar_t* texts[7] = {};
    texts[LICENSE_BOX_INDEX] = text.c_str();
    checkControls(dialog, LICENSE_CONTROLS, 7, texts, 0, file, line);
}

void checkSelectionDialog(HWND dialog, const wchar_t* const labels[3], const char* file, int line) {
    const wchar_t* texts[15] = {};
    int available = targetBit(1003);
    for (int i = 0; i < 3; ++i) {
        texts[TARGET_LABEL_INDEX[i]] = labels[i] ? labels[i] : L"(not available)";
        if (labels[i]) available |= 1 << i;
    }
    checkControls(dialog, SELECTION_CONTROLS, 15, texts, available, file, line);
}

void targetLabel(wchar_t* out, const wchar_t* folder, const wchar_t* suffix) {
    swprintf(out, PATH_UNITS, L"Target: %ls%ls", folder, suffix);
}
