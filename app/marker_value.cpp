// writeMarkerValue: the one registry value the installer writes itself. Failures are not reported.
#include "app/commands.h"
#include "base/win_text.h"

void writeMarkerValue(const Unit* name, DWORD value) {
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\BrellinAudioPlugins", 0, nullptr, REG_OPTION_NON_VOLATILE,
                    KEY_ALL_ACCESS, nullptr, &key, nullptr);
    RegSetValueExW(key, wide(name), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
}
