// Steps that several scenarios share: the standard environment, getting to the selection dialog, and the
// control tables of both dialogs as a user sees them.
#pragma once
#include <initializer_list>
#include "tests/e2e/machine_state.h"
#include "tests/e2e/ui_driver.h"

// COMMONPROGRAMFILES and COMMONPROGRAMFILES(X86) pointing into the scenario's scratch folder; with
// withoutX86 the second is removed from the child's environment. Wine's start-up of a 64-bit process sets
// COMMONPROGRAMFILES from CommonProgramW6432, so that one is set as well.
constexpr int SCENARIO_OVERRIDES = 3;
#define MARKER_KEY L"SOFTWARE\\BrellinAudioPlugins"  // where the installer writes HasAnyPaidPlugins
struct ScenarioEnvironment {
    EnvOverride overrides[SCENARIO_OVERRIDES];
};
ScenarioEnvironment scenarioEnvironment(const Machine* machine, bool withoutX86 = false);

// Starts the installer and agrees to the license (with Alt+A); null when the selection dialog does not come.
HWND startAtSelection(Installer* installer, const wchar_t* exe, const ScenarioEnvironment* environment);

// One scenario's machine, environment and installer. prepareScenario empties the machine (and sets FL Studio's
// value with WITH_FL_STUDIO); REACH_SELECTION then starts exe and agrees to the license. When the selection
// dialog does not come it reports that, ends the installer and is false.
struct Scenario {
    Machine m;
    ScenarioEnvironment env;
    Installer installer;
    HWND selection;
};
enum : int { WITH_FL_STUDIO = 1, WITHOUT_X86 = 2 };
void prepareScenario(Scenario* s, const char* name, int options);
bool reachSelection(Scenario* s, const wchar_t* exe, const char* file, int line);
#define REACH_SELECTION(s, exe) reachSelection(s, exe, __FILE__, __LINE__)

// Waits for the installer's next message box, checks its text, caption and (unless owner is null) owner, and
// presses its OK button.
void answerBox(Installer* installer, const char16_t* text, const wchar_t* caption, HWND owner, const char* file,
               int line);
#define ANSWER_BOX(installer, text, caption, owner) answerBox(installer, text, caption, owner, __FILE__, __LINE__)

// Checks the license dialog's seven controls, the text box holding the payload's license text.
void checkLicenseDialog(HWND dialog, const char* file, int line);

// Checks the selection dialog's fifteen controls as they stand before anything is pressed. labels[i] is the
// label expected under check box i (0 CLAP 64-bit, 1 CLAP 32-bit, 2 FL Studio), null for "(not available)".
void checkSelectionDialog(HWND dialog, const wchar_t* const labels[3], const char* file, int line);

// The label discovery makes for a folder: "Target: " + folder + suffix.
void targetLabel(wchar_t* out, const wchar_t* folder, const wchar_t* suffix);
