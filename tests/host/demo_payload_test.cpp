// The demo payload: the license text's figures, the generator's determinism, size model and compressibility,
// and its novel byte counts as the yardstick the packer is measured against.
#include <gtest/gtest.h>
#include <zstd.h>

#include "tests/host/packer_test_files.h"
#include "tools/demo_payload/demo_model.h"
#include "tools/demo_payload/demo_writer.h"
#include "tools/demo_payload/license_text.h"
#include "tools/packer/license_check.h"
#include "tools/packer/pack_payload.h"

using namespace packer;

namespace {

TEST(DemoLicense, HasTheFiguresOfThisBuild) {
    std::string text(demoLicenseText.begin(), demoLicenseText.end());
    EXPECT_EQ(text.size(), 1859u);
    EXPECT_TRUE(checkLicenseText(demoLicenseText).ok);
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t at; (at = text.find("\r\n", start)) != std::string::npos; start = at + 2)
        lines.push_back(text.substr(start, at - start));
    EXPECT_EQ(start, text.size()) << "ends with CR LF";
    EXPECT_EQ(lines.size(), 17u);
    // Paragraphs on the odd lines, empty separators between them.
    size_t longest = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].empty(), i % 2 == 1) << "line " << i + 1;
        longest = std::max(longest, lines[i].size());
    }
    EXPECT_EQ(longest, 514u);
    EXPECT_NE(text.find("Moravel"), std::string::npos);
}

TEST(DemoPlan, FullScaleModelsTheProduct) {
    DemoPlan plan = planDemoPayload(1.0);
    for (int i = 0; i < PAYLOAD_ENTRY_COUNT; ++i) {
        const DemoBuild& build = plan.builds[i];
        SCOPED_TRACE(build.key);
        EXPECT_EQ(build.key, PAYLOAD_ENTRY_KEYS[i]);
        EXPECT_GT(build.size, 305'000'000u);
        EXPECT_LT(build.size, 310'000'000u);
        if (i == 0) continue;
        EXPECT_GE(build.novelBytes, 1'600'000u);
        EXPECT_LE(build.novelBytes, 2'100'000u);
        EXPECT_GT(build.edits.size(), 20'000u);
        EXPECT_GT(build.moveLength, 1'000'000u);
    }
}

TEST(DemoPlan, BuildsAreDeterministicAndSizedAsPlanned) {
    DemoPlan plan = planDemoPayload(0.003);
    std::vector<uint8_t> resource = makeResource(plan);
    for (int i = 0; i < PAYLOAD_ENTRY_COUNT; ++i) {
        Bytes first, second;
        produceBuild(plan, i, resource, [&](const uint8_t* b, uint64_t n) { first.insert(first.end(), b, b + n); });
        produceBuild(plan, i, resource, [&](const uint8_t* b, uint64_t n) { second.insert(second.end(), b, b + n); });
        EXPECT_EQ(first.size(), plan.builds[i].size) << plan.builds[i].key;
        EXPECT_TRUE(first == second) << plan.builds[i].key;
    }
    EXPECT_TRUE(makeResource(planDemoPayload(0.003)) == resource);
}

// zstd -19 keeps about half of a built file; the quick level 3 keeps some 0.1 more. Random bytes keep all.
TEST(DemoPlan, BuildsCompressLikeRealBuilds) {
    DemoPlan plan = planDemoPayload(0.01);
    Bytes build, packed;
    produceBuild(plan, 3, makeResource(plan),
                 [&](const uint8_t* b, uint64_t n) { build.insert(build.end(), b, b + n); });
    packed.resize(ZSTD_compressBound(build.size()));
    size_t size = ZSTD_compress(packed.data(), packed.size(), build.data(), build.size(), 3);
    ASSERT_FALSE(ZSTD_isError(size));
    EXPECT_GT(double(size) / double(build.size()), 0.5);
    EXPECT_LT(double(size) / double(build.size()), 0.7);
}

// The novel counts are what a perfect packer must store: the packer lands within 1% of them.
TEST(DemoPayload, PackerLiteralBytesMatchTheNovelBytes) {
    ScratchFolder scratch;
    DemoPlan plan = writeDemoPayload(scratch.path / "demo", 0.01);
    EXPECT_TRUE(readFile(scratch.path / "demo/license.txt") ==
                Bytes(demoLicenseText.begin(), demoLicenseText.end()));
    PackSummary summary = packPayload(scratch.path / "demo", scratch.path / "out", PackOptions{});
    for (int i = 1; i < PAYLOAD_ENTRY_COUNT; ++i) {
        SCOPED_TRACE(plan.builds[i].key);
        uint64_t novel = plan.builds[i].novelBytes, literal = summary.entries[i].literalBytes;
        EXPECT_EQ(summary.entries[i].size, plan.builds[i].size);
        EXPECT_LE(literal, novel + novel / 100);
        EXPECT_GE(literal, novel - novel / 100) << "bytes counted as novel were found elsewhere";
    }
}

}  // namespace
