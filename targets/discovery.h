// Which targets this machine offers, and where each plug-in target would go.
#pragma once
#include "base/text.h"

constexpr int FOLDER_BUFFER_UNITS = 300;

// Runs once per process, before the selection dialog initialises.
void discoverTargets();

// Contract: buffer has FOLDER_BUFFER_UNITS units. True with the folder part of FL Studio's path value in
// buffer; false when there is no usable value.
bool readFlStudioFolder(Unit* buffer);
