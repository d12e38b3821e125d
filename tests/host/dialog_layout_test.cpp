// Both layouts as the builder writes them: the sizes the format gives for them and the CommandTable each build
// leaves. What each control is made of is checked against Windows itself (tests/windows/dialog_controls_test).
#include <gtest/gtest.h>
#include <string>
#include "dialogs/command_handlers.h"
#include "dialogs/dialog_layouts.h"

// Link-time stand-ins: the layouts only take the handlers' addresses.
void agreeCommand(HWND__*) {}
void cancelCommand(HWND__*) {}
void toggleClap64Command(HWND__*) {}
void toggleClap32Command(HWND__*) {}
void toggleFlStudioCommand(HWND__*) {}
void toggleStandaloneCommand(HWND__*) {}
void installCommand(HWND__*) {}
void uninstallCommand(HWND__*) {}
void cancelUnlessInstallingCommand(HWND__*) {}

namespace {

uint16_t itemCount() { return uint16_t(state.templateBuffer[16] | state.templateBuffer[17] << 8); }

void expectCommands(const std::vector<CommandEntry>& expected) {
    ASSERT_EQ(state.commandCount, expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(state.commands[i].id, expected[i].id) << "record " << i;
        EXPECT_EQ(state.commands[i].handler, expected[i].handler) << "record " << i;
    }
}

void setLabel(Unit* label, const std::u16string& text) { label[text.copy(label, LABEL_UNITS - 1)] = 0; }

}  // namespace

TEST(LicenseLayout, SevenRecordsOf4300BytesWithA1859CharacterText) {
    std::u16string license;
    while (license.size() < 1859) license += u"Line of the license agreement.\r\n";
    license.resize(1859);
    state.commandCount = 3;
    buildLicenseDialog(license.c_str());
    EXPECT_EQ(itemCount(), 7);
    EXPECT_EQ(state.templatePos, 4300u);
    expectCommands({{2, cancelCommand}, {1, agreeCommand}});
}

TEST(SelectionLayout, FifteenRecordsSizedByTheLabelsOfTheAvailableTargets) {
    // The longest labels discovery makes: 8 + 239 + 5 units for CLAP, 8 + 248 + 34 for FL Studio.
    setLabel(state.clap64Label, u"Target: " + std::u16string(239, u'c') + u"\\CLAP");
    setLabel(state.clap32Label, u"Target: " + std::u16string(239, u'd') + u"\\CLAP");
    setLabel(state.flStudioLabel, u"Target: " + std::u16string(248, u'f') + u"\\Plugins\\Fruity\\Generators\\Moravel");
    struct Case { int32_t available; uint64_t size; };
    // A filled buffer whose bit is clear is not shown: "(not available)" is 15 units plus 2 alignment bytes.
    const Case cases[] = {{TARGET_STANDALONE, 1098}, {15, 2590}, {TARGET_CLAP64 | TARGET_STANDALONE, 1098 + 474 - 2}};
    for (const Case& c : cases) {
        state.availableTargets = c.available;
        buildSelectionDialog();
        EXPECT_EQ(itemCount(), 15) << "available " << c.available;
        EXPECT_EQ(state.templatePos, c.size) << "available " << c.available;
    }
    state.availableTargets = 0;
    for (Unit* label : {state.clap64Label, state.clap32Label, state.flStudioLabel}) label[0] = 0;
}

TEST(SelectionLayout, ReplacesTheLicenseCommandsWithItsSeven) {
    buildLicenseDialog(u"short license");
    state.availableTargets = TARGET_STANDALONE;
    buildSelectionDialog();
    expectCommands({{1000, toggleClap64Command}, {1001, toggleClap32Command}, {1002, toggleFlStudioCommand},
                    {1003, toggleStandaloneCommand}, {2000, uninstallCommand}, {2, cancelUnlessInstallingCommand},
                    {1, installCommand}});
    state.availableTargets = 0;
}
