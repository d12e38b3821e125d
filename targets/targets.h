// The three install targets. owner is the selection dialog (owner of every message box); uninstall nonzero
// removes. Installing does nothing once state.installFailed is set; removing sets state.removeFailed when
// a file that exists stays behind.
#pragma once
#include <windows.h>
#include "base/text.h"

void clapTarget(HWND owner, int uninstall, int is32Bit);
int flStudioTarget(HWND owner, int uninstall);
void standaloneTarget(HWND owner, int uninstall);

// Deletes the file at path; one that can still be found afterwards sets state.removeFailed.
void removeFile(const Unit* path);
// Deletes a file that extractEntry writes, and the staging file beside it that an installer killed while
// writing it can leave (payload/staging_path.h); either one staying behind sets state.removeFailed.
void removePayloadFile(const Unit* path);

HRESULT createShortcut(const Unit* targetPath, const Unit* shortcutPath, const Unit* description);
