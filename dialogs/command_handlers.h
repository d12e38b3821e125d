// Every CommandHandler the two layouts register, declared as the CommandTable stores them (HWND is HWND__*),
// so that the layouts build without <windows.h>. The selection dialog's Install, Uninstall and Cancel live in
// app/ (install_command.cpp, uninstall_command.cpp).
#pragma once
#include "state/installer_state.h"

void agreeCommand(HWND__* dialog);
void cancelCommand(HWND__* dialog);
void toggleClap64Command(HWND__* dialog);
void toggleClap32Command(HWND__* dialog);
void toggleFlStudioCommand(HWND__* dialog);
void toggleStandaloneCommand(HWND__* dialog);
void installCommand(HWND__* dialog);
void uninstallCommand(HWND__* dialog);
// The selection dialog's Cancel: cancelCommand, except while a worker writes (a posted IDCANCEL or WM_CLOSE
// must not end the process under it).
void cancelUnlessInstallingCommand(HWND__* dialog);
