// Both dialogs' controls as Windows makes them from the installer's templates, in creation order: the one
// expected table of the in-process dialog test and the end-to-end scenarios.
#pragma once
#include <windows.h>

struct DialogControl {
    const wchar_t* className;  // as GetClassNameW reports it
    DWORD style;               // without WS_DISABLED, which a target check box gets when its target is missing
    DWORD exStyle;             // without WS_EX_NOPARENTNOTIFY, which the dialog manager adds to every control
    int id;
    RECT placement;            // x, y, cx, cy in dialog units
    const wchar_t* text;       // null: the license text or a target label, which the test supplies
};

#define INSTALLER_TITLE L"Moravel Synthesizer Installer"

constexpr DialogControl LICENSE_CONTROLS[] = {
    {L"Static", 0x50000006, 0, 0, {0, 0, 309, 19}, L""},
    {L"Static", 0x50020001, 0, 3000, {0, 6, 309, 9}, INSTALLER_TITLE},
    {L"Static", 0x50000010, WS_EX_STATICEDGE, 0, {-5, 19, 319, 1}, L""},  // an etched line gives itself the edge
    {L"Static", 0x50020000, 0, 0, {13, 28, 283, 13},
     L"To install Moravel, you need to agree to the end-user license agreement."},
    {L"Edit", 0x50210844, WS_EX_STATICEDGE, 0, {19, 46, 271, 115}, nullptr},
    {L"Button", 0x50010000, 0, IDCANCEL, {252, 172, 50, 14}, L"&Cancel"},
    {L"Button", 0x50010001, 0, IDOK, {198, 172, 50, 14}, L"&Agree"},
};
constexpr int LICENSE_BOX_INDEX = 4;

constexpr DialogControl SELECTION_CONTROLS[] = {
    LICENSE_CONTROLS[0], LICENSE_CONTROLS[1], LICENSE_CONTROLS[2],
    {L"Static", 0x50000000, 0, 0xFFFF, {13, 28, 283, 13}, L"Select the versions you want to install:"},
    {L"Button", 0x50010003, 0, 1000, {27, 41, 255, 14}, L"CLAP (64-bit)"},
    {L"Static", 0x50000000, 0, 0, {37, 55, 235, 20}, nullptr},
    {L"Button", 0x50010003, 0, 1001, {27, 75, 255, 14}, L"CLAP (32-bit)"},
    {L"Static", 0x50000000, 0, 0, {37, 89, 235, 20}, nullptr},
    {L"Button", 0x50010003, 0, 1002, {27, 109, 255, 14}, L"FL Studio native"},
    {L"Static", 0x50000000, 0, 0, {37, 123, 235, 20}, nullptr},
    {L"Button", 0x50010003, 0, 1003, {27, 143, 255, 14}, L"Standalone application"},
    {L"Button", 0x50030000, 0, 2000, {7, 172, 50, 14}, L"&Uninstall"},
    {L"Button", 0x50010000, 0, IDCANCEL, {252, 172, 50, 14}, L"&Cancel"},
    {L"Button", 0x50010001, 0, IDOK, {198, 172, 50, 14}, L"&Install"},
    {L"msctls_progress32", 0x50000008, 0, 3001, {67, 173, 121, 12}, L"Installation progress"},
};
// The labels under the CLAP 64-bit, CLAP 32-bit and FL Studio check boxes.
constexpr int TARGET_LABEL_INDEX[3] = {5, 7, 9};

// The TargetMask bit of a target check box (ids 1000 to 1003), 0 for any other control. Before anything is
// pressed such a box is enabled and ticked exactly when its target is available; every other control is enabled.
constexpr int targetBit(int id) { return id >= 1000 && id <= 1003 ? 1 << (id - 1000) : 0; }
