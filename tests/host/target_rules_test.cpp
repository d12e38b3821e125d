// The path and label rules of the install targets, run against buffers of exactly the installer's sizes, so
// that AddressSanitizer catches any path or label that outgrows its buffer.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "state/installer_state.h"
#include "targets/discovery.h"
#include "targets/target_rules.h"

namespace {

// A zero-filled heap buffer of exactly `units` units holding text.
std::vector<Unit> bufferWith(size_t units, const std::u16string& text) {
    std::vector<Unit> buffer(units, 0);
    std::copy(text.begin(), text.end(), buffer.begin());
    return buffer;
}

// A folder value of exactly `length` units: "C:\" followed by letters.
std::u16string folderOfLength(size_t length) {
    std::u16string value = u"C:\\";
    while (value.size() < length) value += u'a' + value.size() % 26;
    value.resize(length);
    return value;
}

std::u16string text(const std::vector<Unit>& buffer) { return std::u16string(buffer.data()); }

}  // namespace

TEST(ClapDiscovery, ShowsValuesUpTo239Units) {
    struct Case { uint32_t count; bool available; };
    // 251 and more is the answer GetEnvironmentVariableW gives when the value does not fit in 250 units.
    const Case cases[] = {{0, false}, {1, true}, {3, true}, {238, true}, {239, true},
                          {240, false}, {249, false}, {251, false}, {4000, false}};
    for (const Case& c : cases) {
        const std::u16string value = folderOfLength(c.count <= 249 ? c.count : 249);
        auto folder = bufferWith(FOLDER_BUFFER_UNITS, value);
        std::vector<Unit> label(LABEL_UNITS, 0);
        EXPECT_EQ(buildClapLabel(label.data(), folder.data(), c.count), c.available) << "count " << c.count;
        if (c.available) {
            EXPECT_EQ(text(label), u"Target: " + value + u"\\CLAP") << "count " << c.count;
        } else {
            EXPECT_EQ(text(label), u"") << "count " << c.count;
            EXPECT_EQ(text(folder), value) << "count " << c.count;
        }
    }
}

TEST(ClapInstall, AcceptsValuesUpTo240Units) {
    struct Case { uint32_t count; bool usable; };
    const Case cases[] = {{0, false}, {1, true}, {239, true}, {240, true}, {241, false}, {249, false},
                          {251, false}, {0xFFFFFFFFu, false}};
    for (const Case& c : cases) EXPECT_EQ(installValueUsable(c.count), c.usable) << "count " << c.count;
}

TEST(FlStudioFolder, CutsAtTheLastBackslash) {
    struct Case { std::u16string value; std::u16string folder; bool usable; };
    const Case cases[] = {
        {u"D:\\Audio\\Host\\host.exe", u"D:\\Audio\\Host", true},
        {u"D:\\Audio\\Host\\", u"D:\\Audio\\Host", true},
        {u"D:\\host.exe", u"D:", true},
        {u"host.exe", u"", false},   // no backslash: the folder would be the current drive's root
        {u"", u"", false},
        {u"\\host.exe", u"", false},
        {u"\\\\server\\share\\host.exe", u"\\\\server\\share", true},
    };
    for (const Case& c : cases) {
        auto buffer = bufferWith(FOLDER_BUFFER_UNITS, c.value);
        EXPECT_EQ(cutToFolder(buffer.data()), c.usable) << std::string(c.value.begin(), c.value.end());
        EXPECT_EQ(text(buffer), c.folder) << std::string(c.value.begin(), c.value.end());
    }
}

TEST(TargetLabels, ReadTargetFolderAndSuffix) {
    auto folder = bufferWith(FOLDER_BUFFER_UNITS, u"D:\\Audio\\Host\\host.exe");
    ASSERT_TRUE(cutToFolder(folder.data()));
    std::vector<Unit> label(LABEL_UNITS, 0);
    buildTargetLabel(label.data(), folder.data(), FL_STUDIO_FOLDER_SUFFIX);
    EXPECT_EQ(text(label), u"Target: D:\\Audio\\Host\\Plugins\\Fruity\\Generators\\Moravel");
    EXPECT_EQ(text(folder), u"D:\\Audio\\Host\\Plugins\\Fruity\\Generators\\Moravel");

    auto clap = bufferWith(FOLDER_BUFFER_UNITS, u"C:\\Program Files\\Common Files");
    std::vector<Unit> clapLabel(LABEL_UNITS, 0);
    ASSERT_TRUE(buildClapLabel(clapLabel.data(), clap.data(), 29));
    EXPECT_EQ(text(clapLabel), u"Target: C:\\Program Files\\Common Files\\CLAP");
}

// The longest values each bound lets through, built into buffers of exactly the installer's sizes.
TEST(LongestPaths, FitTheirBuffers) {
    std::vector<Unit> clapLabel(LABEL_UNITS, 0);
    auto clapFolder = bufferWith(FOLDER_BUFFER_UNITS, folderOfLength(DISCOVERY_MAX_VALUE_UNITS));
    ASSERT_TRUE(buildClapLabel(clapLabel.data(), clapFolder.data(), DISCOVERY_MAX_VALUE_UNITS));
    EXPECT_EQ(unitLength(clapLabel.data()), 252u);

    struct Case { size_t valueUnits; size_t bufferUnits; const Unit* suffix; size_t pathUnits; };
    const Case cases[] = {
        {INSTALL_MAX_VALUE_UNITS, FOLDER_BUFFER_UNITS, CLAP64_FILE_SUFFIX, 258},
        {INSTALL_MAX_VALUE_UNITS, FOLDER_BUFFER_UNITS, CLAP32_FILE_SUFFIX, 267},
        {KNOWN_FOLDER_MAX_UNITS, APPLICATION_PATH_UNITS, APPLICATION_FILE_SUFFIX, 303},
        {KNOWN_FOLDER_MAX_UNITS, APPLICATION_PATH_UNITS, SHORTCUT_FILE_SUFFIX, 292},
    };
    for (const Case& c : cases) {
        auto path = bufferWith(c.bufferUnits, folderOfLength(c.valueUnits));
        append(path.data(), c.suffix);
        EXPECT_EQ(unitLength(path.data()), c.pathUnits);
    }

    // The longest FL Studio value the read lets through (249 units) ends in its last backslash.
    const std::u16string flValue = folderOfLength(248) + u"\\";
    struct FlCase { const Unit* suffix; size_t pathUnits; };
    const FlCase flCases[] = {{FL64_FILE_SUFFIX, 298}, {FL32_FILE_SUFFIX, 294}, {FL_PLUGIN_FOLDER_SUFFIX, 283}};
    for (const FlCase& c : flCases) {
        auto path = bufferWith(FOLDER_BUFFER_UNITS, flValue);
        ASSERT_TRUE(cutToFolder(path.data()));
        EXPECT_EQ(unitLength(path.data()), FL_STUDIO_MAX_FOLDER_UNITS);
        append(path.data(), c.suffix);
        EXPECT_EQ(unitLength(path.data()), c.pathUnits);
    }
    auto flFolder = bufferWith(FOLDER_BUFFER_UNITS, flValue);
    ASSERT_TRUE(cutToFolder(flFolder.data()));
    std::vector<Unit> flLabel(LABEL_UNITS, 0);
    buildTargetLabel(flLabel.data(), flFolder.data(), FL_STUDIO_FOLDER_SUFFIX);
    EXPECT_EQ(unitLength(flLabel.data()), 290u);
}

// Every destination is staged beside itself under a name of the same length that no host loads; a path
// without a '.' in its file name, or one too long for the staging buffer, is refused ("").
TEST(StagingPath, TurnsTheFileNamesLastDot) {
    const std::u16string longest = folderOfLength(DESTINATION_PATH_UNITS - 5) + u"\\a.b";  // 519 units
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"C:\\CLAP\\Moravel (32-bit).clap", u"C:\\CLAP\\Moravel (32-bit)~clap"},
        {u"C:\\a.b\\x.y.dll", u"C:\\a.b\\x.y~dll"},
        {u"C:\\a.b\\x", u""}, {u"C:\\a\\x.", u"C:\\a\\x~"}, {u"", u""}, {longest + u"c", u""},
        {longest, longest.substr(0, longest.size() - 2) + u"~b"}};
    for (const auto& [destination, expected] : cases) {
        std::vector<Unit> staging(DESTINATION_PATH_UNITS, 0);
        const bool staged = stagingPathOf(staging.data(), bufferWith(destination.size() + 1, destination).data());
        EXPECT_EQ(staged ? text(staging) : u"", expected) << "destination of " << destination.size() << " units";
    }
}
