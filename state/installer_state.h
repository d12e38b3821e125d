// InstallerState: the one process-wide record, in static storage, zero when the process starts. It sits
// under payload/, dialogs/ and targets/, which all use it; each field has the one writer named beside it, and
// app/ only reads it.
//
// Built into the installer and into host tests alike, so it names no Windows header: HWND is the same
// forward-declared struct pointer that <windows.h> declares.
#pragma once
#include <stdint.h>
#include "base/text.h"

struct HWND__;
typedef void (*CommandHandler)(HWND__* dialog);

struct CommandEntry {
    int32_t id;
    CommandHandler handler;
};

enum : int32_t {
    TARGET_CLAP64 = 1,
    TARGET_CLAP32 = 2,
    TARGET_FLSTUDIO = 4,
    TARGET_STANDALONE = 8,
};

enum : int32_t {
    IDC_TARGET_CLAP64 = 1000,
    IDC_TARGET_CLAP32 = 1001,
    IDC_TARGET_FLSTUDIO = 1002,
    IDC_TARGET_STANDALONE = 1003,
    IDC_UNINSTALL = 2000,
    IDC_HEADER_TITLE = 3000,
    IDC_PROGRESS = 3001,
    IDC_PROMPT = 0xFFFF,
};

// The two standard button ids, as <windows.h> defines them, for code that builds without it.
#ifndef IDOK
#define IDOK 1
#define IDCANCEL 2
#endif

constexpr uint64_t COMMAND_CAPACITY = 100;
constexpr uint64_t TEMPLATE_BUFFER_SIZE = 16842752;  // 16 MiB and 64 KiB
constexpr uint64_t LABEL_UNITS = 352;

struct InstallerState {
    // Set to 1 by extractEntry when a payload file cannot be allocated, created or written; never cleared.
    uint8_t installFailed;
    // Set to 1 by removeFile when a file that exists could not be deleted (in use, no rights), so
    // that Uninstall does not report success over it. A file that is not there is no failure.
    uint8_t removeFailed;
    int32_t availableTargets;  // TargetMask, set by discoverTargets only
    int32_t selectedTargets;   // TargetMask, the ticked check boxes: set by the selection dialog (dialog_procs.cpp)
    // The found targets' labels, written by discoverTargets only.
    Unit flStudioLabel[LABEL_UNITS];
    Unit clap32Label[LABEL_UNITS];
    Unit clap64Label[LABEL_UNITS];
    // The CommandTable: registerCommand appends, beginDialog empties it.
    CommandEntry commands[COMMAND_CAPACITY];
    uint64_t commandCount;
    // The dialog template being built, written by the template builder only.
    uint64_t templatePos;
    // Records are aligned by their offset from here, and the format wants 4-byte boundaries.
    alignas(16) uint8_t templateBuffer[TEMPLATE_BUFFER_SIZE];
};

extern InstallerState state;
