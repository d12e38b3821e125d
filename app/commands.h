// The Install and Uninstall commands of the selection dialog, and the install worker.
#pragma once
#include <windows.h>
#include "app/text.h"

void installCommand(HWND dialog);
DWORD WINAPI installWorker(LPVOID dialog);
void writeMarkerValue(const Unit* name, DWORD value);
void uninstallCommand(HWND dialog);

// True from the moment Install starts a worker: the process then ends only from the worker.
bool installRunning();

// The selection dialog's IDCANCEL handler: cancelCommand, except while a worker writes (a posted IDCANCEL or
// WM_CLOSE must not end the process under it).
void cancelUnlessInstallingCommand(HWND dialog);

// Contract: the selection dialog has just been built. Puts cancelUnlessInstallingCommand in place of the
// IDCANCEL record's handler, keeping the table's ids and order.
void guardCancelWhileInstalling();
