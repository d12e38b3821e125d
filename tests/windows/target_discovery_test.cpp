// Target discovery against the process's real environment and the prefix's real registry.
#include "tests/windows/target_test_support.h"
#include "targets/discovery.h"

using namespace targettest;

namespace {

enum FlValueKind { FL_NO_KEY, FL_STRING, FL_DWORD };

struct DiscoveryCase {
    const char* name;
    const std::wstring* clap64;  // null: the variable is not set
    const std::wstring* clap32;
    FlValueKind flKind;
    std::wstring flValue;
    int32_t bits;  // besides TARGET_STANDALONE, which is always set
    std::wstring clap64Label, clap32Label, flStudioLabel;
};

std::wstring repeated(const std::wstring& head, size_t length) {
    std::wstring value = head;
    value.resize(length, L'x');
    return value;
}

}  // namespace

TEST(discovery_judges_each_source_on_its_own) {
    const std::wstring common = L"C:\\Program Files\\Common Files";
    const std::wstring commonX86 = L"C:\\Program Files (x86)\\Common Files";
    const std::wstring empty = L"";
    const std::wstring of239 = repeated(L"D:\\Common\\", 239);
    const std::wstring of240 = repeated(L"D:\\Common\\", 240);
    const std::wstring of249 = repeated(L"D:\\Common\\", 249);
    const std::wstring of300 = repeated(L"D:\\Common\\", 300);
    const std::wstring flFolder249 = repeated(L"E:\\FL\\", 240) + L"\\host.exe";
    const std::wstring flFolder250 = repeated(L"E:\\FL\\", 241) + L"\\host.exe";
    const std::wstring flSuffix = L"\\Plugins\\Fruity\\Generators\\Moravel";

    const DiscoveryCase cases[] = {
        {"all usable", &common, &commonX86, FL_STRING, L"D:\\Audio\\Host\\host.exe",
         TARGET_CLAP64 | TARGET_CLAP32 | TARGET_FLSTUDIO, L"Target: " + common + L"\\CLAP",
         L"Target: " + commonX86 + L"\\CLAP", L"Target: D:\\Audio\\Host\\Plugins\\Fruity\\Generators\\Moravel"},
        {"239 shown, 240 not", &of239, &of240, FL_NO_KEY, L"", TARGET_CLAP64, L"Target: " + of239 + L"\\CLAP", L"",
         L""},
        {"x86 missing", &common, nullptr, FL_NO_KEY, L"", TARGET_CLAP64, L"Target: " + common + L"\\CLAP", L"", L""},
        {"64-bit missing", nullptr, &commonX86, FL_NO_KEY, L"", TARGET_CLAP32, L"",
         L"Target: " + commonX86 + L"\\CLAP", L""},
        {"empty and too long for the read", &empty, &of300, FL_NO_KEY, L"", 0, L"", L"", L""},
        {"249 is still too long", &of249, nullptr, FL_NO_KEY, L"", 0, L"", L"", L""},
        {"FL Studio value of 249", nullptr, nullptr, FL_STRING, flFolder249, TARGET_FLSTUDIO, L"", L"",
         L"Target: " + flFolder249.substr(0, 240) + flSuffix},
        {"FL Studio value of 250", nullptr, nullptr, FL_STRING, flFolder250, 0, L"", L"", L""},
        {"FL Studio value with a trailing backslash", nullptr, nullptr, FL_STRING, L"D:\\Audio\\Host\\",
         TARGET_FLSTUDIO, L"", L"", L"Target: D:\\Audio\\Host" + flSuffix},
        {"FL Studio value without a backslash", nullptr, nullptr, FL_STRING, L"host.exe", 0, L"", L"", L""},
        {"FL Studio value empty", nullptr, nullptr, FL_STRING, L"", 0, L"", L"", L""},
        {"FL Studio value of the wrong type", nullptr, nullptr, FL_DWORD, L"", 0, L"", L"", L""},
    };
    for (const DiscoveryCase& c : cases) {
        printf("  case: %s\n", c.name);
        resetState();
        setVariable(L"COMMONPROGRAMFILES", c.clap64);
        setVariable(L"COMMONPROGRAMFILES(X86)", c.clap32);
        if (c.flKind == FL_NO_KEY) deleteFlStudioKey();
        if (c.flKind == FL_STRING) setFlStudioPath(c.flValue);
        if (c.flKind == FL_DWORD) {
            DWORD one = 1;
            setFlStudioValue(REG_DWORD, &one, sizeof one);
        }
        discoverTargets();
        CHECK_EQ(state.availableTargets, c.bits | TARGET_STANDALONE);
        CHECK_WSTR(state.clap64Label, c.clap64Label.c_str());
        CHECK_WSTR(state.clap32Label, c.clap32Label.c_str());
        CHECK_WSTR(state.flStudioLabel, c.flStudioLabel.c_str());
    }
    deleteFlStudioKey();
}

TEST(discovery_creates_a_missing_fl_studio_key_without_values) {
    resetState();
    deleteFlStudioKey();
    DWORD values = 99;
    CHECK(!flStudioKeyExists(&values));
    discoverTargets();
    CHECK_EQ(state.availableTargets & TARGET_FLSTUDIO, 0);
    CHECK(flStudioKeyExists(&values));
    CHECK_EQ(values, 0u);
    deleteFlStudioKey();
}

TEST(fl_studio_folder_is_the_value_cut_at_its_last_backslash) {
    struct Case { std::wstring value; bool found; std::wstring folder; };
    const Case cases[] = {
        {L"D:\\Audio\\Host\\host.exe", true, L"D:\\Audio\\Host"},
        {L"D:\\Audio\\Host\\", true, L"D:\\Audio\\Host"},
        {L"host.exe", false, L""},
        {L"\\host.exe", false, L""},
    };
    for (const Case& c : cases) {
        setFlStudioPath(c.value);
        Unit buffer[FOLDER_BUFFER_UNITS];
        for (Unit& unit : buffer) unit = u'#';
        CHECK_EQ(readFlStudioFolder(buffer), c.found);
        if (c.found) CHECK_WSTR(buffer, c.folder.c_str());
        // The buffer is zero-filled first, so nothing of its old contents survives after the string.
        CHECK_EQ(buffer[FOLDER_BUFFER_UNITS - 1], 0);
    }
    deleteFlStudioKey();
}
