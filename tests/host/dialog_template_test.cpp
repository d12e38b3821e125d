// The template builder, byte for byte against the extended dialog template format.
#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include <vector>
#include "dialogs/template_builder.h"
#include "state/installer_state.h"

namespace {

// Expected bytes spelled out field by field, little-endian.
struct ExpectedBytes {
    std::vector<uint8_t> bytes;
    ExpectedBytes& u16(uint16_t v) { bytes.push_back(uint8_t(v)); bytes.push_back(uint8_t(v >> 8)); return *this; }
    ExpectedBytes& u32(uint32_t v) { return u16(uint16_t(v)).u16(uint16_t(v >> 16)); }
    ExpectedBytes& text(const std::u16string& s) {
        for (char16_t c : s) u16(c);
        return u16(0);
    }
};

std::vector<uint8_t> writtenBytes(uint64_t from, uint64_t to) {
    return std::vector<uint8_t>(state.templateBuffer + from, state.templateBuffer + to);
}

uint16_t itemCount() { return uint16_t(state.templateBuffer[16] | state.templateBuffer[17] << 8); }

constexpr ControlRect HEADER_FILL_RECT = {0, 309, 0, 19};

// Fills the buffer with a marker, so that a byte the builder skips shows up.
void dirtyBuffer() { std::memset(state.templateBuffer, 0xAA, 8192); }

}  // namespace

TEST(TemplateHeader, IsTheGoldenHeaderAndEmptiesTheCommandTable) {
    dirtyBuffer();
    state.commandCount = 5;
    beginDialog(u"Moravel Synthesizer Installer", 309, 192);
    const uint8_t golden[124] = {
        0x01, 0x00, 0xFF, 0xFF,                          // dlgVer 1, signature 0xFFFF
        0x00, 0x00, 0x00, 0x00,                          // helpID
        0x00, 0x00, 0x00, 0x00,                          // exStyle
        0xC0, 0x00, 0xC8, 0x80,                          // style 0x80C800C0
        0x00, 0x00,                                      // cDlgItems
        0x00, 0x00, 0x00, 0x00,                          // x, y
        0x35, 0x01, 0xC0, 0x00,                          // cx 309, cy 192
        0x00, 0x00, 0x00, 0x00,                          // menu, windowClass
        'M', 0, 'o', 0, 'r', 0, 'a', 0, 'v', 0, 'e', 0, 'l', 0, ' ', 0, 'S', 0, 'y', 0, 'n', 0, 't', 0,
        'h', 0, 'e', 0, 's', 0, 'i', 0, 'z', 0, 'e', 0, 'r', 0, ' ', 0, 'I', 0, 'n', 0, 's', 0, 't', 0,
        'a', 0, 'l', 0, 'l', 0, 'e', 0, 'r', 0, 0, 0,    // title and its zero unit
        0x09, 0x00, 0x00, 0x00, 0x00, 0x00,              // pointsize 9, weight 0, italic 0, charset 0
        'M', 0, 'S', 0, ' ', 0, 'S', 0, 'H', 0, 'E', 0, 'L', 0, 'L', 0, ' ', 0, 'D', 0, 'L', 0, 'G', 0,
        0, 0,                                            // typeface and its zero unit
        0x00, 0x00,                                      // alignment to the first record
    };
    ASSERT_EQ(state.templatePos, 124u);
    EXPECT_EQ(writtenBytes(0, 124), std::vector<uint8_t>(golden, golden + 124));
    EXPECT_EQ(state.commandCount, 0u);
}

TEST(TemplateHeader, AlignsAfterTitlesOfEitherParity) {
    struct Case { const char16_t* title; uint64_t end; };
    // 30 fixed + title and zero unit + 6 font fields + 26 typeface bytes, rounded up to 4.
    const Case cases[] = {{u"", 64}, {u"A", 68}, {u"AB", 68}, {u"ABC", 72}};
    for (const Case& c : cases) {
        dirtyBuffer();
        beginDialog(c.title, 10, 20);
        EXPECT_EQ(state.templatePos, c.end) << "title length " << std::u16string(c.title).size();
        for (uint64_t i = 64 + 2 * std::u16string(c.title).size(); i < c.end; ++i)
            EXPECT_EQ(state.templateBuffer[i], 0) << "byte " << i;
    }
}

TEST(TemplateItem, UntitledStaticIs32BytesAndTheNextFollowsDirectly) {
    dirtyBuffer();
    beginDialog(u"Moravel Synthesizer Installer", 309, 192);
    addItem(0, 0x50000006, &HEADER_FILL_RECT, 0, u"STATIC", nullptr);
    const auto expected = ExpectedBytes()
                              .u32(0).u32(0).u32(0x50000006)
                              .u16(0).u16(0).u16(309).u16(19)
                              .u32(0)
                              .u16(0xFFFF).u16(0x0082)  // STATIC as an atom
                              .u16(0)                   // no title
                              .u16(0)                   // extraCount
                              .bytes;
    ASSERT_EQ(state.templatePos, 124u + 32u);
    EXPECT_EQ(writtenBytes(124, 156), expected);
    addItem(0, 0x50000006, &HEADER_FILL_RECT, 0, u"STATIC", u"");
    EXPECT_EQ(state.templatePos, 156u + 32u);  // an empty title is the same single zero unit
    EXPECT_EQ(writtenBytes(156, 188), expected);
    EXPECT_EQ(itemCount(), 2);
}

TEST(TemplateItem, TitledRecordIs90BytesAndTheNextAlignsWithTwoZeros) {
    dirtyBuffer();
    beginDialog(u"Moravel Synthesizer Installer", 309, 192);
    const ControlRect rect = {0, 309, 6, 15};
    addItem(0, 0x50020001, &rect, 3000, u"STATIC", u"Moravel Synthesizer Installer");
    const auto expected = ExpectedBytes()
                              .u32(0).u32(0).u32(0x50020001)
                              .u16(0).u16(6).u16(309).u16(9)
                              .u32(3000)
                              .u16(0xFFFF).u16(0x0082)
                              .text(u"Moravel Synthesizer Installer")
                              .u16(0)
                              .bytes;
    ASSERT_EQ(state.templatePos, 124u + 90u);
    EXPECT_EQ(writtenBytes(124, 214), expected);
    addItem(0, 0x50000010, &HEADER_FILL_RECT, 0, u"STATIC", nullptr);
    EXPECT_EQ(state.templatePos, 214u + 2u + 32u);
    EXPECT_EQ(writtenBytes(214, 216), std::vector<uint8_t>({0, 0}));
    EXPECT_EQ(itemCount(), 2);
}

TEST(TemplateItem, ClassIsAnAtomOnlyForTheSixNamesInExactCase) {
    struct Case { const char16_t* className; uint16_t atom; };  // atom 0: written as a string
    const Case cases[] = {
        {u"BUTTON", 0x80}, {u"EDIT", 0x81}, {u"STATIC", 0x82}, {u"LISTBOX", 0x83}, {u"SCROLLBAR", 0x84},
        {u"COMBOBOX", 0x85}, {u"Button", 0}, {u"static", 0}, {u"STATI", 0}, {u"STATICS", 0}, {u"EDITX", 0},
        {u"msctls_progress32", 0}, {u"", 0},
    };
    for (const Case& c : cases) {
        beginDialog(u"T", 10, 10);
        const uint64_t start = state.templatePos;
        const ControlRect rect = {1, 2, 3, 4};
        addItem(0, 0, &rect, 7, c.className, u"Installation progress");
        ExpectedBytes expected;
        if (c.atom != 0) expected.u16(0xFFFF).u16(c.atom); else expected.text(c.className);
        expected.text(u"Installation progress").u16(0);
        EXPECT_EQ(writtenBytes(start + 24, state.templatePos), expected.bytes)
            << "class \"" << std::string(c.className, c.className + std::u16string(c.className).size()) << "\"";
    }
}

TEST(TemplateItem, PlacementAndIdAreWrittenAsTheirLowBits) {
    struct Case { ControlRect rect; uint32_t id; uint16_t x, y, cx, cy; uint32_t writtenId; };
    const Case cases[] = {
        {{-5, 314, 19, 20}, 0, 0xFFFB, 19, 319, 1, 0},
        {{13, 296, 28, 41}, 0xFFFF, 13, 28, 283, 13, 0x0000FFFF},
        {{10, 5, 30, 20}, 0x12345678, 10, 30, 0xFFFB, 0xFFF6, 0x12345678},     // right < left: cx -5
        {{-2147483647 - 1, 2147483647, 0, 70000}, 1, 0, 0, 0xFFFF, 0x1170, 1},  // differences past 32 bits
    };
    for (const Case& c : cases) {
        beginDialog(u"T", 10, 10);
        const uint64_t start = state.templatePos;
        addItem(0x20000, 0x50000000, &c.rect, c.id, u"EDIT", nullptr);
        const auto expected =
            ExpectedBytes().u32(0).u32(0x20000).u32(0x50000000).u16(c.x).u16(c.y).u16(c.cx).u16(c.cy).u32(c.writtenId);
        EXPECT_EQ(writtenBytes(start, start + 24), expected.bytes) << "left " << c.rect.left << " id " << c.id;
    }
}

TEST(TemplateItem, SecondBeginDialogResetsCountPositionAndCommands) {
    beginDialog(u"Moravel Synthesizer Installer", 309, 192);
    for (int i = 0; i < 3; ++i) addItem(0, 0, &HEADER_FILL_RECT, 0, u"STATIC", u"some text");
    state.commandCount = 7;
    ASSERT_EQ(itemCount(), 3);
    beginDialog(u"AB", 10, 10);
    EXPECT_EQ(itemCount(), 0);
    EXPECT_EQ(state.templatePos, 68u);
    EXPECT_EQ(state.commandCount, 0u);
    addItem(0, 0, &HEADER_FILL_RECT, 0, u"STATIC", nullptr);
    EXPECT_EQ(itemCount(), 1);
    EXPECT_EQ(state.templatePos, 68u + 32u);
}
