#include <windows.h>
#include "base/win_text.h"
#include "state/installer_state.h"
#include "targets/discovery.h"
#include "targets/target_rules.h"

bool readFlStudioFolder(Unit* buffer) {
    for (int i = 0; i < FOLDER_BUFFER_UNITS; ++i) buffer[i] = 0;
    DWORD bytes = FL_STUDIO_READ_BYTES;
    HKEY key = nullptr;
    // Creates the key (and any missing key above it) when FL Studio has never run; the result is not
    // needed: a key that cannot be opened makes the read below fail.
    RegCreateKeyExW(HKEY_CURRENT_USER, wide(FL_STUDIO_KEY), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                    nullptr, &key, nullptr);
    LSTATUS status = RegGetValueW(key, nullptr, wide(FL_STUDIO_VALUE), RRF_RT_REG_SZ, nullptr, buffer, &bytes);
    RegCloseKey(key);
    // Too long (ERROR_MORE_DATA), another type, no value: no FL Studio installation.
    if (status != ERROR_SUCCESS) return false;
    return cutToFolder(buffer);
}

void discoverTargets() {
    Unit work[FOLDER_BUFFER_UNITS];

    DWORD count = GetEnvironmentVariableW(wide(CLAP64_VARIABLE), wide(work), ENVIRONMENT_READ_UNITS);
    if (buildClapLabel(state.clap64Label, work, count)) state.availableTargets |= TARGET_CLAP64;

    count = GetEnvironmentVariableW(wide(CLAP32_VARIABLE), wide(work), ENVIRONMENT_READ_UNITS);
    if (buildClapLabel(state.clap32Label, work, count)) state.availableTargets |= TARGET_CLAP32;

    if (readFlStudioFolder(work)) {
        buildTargetLabel(state.flStudioLabel, work, FL_STUDIO_FOLDER_SUFFIX);
        state.availableTargets |= TARGET_FLSTUDIO;
    }

    state.availableTargets |= TARGET_STANDALONE;
}
