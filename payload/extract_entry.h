// extractEntry: one payload file from the PayloadImage to disk, verified before anything touches the disk.
#pragma once
#include <windows.h>
#include "base/text.h"

// Contract: state.installFailed is 0; destinationPath is a full path ending in the file name, in a writable
// buffer (folders are made by cutting it at each backslash for a moment; it is as it was on return), whose
// file name has a '.' and which is shorter than DESTINATION_PATH_UNITS (payload/staging_path.h).
// Returns with the file holding exactly the entry's bytes, or with installFailed set, the user told why and
// the destination as it was (a file there is replaced in one rename, never written in place).
// A corrupted payload (or a key that is not there) shows the corrupted message and ends the process with 1.
void extractEntry(HWND owner, Unit* destinationPath, const char* key);
