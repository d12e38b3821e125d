// The Install and Uninstall commands of the selection dialog, and the install worker.
#pragma once
#include <windows.h>
#include "app/text.h"

void installCommand(HWND dialog);
DWORD WINAPI installWorker(LPVOID dialog);
void writeMarkerValue(const Unit* name, DWORD value);
void uninstallCommand(HWND dialog);
