// The installer's resources as Windows reads them from the built MoravelSetup.exe: exactly a manifest and one
// icon group of four images, all in language 1033.
#include "tests/windows/wintest.h"
#include <string.h>
#include <string>

static HMODULE image() {
    static HMODULE module = LoadLibraryExW(MORAVEL_INSTALLER_PATH, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    return module;
}

static std::string resourceBytes(LPCWSTR type, LPCWSTR name) {
    HRSRC found = FindResourceExW(image(), type, name, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    if (!found) return {};
    const char* data = static_cast<const char*>(LockResource(LoadResource(image(), found)));
    return std::string(data, SizeofResource(image(), found));
}

static BOOL CALLBACK collectType(HMODULE, LPWSTR type, LONG_PTR parameter) {
    auto* types = reinterpret_cast<std::wstring*>(parameter);
    *types += IS_INTRESOURCE(type) ? std::to_wstring(reinterpret_cast<ULONG_PTR>(type)) : std::wstring(type);
    *types += L" ";
    return TRUE;
}

TEST(only_the_manifest_and_the_icon_group) {
    CHECK(image() != nullptr);
    std::wstring types;
    EnumResourceTypesW(image(), collectType, reinterpret_cast<LONG_PTR>(&types));
    CHECK_WSTR(types.c_str(), L"3 14 24 ");  // RT_ICON, RT_GROUP_ICON, RT_MANIFEST
}

TEST(manifest_asks_for_administrator_and_common_controls_6) {
    std::string manifest = resourceBytes(RT_MANIFEST, MAKEINTRESOURCEW(1));
    CHECK(!manifest.empty());
    const char* required[] = {
        "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\"?>",
        "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">",
        "<trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\">",
        "<requestedExecutionLevel level=\"requireAdministrator\" uiAccess=\"false\"/>",
        "type=\"Win32\" name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
        "processorArchitecture=\"*\" publicKeyToken=\"6595b64144ccf1df\" language=\"*\"",
    };
    for (const char* text : required) {
        std::string flat;
        for (char c : manifest) flat += (c == '\r' || c == '\n') ? ' ' : c;
        // The identity's attributes may wrap: compare with runs of blanks made single.
        std::string squeezed;
        for (char c : flat)
            if (!(c == ' ' && !squeezed.empty() && squeezed.back() == ' ')) squeezed += c;
        if (squeezed.find(text) == std::string::npos) wintest::fail(__FILE__, __LINE__, text);
    }
}

#pragma pack(push, 2)
struct GroupEntry {
    BYTE width, height, colorCount, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

TEST(icon_group_1_lists_images_1_to_4) {
    std::string group = resourceBytes(RT_GROUP_ICON, MAKEINTRESOURCEW(1));
    CHECK_EQ(group.size(), 6u + 4 * sizeof(GroupEntry));
    if (group.size() != 6 + 4 * sizeof(GroupEntry)) return;
    const WORD* header = reinterpret_cast<const WORD*>(group.data());
    CHECK_EQ(header[1], 1);  // icons, not cursors
    CHECK_EQ(header[2], 4);
    struct Expected {
        int size, bits;
    };
    const Expected expected[] = {{16, 4}, {16, 8}, {32, 4}, {32, 8}};
    for (int i = 0; i < 4; ++i) {
        GroupEntry entry;
        memcpy(&entry, group.data() + 6 + i * sizeof entry, sizeof entry);
        CHECK_EQ(entry.id, i + 1);
        CHECK_EQ(entry.width, expected[i].size);
        CHECK_EQ(entry.height, expected[i].size);
        CHECK_EQ(entry.bitCount, expected[i].bits);
        // The image itself: an uncompressed DIB of twice the height (colours, then the mask).
        std::string dib = resourceBytes(RT_ICON, MAKEINTRESOURCEW(i + 1));
        CHECK_EQ(dib.size(), size_t(entry.bytes));
        if (dib.size() < sizeof(BITMAPINFOHEADER)) continue;
        BITMAPINFOHEADER info;
        memcpy(&info, dib.data(), sizeof info);
        CHECK_EQ(info.biWidth, expected[i].size);
        CHECK_EQ(info.biHeight, 2 * expected[i].size);
        CHECK_EQ(info.biBitCount, expected[i].bits);
        CHECK_EQ(info.biCompression, DWORD(BI_RGB));
        size_t rowBytes = (expected[i].size * expected[i].bits + 31) / 32 * 4;
        size_t maskRow = (expected[i].size + 31) / 32 * 4;
        CHECK_EQ(dib.size(), sizeof info + (size_t(1) << expected[i].bits) * 4 +
                                 expected[i].size * (rowBytes + maskRow));
    }
    // Windows makes a usable icon of the 32x32 image.
    HICON icon = static_cast<HICON>(LoadImageW(image(), MAKEINTRESOURCEW(1), IMAGE_ICON, 32, 32, 0));
    CHECK(icon != nullptr);
    if (icon) DestroyIcon(icon);
}
