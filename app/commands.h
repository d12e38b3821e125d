// The install worker and what it shares with the selection dialog's commands (declared in
// dialogs/command_handlers.h, where the layouts register them).
#pragma once
#include <windows.h>
#include "base/text.h"
#include "dialogs/command_handlers.h"

DWORD WINAPI installWorker(LPVOID dialog);
void writeMarkerValue(const Unit* name, DWORD value);

// True from the moment Install starts a worker: the process then ends only from the worker.
bool installRunning();
