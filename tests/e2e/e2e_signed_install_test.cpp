// The signed installer (made by tests/shipped/signing_test.sh) installs as the unsigned one does: the
// signature appended after the sections changes nothing the installer reads.
#include "tests/e2e/scenario.h"
#include <wchar.h>
#include "app/messages.h"
#include "payload/payload_format.h"
#include "tests/windows/wintest.h"

static const wchar_t* signedInstallerPath() {
    static wchar_t path[PATH_UNITS];
    wcscpy(path, MORAVEL_E2E_SIGNED_INSTALLER);
    for (wchar_t* p = path; *p; ++p)
        if (*p == L'/') *p = L'\\';
    return path;
}

TEST(signed_installer_installs_all_four_targets) {
    CHECK(fileExists(signedInstallerPath()));
    Machine m;
    prepareMachine(&m, "signed_install");
    setFlStudioValue(m.flStudioExe);
    ScenarioEnvironment env = scenarioEnvironment(&m);
    Installer installer;
    HWND selection = startAtSelection(&installer, signedInstallerPath(), &env);
    CHECK(selection != nullptr);
    if (!selection) return;
    click(selection, IDOK);
    ShownBox box;
    EXPECT_MESSAGE_BOX(&installer, &box);
    CHECK_WSTR(box.text, MSG_INSTALL_SUCCEEDED);
    answerMessageBox(&box);
    CHECK_EQ(waitForExit(&installer), 0u);

    CHECK_PAYLOAD(m.clap64, ENTRY_KEY_CLAP64);
    CHECK_PAYLOAD(m.clap32, ENTRY_KEY_CLAP32);
    CHECK_PAYLOAD(m.fl64, ENTRY_KEY_FL64);
    CHECK_PAYLOAD(m.fl32, ENTRY_KEY_FL32);
    CHECK_PAYLOAD(m.standalone, ENTRY_KEY_STANDALONE);
}
