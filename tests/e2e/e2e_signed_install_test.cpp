// The signed installer (made by tests/shipped/signing_test.sh) installs as the unsigned one does: the
// signature appended after the sections changes nothing the installer reads.
#include "tests/e2e/scenario.h"
#include <wchar.h>
#include "base/messages.h"
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
    Scenario s;
    prepareScenario(&s, "signed_install", WITH_FL_STUDIO);
    const Machine& m = s.m;
    if (!REACH_SELECTION(&s, signedInstallerPath())) return;
    click(s.selection, IDOK);
    ANSWER_BOX(&s.installer, MSG_INSTALL_SUCCEEDED, L"Moravel", s.selection);
    CHECK_EQ(waitForExit(&s.installer), 0u);

    CHECK_PAYLOAD(m.clap64, ENTRY_KEY_CLAP64);
    CHECK_PAYLOAD(m.clap32, ENTRY_KEY_CLAP32);
    CHECK_PAYLOAD(m.fl64, ENTRY_KEY_FL64);
    CHECK_PAYLOAD(m.fl32, ENTRY_KEY_FL32);
    CHECK_PAYLOAD(m.standalone, ENTRY_KEY_STANDALONE);
}
