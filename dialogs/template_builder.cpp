#include "dialogs/template_builder.h"
#include "base/checked_assert.h"
#include "state/installer_state.h"

// Fields are written byte by byte, little-endian as the format wants: no alignment or aliasing to rely on.
static void putByte(uint8_t value) {
    CHECKED_ASSERT(state.templatePos < TEMPLATE_BUFFER_SIZE);
    state.templateBuffer[state.templatePos++] = value;
}

static void putWord(uint16_t value) {
    putByte(uint8_t(value));
    putByte(uint8_t(value >> 8));
}

static void putDword(uint32_t value) {
    putWord(uint16_t(value));
    putWord(uint16_t(value >> 16));
}

// The units of text and one zero unit.
static void putString(const Unit* text) {
    while (*text != 0) putWord(*text++);
    putWord(0);
}

static void alignToDword() {
    while (state.templatePos % 4 != 0) putByte(0);
}

// The predefined class atom for className, or 0 when it must be written as a string. Case-sensitive: the
// dialog manager would accept "Button" too, but only these spellings become atoms.
static uint16_t classAtom(const Unit* className) {
    static const Unit* const names[] = {u"BUTTON", u"EDIT", u"STATIC", u"LISTBOX", u"SCROLLBAR", u"COMBOBOX"};
    for (uint16_t i = 0; i < sizeof names / sizeof names[0]; ++i)
        if (unitsEqual(className, names[i])) return uint16_t(0x0080 + i);
    return 0;
}

constexpr uint64_t ITEM_COUNT_OFFSET = 16;
constexpr uint32_t DIALOG_STYLE = 0x80C800C0;  // WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT

void beginDialog(const Unit* title, uint16_t cx, uint16_t cy) {
    state.templatePos = 0;
    putWord(1);        // dlgVer
    putWord(0xFFFF);   // signature: extended template
    putDword(0);       // helpID
    putDword(0);       // exStyle
    putDword(DIALOG_STYLE);
    putWord(0);        // cDlgItems, counted up by addItem
    putWord(0);        // x: centreOnWorkArea moves the dialog when it initialises
    putWord(0);        // y
    putWord(cx);
    putWord(cy);
    putWord(0);        // no menu
    putWord(0);        // the predefined dialog class
    putString(title);
    putWord(9);        // point size
    putWord(0);        // weight
    putByte(0);        // italic
    putByte(0);        // charset
    putString(u"MS SHELL DLG");
    alignToDword();
    state.commandCount = 0;
}

void addItem(uint32_t exStyle, uint32_t style, const ControlRect* rect, uint32_t id, const Unit* className,
             const Unit* title) {
    alignToDword();
    putDword(0);  // helpID
    putDword(exStyle);
    putDword(style);
    // Unsigned arithmetic gives the low 16 bits of the signed differences without overflow.
    putWord(uint16_t(rect->left));
    putWord(uint16_t(rect->top));
    putWord(uint16_t(uint32_t(rect->right) - uint32_t(rect->left)));
    putWord(uint16_t(uint32_t(rect->bottom) - uint32_t(rect->top)));
    putDword(id);
    const uint16_t atom = classAtom(className);
    if (atom != 0) {
        putWord(0xFFFF);
        putWord(atom);
    } else {
        putString(className);
    }
    putString(title != nullptr ? title : u"");
    putWord(0);  // extraCount: no creation data

    uint8_t* count = state.templateBuffer + ITEM_COUNT_OFFSET;
    const uint16_t items = uint16_t(count[0] | count[1] << 8) + 1;
    count[0] = uint8_t(items);
    count[1] = uint8_t(items >> 8);
}
