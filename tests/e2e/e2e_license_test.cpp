// The license dialog and leaving before anything is installed: every way out ends with 0 and writes nothing.
#include "tests/e2e/scenario.h"
#include "tests/windows/wintest.h"

#define PATHS_KEY L"SOFTWARE\\Image-Line\\Shared\\Paths"

static void checkNothingWritten(const Machine& m) {
    CHECK_ABSENT(m.common);
    CHECK_ABSENT(m.common86);
    CHECK_ABSENT(m.standalone);
    CHECK_ABSENT(m.shortcut);
    CHECK(!keyExists(MARKER_KEY));
}

TEST(leaving_the_license_dialog_by_cancel_close_box_or_escape) {
    struct Way {
        const char* name;
        void (*leave)(HWND license);
    };
    const Way ways[] = {
        {"cancel_button", [](HWND d) { click(d, IDCANCEL); }},
        {"alt_c", [](HWND d) { pressMnemonic(d, L'c'); }},
        {"close_box", [](HWND d) { pressCloseBox(d); }},
        {"escape", [](HWND d) { pressEscape(d); }},
    };
    for (const Way& way : ways) {
        printf("    way out: %s\n", way.name);
        Scenario s;
        prepareScenario(&s, way.name, 0);
        CHECK(startInstaller(&s.installer, installerPath(), s.env.overrides, SCENARIO_OVERRIDES));
        HWND license = waitForDialog(&s.installer, L"&Agree");
        CHECK(license != nullptr);
        if (!license) { waitForExit(&s.installer, 0); continue; }
        checkLicenseDialog(license, __FILE__, __LINE__);
        way.leave(license);
        CHECK_EQ(waitForExit(&s.installer), 0u);
        // Discovery never ran: not even the key it creates.
        CHECK(!keyExists(PATHS_KEY));
        checkNothingWritten(s.m);
    }
}

TEST(agree_then_cancel_leaves_only_the_key_discovery_opens) {
    Scenario s;
    prepareScenario(&s, "agree_then_cancel", 0);
    if (!REACH_SELECTION(&s, installerPath())) return;
    // The license dialog is gone once the selection dialog shows (counted in the installer's own process:
    // other test programs may show dialogs of the same title meanwhile).
    int dialogs = visibleInstallerDialogs(&s.installer);
    CHECK_MSG(dialogs == 1, "%d visible installer dialogs, want 1 (the selection dialog)", dialogs);
    pressMnemonic(s.selection, L'c');
    CHECK_EQ(waitForExit(&s.installer), 0u);
    CHECK(keyExists(PATHS_KEY));
    CHECK_EQ(valueCount(PATHS_KEY), 0);
    checkNothingWritten(s.m);
}
