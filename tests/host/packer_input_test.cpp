// Bad packer input of each kind: a clear message naming the file (with line and column for the license),
// and the output folder left exactly as it was, with no temporary files.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <map>
#include <string_view>

#include "tests/host/packer_test_files.h"
#include "tools/packer/image_writer.h"
#include "tools/packer/license_check.h"
#include "tools/packer/pack_error.h"
#include "tools/packer/pack_payload.h"

using namespace packer;

namespace {

using namespace std::literals;

struct LicenseCase {
    std::string_view text;
    bool ok;
    uint64_t line, column;
};

TEST(LicenseCheck, FindsTheFirstBadByte) {
    const LicenseCase cases[] = {
        {"One line.\r\n"sv, true, 0, 0},
        {"A.\r\n\r\nB, with ~ and space.\r\n"sv, true, 0, 0},
        {""sv, false, 1, 1},                         // empty: no final CR LF
        {"no end"sv, false, 1, 7},                   // missing final CR LF
        {"ends with CR\r"sv, false, 1, 13},          // CR not followed by LF
        {"a\r\nlone\nfeed\r\n"sv, false, 2, 5},      // lone LF
        {"a\r\nb\rc\r\n"sv, false, 2, 2},            // lone CR in the middle
        {"tab\there\r\n"sv, false, 1, 4},            // control byte
        {"x\r\n\r\nabc\x7f\r\n"sv, false, 3, 4},     // DEL
        {"caf\xc3\xa9\r\n"sv, false, 1, 4},          // beyond 7 bits
        {"nul\0byte\r\n"sv, false, 1, 4},
    };
    for (const LicenseCase& c : cases) {
        const auto* bytes = reinterpret_cast<const uint8_t*>(c.text.data());
        LicenseFault fault = checkLicenseText({bytes, c.text.size()});
        SCOPED_TRACE(std::string(c.text));
        EXPECT_EQ(fault.ok, c.ok);
        if (!c.ok) {
            EXPECT_EQ(fault.line, c.line);
            EXPECT_EQ(fault.column, c.column);
            EXPECT_FALSE(fault.reason.empty());
        }
    }
}

class PackerBadInput : public ::testing::Test {
protected:
    ScratchFolder scratch;
    std::filesystem::path in = scratch.path / "in";
    std::filesystem::path out = scratch.path / "out";
    std::vector<Bytes> files;

    void SetUp() override {
        std::mt19937_64 random(11);
        Bytes base = randomBytes(random, 40'000);
        Bytes other = randomBytes(random, 9'000);
        files = {base, other, base, other, base};
        writePayloadFolder(in, files);
        // An earlier good output must survive a failed run untouched.
        packPayload(in, out, PackOptions{});
    }

    // Runs the packer expecting failure; returns the message after checking the output folder.
    std::string failure(const PackOptions& options = PackOptions{}) {
        std::map<std::string, Bytes> before;
        for (const auto& item : std::filesystem::directory_iterator(out)) before[item.path().filename()] = readFile(item);
        std::string message;
        try {
            packPayload(in, out, options);
            ADD_FAILURE() << "packing succeeded";
        } catch (const PackError& error) {
            message = error.what();
        }
        std::map<std::string, Bytes> after;
        for (const auto& item : std::filesystem::directory_iterator(out)) after[item.path().filename()] = readFile(item);
        EXPECT_TRUE(before == after) << "output folder changed";
        return message;
    }
};

TEST_F(PackerBadInput, MissingFile) {
    std::filesystem::remove(in / "bin/target_fl32");
    std::string message = failure();
    EXPECT_NE(message.find((in / "bin/target_fl32").string()), std::string::npos) << message;
    EXPECT_NE(message.find("missing"), std::string::npos) << message;
}

TEST_F(PackerBadInput, MissingLicense) {
    std::filesystem::remove(in / "license.txt");
    EXPECT_NE(failure().find((in / "license.txt").string()), std::string::npos);
}

TEST_F(PackerBadInput, UnreadableFile) {
    // Root reads past permission bits, so a folder in the file's place stands for a file that cannot be read.
    std::filesystem::remove(in / "bin/target_st64");
    std::filesystem::create_directory(in / "bin/target_st64");
    std::string message = failure();
    EXPECT_NE(message.find((in / "bin/target_st64").string() + ": cannot read"), std::string::npos) << message;
}

TEST_F(PackerBadInput, LicenseFaultsNameLineAndColumn) {
    const std::pair<const char*, const char*> cases[] = {
        {"Fine.\r\n\r\nBad \x01 byte.\r\n", ":3:5: "},
        {"No final break", ":1:15: "},
        {"Line\nfeed\r\n", ":1:5: "},
    };
    for (const auto& [text, position] : cases) {
        writeFile(in / "license.txt", asciiBytes(text));
        std::string message = failure();
        EXPECT_NE(message.find((in / "license.txt").string() + position), std::string::npos) << message;
    }
}

TEST_F(PackerBadInput, FileLargerThanAnEntryCanHold) {
    // A sparse file one byte past the u32 limit: the size alone rejects it, nothing is read.
    std::filesystem::path big = in / "bin/target_cl32";
    int fd = ::open(big.c_str(), O_WRONLY | O_TRUNC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, off_t(0x100000000ll)), 0);
    ::close(fd);
    std::string message = failure();
    EXPECT_NE(message.find(big.string() + ": 4294967296 bytes"), std::string::npos) << message;
}

TEST_F(PackerBadInput, SizeLimitsAreExactBounds) {
    PackOptions options;
    options.limits.maxFileSize = 39'999;
    EXPECT_NE(failure(options).find("bin/target_cl64: 40000 bytes"), std::string::npos);
    options.limits.maxFileSize = 40'000;
    // Store: file 1 (40,000) + file 2's literal run (9,000); files 3 to 5 add nothing.
    options.limits.maxStoreSize = 48'999;
    std::string message = failure(options);
    EXPECT_NE(message.find((in / "bin/target_cl32").string() + ": the ChunkStore would grow to 49000 bytes"),
              std::string::npos)
        << message;
    options.limits.maxStoreSize = 49'000;
    EXPECT_NO_THROW(packPayload(in, out, options));
}

// The executable's limit on the whole PayloadImage: exact at the image the inputs make; a store that cannot
// fit beside the license and directory is refused as it grows; file 1 alone by its size, before it is read.
TEST_F(PackerBadInput, ImageLimitIsAnExactBound) {
    const uint64_t image = payloadImageBytes(readFile(out / PAYLOAD_LICENSE_REGION_FILE).size(),
                                             readFile(out / PAYLOAD_STORE_REGION_FILE).size(),
                                             readFile(out / PAYLOAD_DIRECTORY_REGION_FILE).size());
    PackOptions options;
    options.limits.maxImageSize = image - 1;
    std::string message = failure(options);
    EXPECT_NE(message.find(in.string() + ": the PayloadImage would be " + std::to_string(image) + " bytes"),
              std::string::npos) << message;
    options.limits.maxImageSize = 45'000;  // file 1 (40,000) fits, file 2's literal run (9,000) does not
    message = failure(options);
    EXPECT_NE(message.find((in / "bin/target_cl32").string() + ": the ChunkStore would grow to 49000 bytes"),
              std::string::npos) << message;
    EXPECT_NE(message.find("fit in an installer's PayloadImage"), std::string::npos) << message;
    options.limits.maxImageSize = image;
    EXPECT_NO_THROW(packPayload(in, out, options));
}

TEST_F(PackerBadInput, FirstFileTooLargeForTheImageIsRefusedBeforeItIsRead) {
    std::filesystem::path big = in / "bin/target_cl64";
    int fd = ::open(big.c_str(), O_WRONLY | O_TRUNC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, off_t(PAYLOAD_IMAGE_MAX_BYTES)), 0);  // sparse: reading it would take seconds
    ::close(fd);
    std::string message = failure();
    EXPECT_NE(message.find(big.string() + ": the ChunkStore would grow to " + std::to_string(PAYLOAD_IMAGE_MAX_BYTES)),
              std::string::npos) << message;
}

TEST_F(PackerBadInput, OutputFolderThatCannotBeMade) {
    writeFile(scratch.path / "plain-file", asciiBytes("x"));
    try {
        packPayload(in, scratch.path / "plain-file/out", PackOptions{});
        ADD_FAILURE() << "packing succeeded";
    } catch (const PackError& error) {
        EXPECT_NE(std::string(error.what()).find((scratch.path / "plain-file").string()), std::string::npos) << error.what();
    }
}

}  // namespace
