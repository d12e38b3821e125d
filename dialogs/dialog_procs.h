// The two dialog procedures, the centring, and the handlers of both dialogs' own buttons and check boxes.
#pragma once
#include <windows.h>

INT_PTR CALLBACK licenseDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK selectionDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
void centreOnWorkArea(HWND hwnd);

void agreeCommand(HWND dialog);
void cancelCommand(HWND dialog);
void toggleClap64Command(HWND dialog);
void toggleClap32Command(HWND dialog);
void toggleFlStudioCommand(HWND dialog);
void toggleStandaloneCommand(HWND dialog);
