// The path and label rules of the install targets: which lengths are usable, the suffixes that make each
// path, and the cut of FL Studio's path value to its folder. No Windows calls: built into the installer and
// into the host tests.
#pragma once
#include <stdint.h>
#include "base/text.h"
#include "payload/staging_path.h"
#include "state/installer_state.h"
#include "targets/discovery.h"

// GetEnvironmentVariableW is given room for this many units; a longer value comes back as its required
// size (at least one more), which the bounds below reject.
constexpr uint32_t ENVIRONMENT_READ_UNITS = 250;
// Discovery shows a CLAP target only up to 239 units, one less than the install accepts.
constexpr uint32_t DISCOVERY_MAX_VALUE_UNITS = 239;
constexpr uint32_t INSTALL_MAX_VALUE_UNITS = 240;
// Room for a value of 249 characters and its terminator.
constexpr uint32_t FL_STUDIO_READ_BYTES = 500;
// 249 characters at most, and the cut removes at least the last backslash.
constexpr uint32_t FL_STUDIO_MAX_FOLDER_UNITS = FL_STUDIO_READ_BYTES / sizeof(Unit) - 2;
constexpr uint32_t KNOWN_FOLDER_MAX_UNITS = 260;
constexpr int APPLICATION_PATH_UNITS = DESTINATION_PATH_UNITS;

#define LABEL_PREFIX u"Target: "
#define CLAP_FOLDER_SUFFIX u"\\CLAP"
#define FL_STUDIO_FOLDER_SUFFIX u"\\Plugins\\Fruity\\Generators\\Moravel"
#define CLAP64_FILE_SUFFIX u"\\CLAP\\Moravel.clap"
#define CLAP32_FILE_SUFFIX u"\\CLAP\\Moravel (32-bit).clap"
#define FL64_FILE_SUFFIX u"\\Plugins\\Fruity\\Generators\\Moravel\\Moravel_x64.dll"
#define FL32_FILE_SUFFIX u"\\Plugins\\Fruity\\Generators\\Moravel\\Moravel.dll"
#define FL_PLUGIN_FOLDER_SUFFIX u"\\Plugins\\Fruity\\Generators\\Moravel\\"
#define APPLICATION_FOLDER_SUFFIX u"\\BrellinAudioPlugins"
#define APPLICATION_FILE_SUFFIX u"\\BrellinAudioPlugins\\Moravel Standalone.exe"
#define SHORTCUT_FILE_SUFFIX u"\\Programs\\Moravel Standalone.lnk"
#define SHORTCUT_DESCRIPTION u"The standalone version of Moravel."

#define CLAP64_VARIABLE u"COMMONPROGRAMFILES"
#define CLAP32_VARIABLE u"COMMONPROGRAMFILES(X86)"
#define FL_STUDIO_KEY u"SOFTWARE\\Image-Line\\Shared\\Paths"
#define FL_STUDIO_VALUE u"FL Studio"

// Units of a suffix literal, without its terminator.
#define SUFFIX_UNITS(literal) (sizeof(literal) / sizeof(Unit) - 1)

// extractEntry stages a destination in a buffer of its own, as large as the largest one it is built in.
static_assert(FOLDER_BUFFER_UNITS <= DESTINATION_PATH_UNITS);

// The longest path each bound lets through, with its terminator, fits the buffer it is built in.
static_assert(INSTALL_MAX_VALUE_UNITS + SUFFIX_UNITS(CLAP32_FILE_SUFFIX) + 1 <= FOLDER_BUFFER_UNITS);
static_assert(INSTALL_MAX_VALUE_UNITS + SUFFIX_UNITS(CLAP64_FILE_SUFFIX) + 1 <= FOLDER_BUFFER_UNITS);
static_assert(FL_STUDIO_MAX_FOLDER_UNITS + SUFFIX_UNITS(FL64_FILE_SUFFIX) + 1 <= FOLDER_BUFFER_UNITS);
static_assert(KNOWN_FOLDER_MAX_UNITS + SUFFIX_UNITS(APPLICATION_FILE_SUFFIX) + 1 <= APPLICATION_PATH_UNITS);
static_assert(KNOWN_FOLDER_MAX_UNITS + SUFFIX_UNITS(SHORTCUT_FILE_SUFFIX) + 1 <= APPLICATION_PATH_UNITS);
static_assert(SUFFIX_UNITS(LABEL_PREFIX) + DISCOVERY_MAX_VALUE_UNITS + SUFFIX_UNITS(CLAP_FOLDER_SUFFIX) + 1 <=
              LABEL_UNITS);
static_assert(SUFFIX_UNITS(LABEL_PREFIX) + FL_STUDIO_MAX_FOLDER_UNITS + SUFFIX_UNITS(FL_STUDIO_FOLDER_SUFFIX) + 1 <=
              LABEL_UNITS);

// count is what GetEnvironmentVariableW returned for a read of ENVIRONMENT_READ_UNITS units.
inline bool discoveryValueUsable(uint32_t count) { return count >= 1 && count <= DISCOVERY_MAX_VALUE_UNITS; }
inline bool installValueUsable(uint32_t count) { return count >= 1 && count <= INSTALL_MAX_VALUE_UNITS; }

// A known folder string is usable when it is at most KNOWN_FOLDER_MAX_UNITS long.
bool knownFolderUsable(const Unit* folder);

// Writes the terminator at the last backslash of path (at index 0 when there is none) and tells whether a
// folder is left: an empty folder would put the plug-in under the root of the current drive.
bool cutToFolder(Unit* path);

// Contract: label is empty (LABEL_UNITS), folder holds a usable folder in a FOLDER_BUFFER_UNITS buffer.
// Appends suffix to folder, then "Target: " and the folder to label.
void buildTargetLabel(Unit* label, Unit* folder, const Unit* suffix);

// Contract: the same as buildTargetLabel, and count is what GetEnvironmentVariableW returned for folder.
// Builds the CLAP label and returns true when the value is usable for discovery; false leaves both alone.
bool buildClapLabel(Unit* label, Unit* folder, uint32_t count);
