#include <windows.h>
#include <objbase.h>
#include <shobjidl.h>
#include "base/win_text.h"
#include "targets/targets.h"

// CLSID_ShellLink, IID_IShellLinkW and IID_IPersistFile, defined here so that no uuid library is linked.
static const CLSID shellLinkClass = {0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
static const IID shellLinkInterface = {0x000214F9, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
static const IID persistFileInterface = {0x0000010B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

HRESULT createShortcut(const Unit* targetPath, const Unit* shortcutPath, const Unit* description) {
    // Runs on the install worker, which has no other COM use; COM stays initialised until the process ends.
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    IShellLinkW* link = nullptr;
    HRESULT result = CoCreateInstance(shellLinkClass, nullptr, CLSCTX_INPROC_SERVER, shellLinkInterface,
                                      reinterpret_cast<void**>(&link));
    if (FAILED(result)) return result;
    link->SetPath(wide(targetPath));
    link->SetDescription(wide(description));
    IPersistFile* file = nullptr;
    result = link->QueryInterface(persistFileInterface, reinterpret_cast<void**>(&file));
    if (FAILED(result)) {
        link->Release();
        return result;
    }
    result = file->Save(wide(shortcutPath), TRUE);
    file->Release();
    link->Release();
    return result;
}
