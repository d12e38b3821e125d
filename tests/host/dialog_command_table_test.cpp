// The CommandTable: lookup order, the id comparison, and the capacity that the product itself never checks.
#include <gtest/gtest.h>
#include "dialogs/command_table.h"
#include "dialogs/template_builder.h"

namespace {
void first(HWND__*) {}
void second(HWND__*) {}
void third(HWND__*) {}
}  // namespace

TEST(CommandTable, FindsTheFirstRecordWhoseIdEqualsTheUnsignedControlId) {
    beginDialog(u"T", 10, 10);
    registerCommand(7, first);
    registerCommand(7, second);      // a second record for one id is never reached
    registerCommand(-1, third);      // 0xFFFF widened without sign is 65535, not -1
    registerCommand(65536 + 8, third);  // ids beyond 16 bits never match
    registerCommand(65535, second);
    registerCommand(0, third);
    struct Case { uint16_t controlId; CommandHandler expected; };
    const Case cases[] = {{7, first}, {0xFFFF, second}, {8, nullptr}, {0, third}, {1, nullptr}};
    for (const Case& c : cases) EXPECT_EQ(findCommand(c.controlId), c.expected) << "id " << c.controlId;
    EXPECT_EQ(state.commandCount, 6u);
}

TEST(CommandTable, BeginDialogLeavesNoRecordToFind) {
    beginDialog(u"T", 10, 10);
    registerCommand(2, first);
    ASSERT_EQ(findCommand(2), first);
    beginDialog(u"T", 10, 10);
    EXPECT_EQ(findCommand(2), nullptr);  // the stale record is still in memory but past commandCount
    registerCommand(1, second);
    EXPECT_EQ(findCommand(1), second);
    EXPECT_EQ(findCommand(2), nullptr);
}

TEST(CommandTable, HoldsOneHundredRecords) {
    beginDialog(u"T", 10, 10);
    for (int32_t id = 0; id < 100; ++id) registerCommand(id, id == 99 ? second : first);
    EXPECT_EQ(state.commandCount, 100u);
    EXPECT_EQ(findCommand(99), second);
}

TEST(CommandTableDeathTest, ARegistrationBeyondOneHundredAbortsInTheCheckedBuild) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            beginDialog(u"T", 10, 10);
            for (int32_t id = 0; id < 101; ++id) registerCommand(id, first);
        },
        "checked assertion failed: state.commandCount < COMMAND_CAPACITY");
}
