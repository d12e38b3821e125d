// The contents of the license dialog and the selection dialog, and the routines that build each into
// state.templateBuffer (with its commands registered) from those tables.
#pragma once
#include "base/text.h"

constexpr uint16_t DIALOG_WIDTH = 309;
constexpr uint16_t DIALOG_HEIGHT = 192;
#define DIALOG_TITLE u"Moravel Synthesizer Installer"
#define LABEL_NOT_AVAILABLE u"(not available)"

// Contract: licenseText is the widened license (NUL-terminated).
void buildLicenseDialog(const Unit* licenseText);

// Contract: discoverTargets has run; the labels come from state.availableTargets and the label buffers.
void buildSelectionDialog();
