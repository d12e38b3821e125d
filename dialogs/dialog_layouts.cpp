#include "dialogs/dialog_layouts.h"
#include "dialogs/command_handlers.h"
#include "dialogs/command_table.h"
#include "dialogs/template_builder.h"
#include "state/installer_state.h"

namespace {

enum TextSource : uint8_t {
    TEXT_FIXED,    // text as given (null: none)
    TEXT_LICENSE,  // the license text handed to buildLicenseDialog
    TEXT_LABEL,    // text is a label buffer, shown only when labelTarget is available
};

// One control in creation order, and the command registered under its id right after it (null: none).
struct LaidOutControl {
    const Unit* className;
    uint32_t exStyle;
    uint32_t style;
    uint32_t id;
    ControlRect rect;
    TextSource source;
    const Unit* text;
    int32_t labelTarget;
    CommandHandler command;
};

constexpr uint32_t HEADER_FILL = 0x50000006;      // WS_CHILD | WS_VISIBLE | SS_WHITERECT
constexpr uint32_t HEADER_TITLE = 0x50020001;     // WS_CHILD | WS_VISIBLE | WS_GROUP | SS_CENTER
constexpr uint32_t HEADER_LINE = 0x50000010;      // WS_CHILD | WS_VISIBLE | SS_ETCHEDHORZ
constexpr uint32_t GROUP_TEXT = 0x50020000;       // WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT
constexpr uint32_t PLAIN_TEXT = 0x50000000;       // WS_CHILD | WS_VISIBLE | SS_LEFT
// WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY
constexpr uint32_t LICENSE_BOX = 0x50210844;
constexpr uint32_t PUSH_BUTTON = 0x50010000;      // WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON
constexpr uint32_t DEFAULT_BUTTON = 0x50010001;   // ... | BS_DEFPUSHBUTTON
constexpr uint32_t CHECK_BOX = 0x50010003;        // ... | BS_AUTOCHECKBOX
constexpr uint32_t GROUP_BUTTON = 0x50030000;     // WS_CHILD | WS_VISIBLE | WS_GROUP | WS_TABSTOP | BS_PUSHBUTTON
constexpr uint32_t MARQUEE_BAR = 0x50000008;      // WS_CHILD | WS_VISIBLE | PBS_MARQUEE
constexpr uint32_t STATIC_EDGE = 0x20000;         // WS_EX_STATICEDGE

// Header of both dialogs: a window-coloured band, the title on it, an etched line under it that overhangs
// the dialog's edges by 5 units on either side.
#define HEADER_CONTROLS                                                                                        \
    {u"STATIC", 0, HEADER_FILL, 0, {0, 309, 0, 19}, TEXT_FIXED, nullptr, 0, nullptr},                          \
    {u"STATIC", 0, HEADER_TITLE, IDC_HEADER_TITLE, {0, 309, 6, 15}, TEXT_FIXED, DIALOG_TITLE, 0, nullptr},     \
    {u"STATIC", 0, HEADER_LINE, 0, {-5, 314, 19, 20}, TEXT_FIXED, nullptr, 0, nullptr}

constexpr LaidOutControl licenseLayout[] = {
    HEADER_CONTROLS,
    {u"STATIC", 0, GROUP_TEXT, 0, {13, 296, 28, 41}, TEXT_FIXED,
     u"To install Moravel, you need to agree to the end-user license agreement.", 0, nullptr},
    {u"EDIT", STATIC_EDGE, LICENSE_BOX, 0, {19, 290, 46, 161}, TEXT_LICENSE, nullptr, 0, nullptr},
    {u"BUTTON", 0, PUSH_BUTTON, IDCANCEL, {252, 302, 172, 186}, TEXT_FIXED, u"&Cancel", 0, cancelCommand},
    {u"BUTTON", 0, DEFAULT_BUTTON, IDOK, {198, 248, 172, 186}, TEXT_FIXED, u"&Agree", 0, agreeCommand},
};

constexpr LaidOutControl selectionLayout[] = {
    HEADER_CONTROLS,
    {u"STATIC", 0, PLAIN_TEXT, IDC_PROMPT, {13, 296, 28, 41}, TEXT_FIXED,
     u"Select the versions you want to install:", 0, nullptr},
    {u"BUTTON", 0, CHECK_BOX, IDC_TARGET_CLAP64, {27, 282, 41, 55}, TEXT_FIXED, u"CLAP (64-bit)", 0,
     toggleClap64Command},
    {u"STATIC", 0, PLAIN_TEXT, 0, {37, 272, 55, 75}, TEXT_LABEL, state.clap64Label, TARGET_CLAP64, nullptr},
    {u"BUTTON", 0, CHECK_BOX, IDC_TARGET_CLAP32, {27, 282, 75, 89}, TEXT_FIXED, u"CLAP (32-bit)", 0,
     toggleClap32Command},
    {u"STATIC", 0, PLAIN_TEXT, 0, {37, 272, 89, 109}, TEXT_LABEL, state.clap32Label, TARGET_CLAP32, nullptr},
    {u"BUTTON", 0, CHECK_BOX, IDC_TARGET_FLSTUDIO, {27, 282, 109, 123}, TEXT_FIXED, u"FL Studio native", 0,
     toggleFlStudioCommand},
    {u"STATIC", 0, PLAIN_TEXT, 0, {37, 272, 123, 143}, TEXT_LABEL, state.flStudioLabel, TARGET_FLSTUDIO,
     nullptr},
    {u"BUTTON", 0, CHECK_BOX, IDC_TARGET_STANDALONE, {27, 282, 143, 157}, TEXT_FIXED,
     u"Standalone application", 0, toggleStandaloneCommand},
    {u"BUTTON", 0, GROUP_BUTTON, IDC_UNINSTALL, {7, 57, 172, 186}, TEXT_FIXED, u"&Uninstall", 0,
     uninstallCommand},
    {u"BUTTON", 0, PUSH_BUTTON, IDCANCEL, {252, 302, 172, 186}, TEXT_FIXED, u"&Cancel", 0,
     cancelUnlessInstallingCommand},
    {u"BUTTON", 0, DEFAULT_BUTTON, IDOK, {198, 248, 172, 186}, TEXT_FIXED, u"&Install", 0, installCommand},
    {u"msctls_progress32", 0, MARQUEE_BAR, IDC_PROGRESS, {67, 188, 173, 185}, TEXT_FIXED,
     u"Installation progress", 0, nullptr},
};

void buildFromLayout(const LaidOutControl* controls, uint64_t count, const Unit* licenseText) {
    beginDialog(DIALOG_TITLE, DIALOG_WIDTH, DIALOG_HEIGHT);
    for (uint64_t i = 0; i < count; ++i) {
        const LaidOutControl& control = controls[i];
        const Unit* text = control.text;
        if (control.source == TEXT_LICENSE)
            text = licenseText;
        else if (control.source == TEXT_LABEL && (state.availableTargets & control.labelTarget) == 0)
            text = LABEL_NOT_AVAILABLE;
        addItem(control.exStyle, control.style, &control.rect, control.id, control.className, text);
        if (control.command != nullptr) registerCommand(int32_t(control.id), control.command);
    }
}

}  // namespace

void buildLicenseDialog(const Unit* licenseText) {
    // Cancel and Agree are the last two controls, so registering each after its own control gives the
    // table order 2, 1, the same as registering both after the seventh.
    buildFromLayout(licenseLayout, sizeof licenseLayout / sizeof licenseLayout[0], licenseText);
}

void buildSelectionDialog() {
    buildFromLayout(selectionLayout, sizeof selectionLayout / sizeof selectionLayout[0], nullptr);
}
