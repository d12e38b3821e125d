// Every CommandHandler the two layouts register, declared as the CommandTable stores them (HWND is HWND__*),
// so that the layouts build without <windows.h>. installCommand and uninstallCommand live in app/ (app/commands.h).
#pragma once
#include "app/installer_state.h"

void agreeCommand(HWND__* dialog);
void cancelCommand(HWND__* dialog);
void toggleClap64Command(HWND__* dialog);
void toggleClap32Command(HWND__* dialog);
void toggleFlStudioCommand(HWND__* dialog);
void toggleStandaloneCommand(HWND__* dialog);
void installCommand(HWND__* dialog);
void uninstallCommand(HWND__* dialog);
