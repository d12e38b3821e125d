// The installer's entry routine: no C runtime start-up runs before it, it takes no arguments and never returns.
#include <windows.h>
#include <commctrl.h>
#include "app/license_text.h"
#include "base/error_box.h"
#include "base/messages.h"
#include "base/win_text.h"
#include "dialogs/dialog_layouts.h"
#include "dialogs/dialog_procs.h"
#include "payload/payload_image.h"
#include "state/installer_state.h"
#include "targets/discovery.h"

typedef BOOL(WINAPI* SetDefaultDllDirectoriesFunction)(DWORD flags);
typedef BOOL(WINAPI* SetProcessDpiAwarenessContextFunction)(DPI_AWARENESS_CONTEXT context);

extern "C" void installerEntry() {
    // First of all: users start the elevated installer from their Downloads folder, where a planted DLL must not
    // be found by any later load. Looked up at run time since it is missing before Windows 8; kernel32 is in
    // every process, so asking for it loads nothing. (Casting through void* keeps GCC's function-cast check.)
    auto restrictDllSearch = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
    if (restrictDllSearch) restrictDllSearch(LOAD_LIBRARY_SEARCH_SYSTEM32);

    // ICC_WIN95_CLASSES: the progress bar of the selection dialog needs its class registered.
    INITCOMMONCONTROLSEX controls = {sizeof(INITCOMMONCONTROLSEX), 0xFF};
    InitCommonControlsEx(&controls);

    auto setDpiAwareness = reinterpret_cast<SetProcessDpiAwarenessContextFunction>(
        reinterpret_cast<void*>(GetProcAddress(LoadLibraryW(L"user32.dll"), "SetProcessDpiAwarenessContext")));
    if (setDpiAwareness) setDpiAwareness(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);

    uint64_t length = uint64_t(licenseTextEnd - licenseTextBegin);
    Unit* license = static_cast<Unit*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, 2 * length + 2));
    if (!license) {
        showError(nullptr, MSG_OUT_OF_MEMORY);
        ExitProcess(0);
    }
    widenLicenseText(license, licenseTextBegin, licenseTextEnd);

    buildLicenseDialog(license);
    auto dialogTemplate = reinterpret_cast<LPCDLGTEMPLATEW>(state.templateBuffer);
    // 0 is Cancel (also the close box and Esc); -1, a dialog that could not be made, goes on like Agree.
    if (DialogBoxIndirectParamW(nullptr, dialogTemplate, nullptr, licenseDialogProc, 0) != 0) {
        discoverTargets();
        buildSelectionDialog();
        // Returns after Cancel or Uninstall; after Install the worker ends the process instead.
        DialogBoxIndirectParamW(nullptr, dialogTemplate, nullptr, selectionDialogProc, 0);
    }
    ExitProcess(0);
}
