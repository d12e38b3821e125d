#include <windows.h>
#include "base/win_text.h"
#include "payload/staging_path.h"
#include "state/installer_state.h"
#include "targets/targets.h"

void removeFile(const Unit* path) {
    if (DeleteFileW(wide(path))) return;
    // Whatever the error says (no such file, a name the file system refuses, in use): the file stayed
    // behind only if it can still be found.
    if (GetFileAttributesW(wide(path)) != INVALID_FILE_ATTRIBUTES) state.removeFailed = 1;
}

void removePayloadFile(const Unit* path) {
    Unit staging[DESTINATION_PATH_UNITS];
    if (stagingPathOf(staging, path)) removeFile(staging);
    removeFile(path);
}
