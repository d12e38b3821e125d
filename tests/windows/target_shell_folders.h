// The standalone target's known folders, pointed at a case's own scratch folders through the User Shell
// Folders key, and the shortcut read back through the shell's link object.
#pragma once
#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <string>
#include "tests/windows/target_test_support.h"

namespace targettest {

struct StandaloneFolders {
    std::wstring root, appData, startMenu;
    std::wstring application, shortcut;
    SavedShellFolder savedAppData, savedStartMenu;
};

// Contract: every call is followed by restoreShellFolders. Points the roaming application-data folder at
// <scratch>\AppData and the Start menu at <scratch>\StartMenu (with its Programs folder); a folder that is
// not made is missing, which makes the shell's look-up fail.
inline StandaloneFolders pointShellFoldersAtScratch(const wchar_t* name, bool makeAppData = true,
                                                    bool makeStartMenu = true) {
    StandaloneFolders folders;
    folders.root = freshFolder(name);
    folders.appData = folders.root + L"\\AppData";
    folders.startMenu = folders.root + L"\\StartMenu";
    if (makeAppData) CreateDirectoryW(folders.appData.c_str(), nullptr);
    if (makeStartMenu) makeFolders(folders.startMenu + L"\\Programs");
    folders.application = folders.appData + L"\\BrellinAudioPlugins\\Moravel Standalone.exe";
    folders.shortcut = folders.startMenu + L"\\Programs\\Moravel Standalone.lnk";
    folders.savedAppData = setShellFolder(L"AppData", folders.appData);
    folders.savedStartMenu = setShellFolder(L"Start Menu", folders.startMenu);
    return folders;
}

inline void restoreShellFolders(const StandaloneFolders& folders) {
    restoreShellFolder(folders.savedAppData);
    restoreShellFolder(folders.savedStartMenu);
}

struct LoadedShortcut {
    HRESULT result;
    std::wstring path, description;
};

inline LoadedShortcut loadShortcut(const std::wstring& file) {
    LoadedShortcut loaded = {E_FAIL, L"", L""};
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    IShellLinkW* link = nullptr;
    loaded.result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                     reinterpret_cast<void**>(&link));
    if (FAILED(loaded.result)) return loaded;
    IPersistFile* persist = nullptr;
    loaded.result = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist));
    if (SUCCEEDED(loaded.result)) {
        loaded.result = persist->Load(file.c_str(), STGM_READ);
        if (SUCCEEDED(loaded.result)) {
            wchar_t text[1024] = L"";
            link->GetPath(text, 1024, nullptr, SLGP_RAWPATH);
            loaded.path = text;
            text[0] = 0;
            link->GetDescription(text, 1024);
            loaded.description = text;
        }
        persist->Release();
    }
    link->Release();
    return loaded;
}

}  // namespace targettest
