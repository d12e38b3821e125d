// Walks the installer through its three looks for the screenshots: the license dialog, the selection dialog,
// and the selection dialog while installing. At each it asks take_screenshots.sh for a picture through a
// request file in the folder given as the argument, and waits until the picture is taken.
#include <stdio.h>
#include <wchar.h>
#include "tests/e2e/machine_state.h"
#include "tests/e2e/ui_driver.h"

static wchar_t folder[PATH_UNITS];

static bool requestShot(const char* name) {
    wchar_t request[PATH_UNITS], done[PATH_UNITS];
    swprintf(request, PATH_UNITS, L"%ls\\%hs.request", folder, name);
    swprintf(done, PATH_UNITS, L"%ls\\%hs.done", folder, name);
    Sleep(700);  // let the marquee and the focus settle
    writeFileBytes(request, name);
    for (int i = 0; i < 3000; ++i, Sleep(10))
        if (fileExists(done)) return true;
    printf("no picture for %s\n", name);
    return false;
}

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    swprintf(folder, PATH_UNITS, L"%hs", argv[1]);
    setFlStudioValue(L"C:\\Program Files\\Image-Line\\FL Studio 21\\FL64.exe");
    Installer installer;
    if (!startInstaller(&installer, installerPath(), nullptr, 0)) return 3;
    HWND license = waitForDialog(&installer, L"&Agree");
    if (!license || !requestShot("license")) return 4;
    click(license, IDOK);
    HWND selection = waitForDialog(&installer, L"&Install");
    if (!selection || !requestShot("selection")) return 5;
    click(selection, IDOK);
    if (!WAIT_FOR_STATES(selection, {IDOK, false, -1}, {1003, false, BST_CHECKED}) || !requestShot("installing")) return 6;
    ShownBox box;
    if (waitForMessageBox(&installer, &box)) answerMessageBox(&box);
    return int(waitForExit(&installer));
}
