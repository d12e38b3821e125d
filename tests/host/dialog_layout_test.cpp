// Both layouts as the builder writes them: every record read back from the template, the sizes the format
// gives for them, and the CommandTable each build leaves.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "dialogs/command_handlers.h"
#include "dialogs/dialog_layouts.h"
#include "tests/host/dialog_template_bytes.h"

// Link-time stand-ins: the layouts only take the handlers' addresses.
void agreeCommand(HWND__*) {}
void cancelCommand(HWND__*) {}
void toggleClap64Command(HWND__*) {}
void toggleClap32Command(HWND__*) {}
void toggleFlStudioCommand(HWND__*) {}
void toggleStandaloneCommand(HWND__*) {}
void installCommand(HWND__*) {}
void uninstallCommand(HWND__*) {}

namespace {

struct Record {
    uint32_t exStyle, style;
    int16_t x, y, cx, cy;
    uint32_t id;
    std::u16string className;  // atoms read back as their names
    std::u16string text;
};

bool operator==(const Record& a, const Record& b) {
    return a.exStyle == b.exStyle && a.style == b.style && a.x == b.x && a.y == b.y && a.cx == b.cx &&
           a.cy == b.cy && a.id == b.id && a.className == b.className && a.text == b.text;
}

std::ostream& operator<<(std::ostream& out, const Record& r) {
    return out << "id " << r.id << " style " << std::hex << r.style << " exStyle " << r.exStyle << std::dec
               << " at " << r.x << "," << r.y << " size " << r.cx << "x" << r.cy << " class length "
               << r.className.size() << " text length " << r.text.size();
}

// Reads the records back from the template in state.templateBuffer.
struct TemplateReader {
    uint64_t pos = 0;
    uint16_t u16() { uint16_t v = uint16_t(state.templateBuffer[pos] | state.templateBuffer[pos + 1] << 8); pos += 2; return v; }
    uint32_t u32() { uint32_t low = u16(); return low | uint32_t(u16()) << 16; }
    std::u16string text() {
        std::u16string s;
        for (uint16_t unit = u16(); unit != 0; unit = u16()) s += char16_t(unit);
        return s;
    }

    std::vector<Record> records() {
        pos = 16;
        const uint16_t count = u16();
        pos = 30;
        text();        // title
        pos += 6;      // font fields
        text();        // typeface
        std::vector<Record> out;
        for (uint16_t i = 0; i < count; ++i) {
            pos = (pos + 3) & ~uint64_t(3);
            Record r;
            u32();  // helpID
            r.exStyle = u32();
            r.style = u32();
            r.x = int16_t(u16()); r.y = int16_t(u16()); r.cx = int16_t(u16()); r.cy = int16_t(u16());
            r.id = u32();
            if (state.templateBuffer[pos] == 0xFF && state.templateBuffer[pos + 1] == 0xFF) {
                pos += 2;
                static const char16_t* const names[] = {u"BUTTON", u"EDIT", u"STATIC", u"LISTBOX", u"SCROLLBAR", u"COMBOBOX"};
                r.className = names[u16() - 0x80];
            } else {
                r.className = text();
            }
            r.text = text();
            EXPECT_EQ(u16(), 0) << "extraCount of record " << i;
            out.push_back(r);
        }
        EXPECT_EQ(pos, state.templatePos);
        return out;
    }
};

std::vector<Record> headerRecords() {
    return {
        {0, 0x50000006, 0, 0, 309, 19, 0, u"STATIC", u""},
        {0, 0x50020001, 0, 6, 309, 9, 3000, u"STATIC", u"Moravel Synthesizer Installer"},
        {0, 0x50000010, -5, 19, 319, 1, 0, u"STATIC", u""},
    };
}

std::vector<Record> selectionRecords(const std::u16string& clap64, const std::u16string& clap32,
                                     const std::u16string& flStudio) {
    std::vector<Record> records = headerRecords();
    const std::vector<Record> rest = {
        {0, 0x50000000, 13, 28, 283, 13, 0xFFFF, u"STATIC", u"Select the versions you want to install:"},
        {0, 0x50010003, 27, 41, 255, 14, 1000, u"BUTTON", u"CLAP (64-bit)"},
        {0, 0x50000000, 37, 55, 235, 20, 0, u"STATIC", clap64},
        {0, 0x50010003, 27, 75, 255, 14, 1001, u"BUTTON", u"CLAP (32-bit)"},
        {0, 0x50000000, 37, 89, 235, 20, 0, u"STATIC", clap32},
        {0, 0x50010003, 27, 109, 255, 14, 1002, u"BUTTON", u"FL Studio native"},
        {0, 0x50000000, 37, 123, 235, 20, 0, u"STATIC", flStudio},
        {0, 0x50010003, 27, 143, 255, 14, 1003, u"BUTTON", u"Standalone application"},
        {0, 0x50030000, 7, 172, 50, 14, 2000, u"BUTTON", u"&Uninstall"},
        {0, 0x50010000, 252, 172, 50, 14, 2, u"BUTTON", u"&Cancel"},
        {0, 0x50010001, 198, 172, 50, 14, 1, u"BUTTON", u"&Install"},
        {0, 0x50000008, 67, 173, 121, 12, 3001, u"msctls_progress32", u"Installation progress"},
    };
    records.insert(records.end(), rest.begin(), rest.end());
    return records;
}

std::vector<CommandEntry> commandTable() {
    return std::vector<CommandEntry>(state.commands, state.commands + state.commandCount);
}

void expectCommands(const std::vector<CommandEntry>& expected) {
    const auto actual = commandTable();
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(actual[i].id, expected[i].id) << "record " << i;
        EXPECT_EQ(actual[i].handler, expected[i].handler) << "record " << i;
    }
}

void setLabels(const std::u16string& clap64, const std::u16string& clap32, const std::u16string& flStudio) {
    clap64.copy(state.clap64Label, LABEL_UNITS - 1); state.clap64Label[clap64.size()] = 0;
    clap32.copy(state.clap32Label, LABEL_UNITS - 1); state.clap32Label[clap32.size()] = 0;
    flStudio.copy(state.flStudioLabel, LABEL_UNITS - 1); state.flStudioLabel[flStudio.size()] = 0;
}

std::u16string longestClapLabel() { return u"Target: " + std::u16string(239, u'c') + u"\\CLAP"; }
std::u16string longestFlStudioLabel() {
    return u"Target: " + std::u16string(248, u'f') + u"\\Plugins\\Fruity\\Generators\\Moravel";
}

}  // namespace

TEST(LicenseLayout, SevenRecordsOf4300BytesWithA1859CharacterText) {
    std::u16string license;
    while (license.size() < 1859) license += u"Line of the license agreement.\r\n";
    license.resize(1859);
    state.commandCount = 3;
    buildLicenseDialog(license.c_str());

    EXPECT_EQ(itemCount(), 7);
    EXPECT_EQ(state.templatePos, 4300u);
    std::vector<Record> expected = headerRecords();
    const std::vector<Record> rest = {
        {0, 0x50020000, 13, 28, 283, 13, 0, u"STATIC",
         u"To install Moravel, you need to agree to the end-user license agreement."},
        {0x20000, 0x50210844, 19, 46, 271, 115, 0, u"EDIT", license},
        {0, 0x50010000, 252, 172, 50, 14, 2, u"BUTTON", u"&Cancel"},
        {0, 0x50010001, 198, 172, 50, 14, 1, u"BUTTON", u"&Agree"},
    };
    expected.insert(expected.end(), rest.begin(), rest.end());
    const auto records = TemplateReader().records();
    ASSERT_EQ(records.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(records[i], expected[i]) << "control " << i + 1;
    expectCommands({{2, cancelCommand}, {1, agreeCommand}});
}

TEST(SelectionLayout, LabelsFollowAvailabilityAndTheSizesMatch) {
    const std::u16string clap = longestClapLabel(), fl = longestFlStudioLabel(), none = u"(not available)";
    struct Case { int32_t available; std::u16string clap64, clap32, flStudio; uint64_t size; };
    const Case cases[] = {
        {TARGET_STANDALONE, none, none, none, 1098},
        {15, clap, clap, fl, 2590},
        // A filled buffer whose bit is clear still shows "(not available)".
        {TARGET_CLAP64 | TARGET_STANDALONE, clap, none, none, 0},
        {TARGET_CLAP32 | TARGET_FLSTUDIO, none, clap, fl, 0},
    };
    for (const Case& c : cases) {
        setLabels(clap, clap, fl);
        state.availableTargets = c.available;
        buildSelectionDialog();
        EXPECT_EQ(itemCount(), 15) << "available " << c.available;
        if (c.size != 0) {
            EXPECT_EQ(state.templatePos, c.size) << "available " << c.available;
        }
        const auto expected = selectionRecords(c.clap64, c.clap32, c.flStudio);
        const auto records = TemplateReader().records();
        ASSERT_EQ(records.size(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i)
            EXPECT_EQ(records[i], expected[i]) << "control " << i + 1 << ", available " << c.available;
    }
    state.availableTargets = 0;
    setLabels(u"", u"", u"");
}

TEST(SelectionLayout, ReplacesTheLicenseCommandsWithItsSeven) {
    buildLicenseDialog(u"short license");
    state.availableTargets = TARGET_STANDALONE;
    buildSelectionDialog();
    expectCommands({{1000, toggleClap64Command}, {1001, toggleClap32Command}, {1002, toggleFlStudioCommand},
                    {1003, toggleStandaloneCommand}, {2000, uninstallCommand}, {2, cancelCommand},
                    {1, installCommand}});
    state.availableTargets = 0;
}
