// writeMarkerValue against the prefix's registry: the key is made when missing and any old value replaced.
#include "tests/windows/wintest.h"
#include "app/commands.h"

#define MARKER_KEY L"SOFTWARE\\BrellinAudioPlugins"

static bool readMarker(const wchar_t* name, DWORD* type, DWORD* value, DWORD* size) {
    *size = sizeof *value;
    return RegGetValueW(HKEY_CURRENT_USER, MARKER_KEY, name, RRF_RT_ANY, type, value, size) == ERROR_SUCCESS;
}

TEST(marker_value_is_a_dword_whatever_was_there) {
    struct Case {
        const char* before;
        DWORD oldType;  // 0: key missing
        const void* oldData;
        DWORD oldSize;
        DWORD written;
    };
    DWORD five = 5;
    const wchar_t text[] = L"yes";
    const Case cases[] = {
        {"no key", 0, nullptr, 0, 1},
        {"old dword", REG_DWORD, &five, 4, 1},
        {"old string", REG_SZ, text, sizeof text, 1},
        {"other value", REG_DWORD, &five, 4, 0x12345678},
    };
    for (const Case& c : cases) {
        printf("    before: %s\n", c.before);
        RegDeleteTreeW(HKEY_CURRENT_USER, MARKER_KEY);
        RegDeleteKeyW(HKEY_CURRENT_USER, MARKER_KEY);
        if (c.oldType) {
            HKEY key;
            RegCreateKeyExW(HKEY_CURRENT_USER, MARKER_KEY, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
            RegSetValueExW(key, L"HasAnyPaidPlugins", 0, c.oldType, static_cast<const BYTE*>(c.oldData), c.oldSize);
            RegCloseKey(key);
        }
        writeMarkerValue(u"HasAnyPaidPlugins", c.written);
        DWORD type = 0, value = 0, size = 0;
        CHECK(readMarker(L"HasAnyPaidPlugins", &type, &value, &size));
        CHECK_EQ(type, DWORD(REG_DWORD));
        CHECK_EQ(size, 4u);
        CHECK_EQ(value, c.written);
    }
}
