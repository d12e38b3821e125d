#include "tests/windows/test_payload.h"

#define CLAP64_TEXT "MORAVEL CLAP x64 build | shared resources 0123456789abcdef | code region A\r\n"
#define CLAP32_TEXT "MORAVEL CLAP x86 build | shared resources 0123456789abcdef | code region B\r\n"
#define FL64_TEXT "MORAVEL FL x64 build | shared resources 0123456789abcdef | code region C\r\n"
#define FL32_TEXT "MORAVEL FL x86 build | shared resources 0123456789ABCDEF | code region D\r\n"
#define STANDALONE_TEXT "MORAVEL standalone x64 build | shared resources 0123456789abcdef | code region E\r\n"
#define LICENSE_TEXT "Test license of the Moravel test payload.\r\nSecond line, odd length.\r\n"

// Entry 1 whole at store offset 0, the others as copies out of it and literal runs, as the packer cuts them.
static constexpr TestEntryPlan plans[PAYLOAD_ENTRY_COUNT] = {
    {ENTRY_KEY_CLAP64, {{CLAP64_TEXT, 0, 0}}, 1},
    {ENTRY_KEY_CLAP32, {{nullptr, 0, 13}, {"x86", 0, 0}, {nullptr, 16, 57}, {"B\r\n", 0, 0}}, 4},
    {ENTRY_KEY_FL64, {{nullptr, 0, 8}, {"FL", 0, 0}, {nullptr, 12, 61}, {"C\r\n", 0, 0}}, 4},
    {ENTRY_KEY_FL32,
     {{nullptr, 0, 8}, {"FL x86", 0, 0}, {nullptr, 16, 36}, {"ABCDEF", 0, 0}, {nullptr, 58, 15}, {"D\r\n", 0, 0}},
     6},
    {ENTRY_KEY_STANDALONE, {{nullptr, 0, 8}, {"standalone", 0, 0}, {nullptr, 12, 61}, {"E\r\n", 0, 0}}, 4},
};

static constexpr TestImage image = buildTestImage(LICENSE_TEXT, plans, PAYLOAD_ENTRY_COUNT);
static_assert(testContentIs(image, 0, CLAP64_TEXT) && testContentIs(image, 1, CLAP32_TEXT) &&
              testContentIs(image, 2, FL64_TEXT) && testContentIs(image, 3, FL32_TEXT) &&
              testContentIs(image, 4, STANDALONE_TEXT),
              "the pieces must assemble to the expected texts");
static_assert(image.licenseEnd % 2 == 1, "an odd license length keeps the directory's integers unaligned");
DEFINE_PAYLOAD_IMAGE_SYMBOLS(image)

const char testLicenseText[] = LICENSE_TEXT;

#define TEST_ENTRY(key, text) {key, reinterpret_cast<const uint8_t*>(text), sizeof(text) - 1}
const TestEntry testEntries[PAYLOAD_ENTRY_COUNT] = {
    TEST_ENTRY(ENTRY_KEY_CLAP64, CLAP64_TEXT), TEST_ENTRY(ENTRY_KEY_CLAP32, CLAP32_TEXT),
    TEST_ENTRY(ENTRY_KEY_FL64, FL64_TEXT),     TEST_ENTRY(ENTRY_KEY_FL32, FL32_TEXT),
    TEST_ENTRY(ENTRY_KEY_STANDALONE, STANDALONE_TEXT),
};
