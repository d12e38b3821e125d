// The CommandTable: control id -> handler, one dialog's commands at a time (beginDialog empties it).
#pragma once
#include "state/installer_state.h"

void registerCommand(int32_t id, CommandHandler handler);

// The first registered handler whose id equals controlId (widened without sign), or null.
CommandHandler findCommand(uint16_t controlId);
