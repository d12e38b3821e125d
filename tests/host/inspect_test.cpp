// moravel-inspect's reading of executables: finding the PayloadImage from the PE tables (and refusing every
// malformed or truncated file with one line), listing it as the packer summarised it, verifying it with the
// installer's reader against damage of each kind and against a folder, and extracting a folder that packs
// back to the same regions. Images are built here around the packer's real output; each lives in a heap
// block of exactly its size, so AddressSanitizer sees any read past the file.
#include <gtest/gtest.h>

#include <functional>

#include "tests/host/inspect_test_image.h"
#include "tests/host/packer_test_files.h"
#include "tools/inspect/inspect.h"
#include "tools/packer/pack_payload.h"
#include "tools/packer/summary_table.h"

using namespace packer;

namespace {

// A packed payload of five related files and the PE image around it.
struct Packed {
    ScratchFolder scratch;
    std::vector<Bytes> files;
    Bytes license, store, directory;
    PackSummary summary;

    Packed() {
        std::mt19937_64 random(11);
        Bytes base = randomBytes(random, 40'000);
        files = {base, base, randomBytes(random, 3000), base, {}};
        files[1][100] ^= 1;
        files[3].insert(files[3].begin() + 5000, 77, 0x5A);
        writePayloadFolder(scratch.path / "in", files);
        summary = packPayload(scratch.path / "in", scratch.path / "out", PackOptions{});
        license = readFile(scratch.path / "out" / PAYLOAD_LICENSE_REGION_FILE);
        store = readFile(scratch.path / "out" / PAYLOAD_STORE_REGION_FILE);
        directory = readFile(scratch.path / "out" / PAYLOAD_DIRECTORY_REGION_FILE);
    }
    TestPe pe(const Bytes& certificate = {}) const { return makeTestPe(license, store, directory, certificate); }
    std::string folder() const { return (scratch.path / "in").string(); }
    // Offset in the directory of entry i's hash field.
    uint64_t header(int i) const {
        uint64_t at = 0;
        for (int e = 0;; ++e) {
            at += std::strlen(PAYLOAD_ENTRY_KEYS[e]) + 1;
            if (e == i) return at;
            at += ENTRY_HEADER_BYTES;
            while (readRefOffset(&directory[at]) != 0 || readRefCount(&directory[at]) != 0) at += CHUNK_REF_BYTES;
            at += CHUNK_REF_BYTES;
        }
    }
};

// Made once for all the tests; destroyed at exit, which removes its scratch folder.
const Packed& packed() {
    static const Packed p;
    return p;
}

// The file in a heap block of exactly its size.
struct ExactFile {
    std::unique_ptr<uint8_t[]> bytes;
    size_t size;
    explicit ExactFile(const Bytes& from, size_t length) : bytes(new uint8_t[length]), size(length) {
        std::memcpy(bytes.get(), from.data(), length);
    }
    explicit ExactFile(const Bytes& from) : ExactFile(from, from.size()) {}
    std::string find(PayloadImageView& view) const { return findPayloadImage({bytes.get(), size}, view); }
};

TEST(FindPayloadImage, ReadsTheRegionsOfAPlainAndOfASignedImage) {
    const Packed& p = packed();
    const Bytes certificate(1234, 0xC5);
    for (bool signedImage : {false, true}) {
        SCOPED_TRACE(signedImage ? "signed" : "unsigned");
        TestPe pe = p.pe(signedImage ? certificate : Bytes{});
        ExactFile file(pe.bytes);
        PayloadImageView view;
        ASSERT_EQ(file.find(view), "");
        const uint8_t* base = file.bytes.get();
        EXPECT_EQ(view.licenseBegin, base + pe.licenseAt);
        EXPECT_EQ(uint64_t(view.licenseEnd - view.licenseBegin), p.license.size());
        EXPECT_EQ(view.regions.storeBegin, base + pe.storeAt);
        EXPECT_EQ(uint64_t(view.regions.storeEnd - view.regions.storeBegin), p.store.size());
        EXPECT_EQ(view.regions.directoryBegin, base + pe.directoryAt);
        EXPECT_EQ(uint64_t(view.regions.directoryEnd - view.regions.directoryBegin), p.directory.size());
        EXPECT_EQ(view.sectionFileOffset, pe.payloadRaw);
        EXPECT_EQ(view.timeDateStamp, 1700000000u);
        EXPECT_EQ(view.certificateOffset, signedImage ? pe.certificateAt : 0u);
        EXPECT_EQ(view.certificateBytes, signedImage ? certificate.size() : 0u);
        EXPECT_EQ(verifyPayload(view, p.folder(), 2).code, INSPECT_OK) << verifyPayload(view, p.folder(), 2).errors;
    }
}

TEST(FindPayloadImage, RefusesEachMalformedHeaderWithOneLine) {
    const Packed& p = packed();
    const TestPe pe = p.pe();
    struct Case {
        const char* damage;
        std::function<void(Bytes&)> apply;
        const char* message;
    };
    const uint64_t descriptor = pe.payloadRaw + PAYLOAD_DESCRIPTOR_MAGIC_BYTES;
    const Case cases[] = {
        {"no MZ", [](Bytes& b) { b[0] = 'X'; }, "not a PE executable (no MZ header)"},
        {"DOS header cut", [](Bytes& b) { b.resize(0x3F); }, "shorter than a DOS header"},
        {"PE offset past the end", [](Bytes& b) { putU32(b, 0x3C, 0xFFFFFFF0u); }, "lies past the end of the file"},
        {"PE offset near the end", [](Bytes& b) { putU32(b, 0x3C, uint32_t(b.size() - 8)); }, "lies past the end of the file"},
        {"no PE signature", [&](Bytes& b) { b[pe.peOffset + 2] = 'x'; }, "no PE signature at 0x40"},
        {"object file magic", [&](Bytes& b) { putU16(b, pe.optionalOffset, 0x10c); }, "optional header magic 0x10c"},
        {"optional header past the end", [&](Bytes& b) { putU16(b, pe.peOffset + 20, 0xFFFF); },
         "optional header runs past the end"},
        {"section table past the end", [&](Bytes& b) { putU16(b, pe.peOffset + 6, 0xFFFF); },
         "section table runs past the end"},
        {"no payload section", [&](Bytes& b) { b[pe.payloadHeader + 1] = 'q'; }, "has no .payload section"},
        {"two payload sections", [&](Bytes& b) { std::memcpy(&b[pe.sectionTable], PAYLOAD_SECTION_NAME, 8); },
         "two .payload sections"},
        {"raw data past the end", [&](Bytes& b) { putU32(b, pe.payloadHeader + 20, uint32_t(b.size() - 16)); },
         "truncated: the .payload section takes file bytes"},
        {"raw size past the end", [&](Bytes& b) { putU32(b, pe.payloadHeader + 16, 0xFFFFFF00u); },
         "truncated: the .payload section"},
        {"section shorter than a descriptor", [&](Bytes& b) { putU32(b, pe.payloadHeader + 8, 31); },
         "does not begin with its descriptor"},
        {"descriptor magic", [&](Bytes& b) { b[pe.payloadRaw + 3] ^= 0x20; }, "does not begin with its descriptor"},
        {"license before the descriptor's end", [&](Bytes& b) { putU32(b, descriptor, 8); },
         "puts licenseTextBegin at 0x8"},
        {"store before the license's end", [&](Bytes& b) { putU32(b, descriptor + 8, 0x20); },
         "puts chunkStoreBegin at 0x20"},
        {"directory end past the section", [&](Bytes& b) { putU32(b, descriptor + 20, 0x7FFFFFFF); },
         "puts directoryEnd at 0x7fffffff"},
    };
    for (const Case& c : cases) {
        Bytes damaged = pe.bytes;
        c.apply(damaged);
        ExactFile file(damaged);
        PayloadImageView view;
        const std::string message = file.find(view);
        EXPECT_NE(message.find(c.message), std::string::npos) << c.damage << ": \"" << message << "\"";
        EXPECT_EQ(message.find('\n'), std::string::npos) << c.damage << ": one line";
    }
}

// A cut anywhere before the end of the payload section leaves no readable image, and says so: every length
// through the headers and the descriptor, then every 61st.
TEST(FindPayloadImage, RefusesEveryTruncation) {
    const Packed& p = packed();
    const TestPe pe = p.pe();
    for (size_t length = 0; length < pe.bytes.size(); length += length < pe.payloadRaw + 64 ? 1 : 61) {
        ExactFile file(pe.bytes, length);
        PayloadImageView view;
        const std::string message = file.find(view);
        EXPECT_FALSE(message.empty()) << "cut at " << length;
        if (length >= pe.payloadRaw) {
            EXPECT_NE(message.find("truncated: the .payload section"), std::string::npos) << length << ": " << message;
        }
    }
}

TEST(InspectList, IsThePackersOwnSummary) {
    const Packed& p = packed();
    ExactFile file(p.pe().bytes);
    PayloadImageView view;
    ASSERT_EQ(file.find(view), "");
    const InspectResult listed = listPayload(view);
    EXPECT_EQ(listed.code, INSPECT_OK) << listed.errors;
    EXPECT_EQ(listed.out, "license.txt  " + std::to_string(validLicense().size()) + " bytes, 3 lines\n" +
                              formatEntryTable(p.summary));
}

TEST(InspectVerify, PassesOnEveryThreadCount) {
    const Packed& p = packed();
    ExactFile file(p.pe().bytes);
    PayloadImageView view;
    ASSERT_EQ(file.find(view), "");
    for (unsigned threads : {1u, 2u, 5u, 8u}) {
        for (const std::string& folder : {std::string(), p.folder()}) {
            const InspectResult verified = verifyPayload(view, folder, threads);
            EXPECT_EQ(verified.code, INSPECT_OK) << threads << " threads, folder \"" << folder << "\": " << verified.errors;
            EXPECT_EQ(verified.errors, "");
            EXPECT_NE(verified.out.find("verified: license.txt"), std::string::npos) << verified.out;
        }
    }
}

// One damage at a time to a copy of the image: exit code 1 and lines that name the entry and the fault.
TEST(InspectVerify, NamesTheEntryAndWhatIsWrong) {
    const Packed& p = packed();
    const TestPe pe = p.pe();
    struct Case {
        const char* damage;
        std::function<void(Bytes&)> apply;
        std::vector<std::string> lines;
    };
    auto field = [&](int entry, uint64_t at) { return pe.directoryAt + p.header(entry) + at; };
    const uint64_t descriptor = pe.payloadRaw + PAYLOAD_DESCRIPTOR_MAGIC_BYTES;
    const Case cases[] = {
        {"a literal byte of entry 3 in the store", [&](Bytes& b) { b[pe.storeAt + p.files[0].size() + 100] ^= 0x40; },
         {"bin/target_fl64: corrupted: the directory gives the hash"}},
        {"entry 2's hash", [&](Bytes& b) { b[field(1, ENTRY_HASH_AT)] ^= 1; },
         {"bin/target_cl32: corrupted: the directory gives the hash"}},
        {"entry 4's size one more", [&](Bytes& b) { putU32(b, field(3, ENTRY_SIZE_AT), readEntrySize(&b[field(3, 0)]) + 1); },
         {"bin/target_fl32: corrupted: its ChunkRefs add up to less than its size of 40,078 bytes"}},
        {"entry 4's size one less", [&](Bytes& b) { putU32(b, field(3, ENTRY_SIZE_AT), readEntrySize(&b[field(3, 0)]) - 1); },
         {"bin/target_fl32: corrupted: its ChunkRefs add up to more than its size of 40,076 bytes"}},
        {"entry 2's first ChunkRef past the store", [&](Bytes& b) { putU32(b, field(1, ENTRY_HEADER_BYTES + REF_OFFSET_AT), 0xFFFFFF00u); },
         {"bin/target_cl32: corrupted: a ChunkRef names bytes past the end of the ChunkStore"}},
        {"entry 5's name", [&](Bytes& b) { b[field(4, 0) - 4] = 'x'; },
         {"directory: entry 5 is \"bin/target_sx64\" where \"bin/target_st64\" belongs",
          "bin/target_st64: corrupted: not in the directory"}},
        {"the directory one byte short", [&](Bytes& b) { putU32(b, descriptor + 20, readU32(&b[descriptor + 20]) - 1); },
         {"directory: entry 5 (at byte", "no terminator before the directory's end",
          "bin/target_cl64: corrupted: the directory cannot be walked to its end"}},
        {"entry 1 renamed as entry 3", [&](Bytes& b) { b[field(0, 0) - 5] = 'f'; },
         {"bin/target_cl64: corrupted: not in the directory",
          "bin/target_fl64: corrupted: named by two entries of the directory"}},
        {"the license one byte short", [&](Bytes& b) { putU32(b, descriptor + 4, readU32(&b[descriptor + 4]) - 1); },
         {"license.txt: corrupted: line 3, column 18: "}},
    };
    for (const Case& c : cases) {
        Bytes damaged = pe.bytes;
        c.apply(damaged);
        ExactFile file(damaged);
        PayloadImageView view;
        ASSERT_EQ(file.find(view), "") << c.damage;
        const InspectResult verified = verifyPayload(view, {}, 2);
        EXPECT_EQ(verified.code, INSPECT_CORRUPTED) << c.damage;
        for (const std::string& line : c.lines)
            EXPECT_NE(verified.errors.find(line), std::string::npos) << c.damage << ": wants \"" << line << "\" in\n"
                                                                     << verified.errors;
        EXPECT_EQ(verified.out.find("verified: "), std::string::npos) << c.damage;
    }
}

TEST(InspectVerify, ComparesEveryByteWithTheFolder) {
    const Packed& p = packed();
    ExactFile file(p.pe().bytes);
    PayloadImageView view;
    ASSERT_EQ(file.find(view), "");
    struct Case {
        const char* change;
        std::function<void(const std::filesystem::path&)> apply;
        int code;
        std::string line;
    };
    const Case cases[] = {
        {"one byte of an entry",
         [&](const std::filesystem::path& d) {
             Bytes b = p.files[2];
             b[1234] ^= 1;
             writeFile(d / ENTRY_KEY_FL64, b);
         },
         INSPECT_CORRUPTED, "bin/target_fl64: differs from FOLDER/bin/target_fl64 from byte 1,234 on"},
        {"an entry one byte shorter",
         [&](const std::filesystem::path& d) { writeFile(d / ENTRY_KEY_CLAP32, Bytes(p.files[1].begin(), p.files[1].end() - 1)); },
         INSPECT_CORRUPTED, "bin/target_cl32: differs from FOLDER/bin/target_cl32: 40,000 bytes in the installer, 39,999 in the folder"},
        {"an empty entry grown by a byte", [&](const std::filesystem::path& d) { writeFile(d / ENTRY_KEY_STANDALONE, {0}); },
         INSPECT_CORRUPTED, "bin/target_st64: differs from FOLDER/bin/target_st64: 0 bytes in the installer, 1 in the folder"},
        {"the license", [&](const std::filesystem::path& d) { writeFile(d / PAYLOAD_LICENSE_FILE, asciiBytes("Other.\r\n")); },
         INSPECT_CORRUPTED, "license.txt: differs from FOLDER/license.txt"},
        {"a missing entry", [&](const std::filesystem::path& d) { std::filesystem::remove(d / ENTRY_KEY_CLAP64); },
         INSPECT_UNREADABLE, "FOLDER/bin/target_cl64: cannot open: No such file or directory"},
    };
    for (const Case& c : cases) {
        const std::filesystem::path folder = p.scratch.path / "changed";
        std::filesystem::remove_all(folder);
        writePayloadFolder(folder, p.files);
        c.apply(folder);
        const InspectResult verified = verifyPayload(view, folder.string(), 2);
        std::string line = c.line;
        line.replace(line.find("FOLDER"), 6, folder.string());
        if (line.find("FOLDER") != std::string::npos) line.replace(line.find("FOLDER"), 6, folder.string());
        EXPECT_EQ(verified.code, c.code) << c.change;
        EXPECT_NE(verified.errors.find(line), std::string::npos) << c.change << ": wants \"" << line << "\" in\n"
                                                                 << verified.errors;
        // Only the changed file is named.
        EXPECT_EQ(std::count(verified.errors.begin(), verified.errors.end(), '\n'), 1) << c.change << ":\n" << verified.errors;
    }
}

TEST(InspectExtract, WritesAFolderThatPacksToTheSameRegions) {
    const Packed& p = packed();
    ExactFile file(p.pe().bytes);
    PayloadImageView view;
    ASSERT_EQ(file.find(view), "");
    const std::filesystem::path out = p.scratch.path / "extracted";
    const InspectResult extracted = extractPayload(view, out.string(), 2);
    ASSERT_EQ(extracted.code, INSPECT_OK) << extracted.errors;
    EXPECT_TRUE(readFile(out / PAYLOAD_LICENSE_FILE) == validLicense());
    for (int i = 0; i < PAYLOAD_ENTRY_COUNT; ++i)
        EXPECT_TRUE(readFile(out / PAYLOAD_ENTRY_KEYS[i]) == p.files[i]) << PAYLOAD_ENTRY_KEYS[i];
    size_t files = 0;
    for (const auto& item : std::filesystem::recursive_directory_iterator(out)) files += item.is_regular_file();
    EXPECT_EQ(files, 6u) << "license, five entries and no temporary";

    packPayload(out, p.scratch.path / "repacked", PackOptions{});
    for (const char* region : {PAYLOAD_LICENSE_REGION_FILE, PAYLOAD_STORE_REGION_FILE, PAYLOAD_DIRECTORY_REGION_FILE})
        EXPECT_TRUE(readFile(p.scratch.path / "repacked" / region) == readFile(p.scratch.path / "out" / region)) << region;
}

TEST(InspectExtract, LeavesNoFileWhenAnEntryIsCorrupted) {
    const Packed& p = packed();
    TestPe pe = p.pe();
    pe.bytes[pe.directoryAt + p.header(3)] ^= 0x10;  // entry 4's hash
    ExactFile file(pe.bytes);
    PayloadImageView view;
    ASSERT_EQ(file.find(view), "");
    const std::filesystem::path out = p.scratch.path / "not-extracted";
    const InspectResult extracted = extractPayload(view, out.string(), 2);
    EXPECT_EQ(extracted.code, INSPECT_CORRUPTED);
    EXPECT_NE(extracted.errors.find("bin/target_fl32: corrupted"), std::string::npos) << extracted.errors;
    size_t files = 0;
    for (const auto& item : std::filesystem::recursive_directory_iterator(out)) files += item.is_regular_file();
    EXPECT_EQ(files, 0u);
}

}  // namespace
