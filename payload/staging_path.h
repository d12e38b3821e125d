// Where a payload file is written before it takes its destination's place: its staging path.
//
// An update never truncates the installed file. extractEntry writes the new one whole under the staging
// path, then renames it over the destination in one step, so an installer that fails or is killed midway
// leaves the old file or the new one, never a part. The staging path is the destination with the last '.'
// of its file name turned into '~' ("Moravel.clap" is staged as "Moravel~clap"), which makes it
//   - in the same folder, so the rename never crosses a volume;
//   - exactly as long, so it fits wherever the destination fits (buffers, MAX_PATH);
//   - never a name a host loads or scans (no .clap, .dll or .exe), and not a name a user's file has;
//   - one name per destination, so the next install, or Uninstall, finds what a killed run left.
// No Windows calls: built into the installer and into the host tests.
#pragma once
#include <stdint.h>
#include "base/text.h"

// The longest path, with its terminator, that the installer builds a destination in; the targets assert
// that their path buffers are no larger.
constexpr uint32_t DESTINATION_PATH_UNITS = 520;

constexpr Unit STAGING_MARK = u'~';

// Writes the staging path of destination into staging (DESTINATION_PATH_UNITS units) and returns true.
// Returns false, leaving staging unspecified, when destination does not fit that buffer or its file name
// (the part after the last '\\') has no '.' to turn.
inline bool stagingPathOf(Unit* staging, const Unit* destination) {
    uint64_t mark = 0;
    bool marked = false;
    uint64_t i = 0;
    for (; destination[i] != 0; ++i) {
        if (i + 1 >= DESTINATION_PATH_UNITS) return false;
        staging[i] = destination[i];
        if (destination[i] == u'\\') marked = false;
        if (destination[i] == u'.') mark = i, marked = true;
    }
    staging[i] = 0;
    if (!marked) return false;
    staging[mark] = STAGING_MARK;
    return true;
}
