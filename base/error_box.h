// The installer's error box: the message over the system's default caption ("Error") and one OK button.
#pragma once
#include <windows.h>
#include "base/win_text.h"

inline void showError(HWND owner, const Unit* message) { MessageBoxW(owner, wide(message), nullptr, MB_OK); }
