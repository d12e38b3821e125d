// The two dialog procedures, the centring, and the handlers of both dialogs' own buttons and check boxes.
#pragma once
#include <windows.h>
#include "dialogs/command_handlers.h"

INT_PTR CALLBACK licenseDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK selectionDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
void centreOnWorkArea(HWND hwnd);
// Enables each target check box exactly where its target is available; with tick, ticks exactly those too.
void setTargetBoxes(HWND dialog, bool tick);
