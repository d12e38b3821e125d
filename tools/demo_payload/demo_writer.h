// Writes the demo payload folder: license.txt and the five builds under their EntryKeys.
#pragma once
#include <string>

#include "tools/demo_payload/demo_model.h"

// Returns the plan it wrote. Throws std::runtime_error naming the file that could not be written.
DemoPlan writeDemoPayload(const std::string& outDir, double scale);
