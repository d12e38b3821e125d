// Drives the real MoravelSetup.exe as a user would: starts it with a chosen environment, finds its dialogs and
// message boxes by title and class, reads and presses controls, and collects the exit code.
//
// Every press is posted, never sent: a handler may open a message box, and a sent message would wait for the
// box that only this driver can answer.
#pragma once
#include <windows.h>
#include "tests/windows/expected_dialogs.h"

constexpr DWORD UI_TIMEOUT_MS = 60000;

// One change to the child's environment: value null removes the variable.
struct EnvOverride {
    const wchar_t* name;
    const wchar_t* value;
};

struct Installer {
    PROCESS_INFORMATION process;
};

// Starts exe with this process's environment changed by overrides; false when it cannot start. The command
// line is the quoted exe unless one is given.
bool startInstaller(Installer* installer, const wchar_t* exe, const EnvOverride* overrides, int overrideCount,
                    const wchar_t* commandLine = nullptr);

// The installer's visible dialog whose IDOK button reads okText ("&Agree" or "&Install"), or null on timeout.
HWND waitForDialog(Installer* installer, const wchar_t* okText);

// A message box shown by the installer (class #32770 with the text control 0xFFFF, not the dialog itself).
struct ShownBox {
    HWND window;
    HWND owner;
    wchar_t text[512];
    wchar_t caption[128];
};
// Waits for the next message box; false on timeout or when the process ended first.
bool waitForMessageBox(Installer* installer, ShownBox* box, DWORD timeoutMs = UI_TIMEOUT_MS);
// The same, reporting a box that did not come: the wait, and whether the process had ended (with its code).
bool expectMessageBox(Installer* installer, ShownBox* box, const char* file, int line);
#define EXPECT_MESSAGE_BOX(installer, box) expectMessageBox(installer, box, __FILE__, __LINE__)
// How many visible dialogs titled INSTALLER_TITLE the installer's process has.
int visibleInstallerDialogs(Installer* installer);
// Presses the box's OK button.
void answerMessageBox(const ShownBox* box);

// The exit code once the process has ended, or STILL_ACTIVE (259) when it did not end in time (it is then
// terminated so that no test leaves an installer behind).
DWORD waitForExit(Installer* installer, DWORD timeoutMs = UI_TIMEOUT_MS);
bool hasExited(Installer* installer, DWORD waitMs);

void click(HWND dialog, int id);
// Alt+letter, as the keyboard sends it to the control that has the focus.
void pressMnemonic(HWND dialog, wchar_t letter);
void pressEscape(HWND dialog);
void pressCloseBox(HWND dialog);

// Checks the dialog's child windows, in creation order, against the table: class, style (WS_DISABLED aside), id,
// text (texts[i] where the table's is null) and, as targetBit says for the available targets, enabled and ticked.
// Reports each difference.
void checkControls(HWND dialog, const DialogControl* expected, int count, const wchar_t* const* texts,
                   int available, const char* file, int line);

// The part of a control's state that the installer changes while it runs.
struct ControlState {
    int id;
    bool enabled;
    int checked;  // BST_CHECKED / BST_UNCHECKED, or -1: not compared
};
// Polls until every listed control is in its wanted state at once. On timeout it reports, for each control
// that still differs, its id with the wanted and the seen state, and returns false.
bool waitForStates(HWND dialog, const ControlState* wanted, int count, const char* file, int line,
                   DWORD timeoutMs = UI_TIMEOUT_MS);
#define WAIT_FOR_STATES(dialog, ...)                                                                   \
    [&] {                                                                                              \
        const ControlState wanted_[] = {__VA_ARGS__};                                                  \
        return waitForStates(dialog, wanted_, int(sizeof wanted_ / sizeof wanted_[0]), __FILE__, __LINE__); \
    }()
// True when the dialog thread answers a message within the time.
bool dialogAnswers(HWND dialog, DWORD timeoutMs);
