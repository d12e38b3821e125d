// Packs related file sets through the whole packer and checks the output with an independent reader:
// every entry reassembles to its input with the right hash, every rule of the format holds, and the
// matcher finds what was shared (literal bytes stay within the bytes the set made new).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>

#include "tests/host/packer_test_files.h"
#include "tools/packer/image_writer.h"
#include "tools/packer/pack_payload.h"
#include "tools/packer/store_compressor.h"

using namespace packer;

namespace {

struct FileSet {
    std::vector<Bytes> files;
    std::vector<uint64_t> novel;  // bytes of each file that appear nowhere earlier (file 1: all of it)
};

// base with edits at least 48 bytes apart and 64 bytes from either end; counts the bytes it makes new.
struct Editor {
    std::mt19937_64& random;
    int substitutions = 0, insertions = 0, deletions = 0, moves = 0;
    size_t maxEdit = 24;

    Bytes apply(const Bytes& base, uint64_t& novel) const {
        Bytes out = base;
        novel = 0;
        if (base.size() < 1024) return out;
        for (int m = 0; m < moves; ++m) {
            size_t length = out.size() / 8;
            size_t from = 64 + random() % (out.size() / 2 - length - 64);
            Bytes block(out.begin() + from, out.begin() + from + length);
            out.erase(out.begin() + from, out.begin() + from + length);
            size_t to = out.size() / 2 + random() % (out.size() / 2 - 64);
            out.insert(out.begin() + to, block.begin(), block.end());
        }
        int total = substitutions + insertions + deletions;
        if (total == 0) return out;
        std::vector<int> kinds;
        for (int k = 0; k < substitutions; ++k) kinds.push_back(0);
        for (int k = 0; k < insertions; ++k) kinds.push_back(1);
        for (int k = 0; k < deletions; ++k) kinds.push_back(2);
        std::shuffle(kinds.begin(), kinds.end(), random);
        // Edits from the back so that earlier positions stay put; spaced evenly with jitter.
        size_t spacing = (out.size() - 128) / size_t(total);
        if (spacing < 48 + maxEdit) return out;
        for (int e = total - 1; e >= 0; --e) {
            size_t at = 64 + size_t(e) * spacing + random() % (spacing - 48 - maxEdit);
            size_t length = 1 + random() % maxEdit;
            switch (kinds[size_t(e)]) {
                case 0:
                    for (size_t k = 0; k < length; ++k) out[at + k] ^= uint8_t(1 + random() % 255);
                    novel += length;
                    break;
                case 1: {
                    Bytes inserted = randomBytes(random, length);
                    out.insert(out.begin() + at, inserted.begin(), inserted.end());
                    novel += length;
                    break;
                }
                default:
                    out.erase(out.begin() + at, out.begin() + at + length);
            }
        }
        return out;
    }
};

struct Case {
    const char* name;
    std::function<FileSet(std::mt19937_64&)> make;
};

FileSet relatedTo(std::mt19937_64& random, Bytes base, Editor editor) {
    FileSet set;
    set.files.push_back(base);
    set.novel.push_back(base.size());
    for (int i = 1; i < PAYLOAD_ENTRY_COUNT; ++i) {
        uint64_t novel = 0;
        set.files.push_back(editor.apply(base, novel));
        set.novel.push_back(novel);
    }
    (void)random;
    return set;
}

const Case CASES[] = {
    {"all empty", [](std::mt19937_64&) { return FileSet{std::vector<Bytes>(5), {0, 0, 0, 0, 0}}; }},
    {"identical",
     [](std::mt19937_64& r) {
         Bytes base = randomBytes(r, 300'001);
         return FileSet{{base, base, base, base, base}, {base.size(), 0, 0, 0, 0}};
     }},
    {"unrelated, odd sizes",
     [](std::mt19937_64& r) {
         FileSet set;
         for (size_t size : {size_t(100'003), size_t(1), size_t(15), size_t(17), size_t(65'537)}) {
             set.files.push_back(randomBytes(r, size));
             set.novel.push_back(size);
         }
         return set;
     }},
    {"first file empty",
     [](std::mt19937_64& r) {
         Bytes other = randomBytes(r, 50'000);
         return FileSet{{Bytes(), other, other, Bytes(), other}, {0, other.size(), 0, 0, 0}};
     }},
    {"shifted by insertions",
     [](std::mt19937_64& r) { return relatedTo(r, randomBytes(r, 400'000), Editor{r, 0, 120, 0, 0}); }},
    {"substitutions and deletions",
     [](std::mt19937_64& r) { return relatedTo(r, randomBytes(r, 400'000), Editor{r, 150, 0, 150, 0}); }},
    {"moved blocks",
     [](std::mt19937_64& r) { return relatedTo(r, randomBytes(r, 500'000), Editor{r, 20, 20, 20, 3}); }},
    {"edits longer than a resync reaches",
     [](std::mt19937_64& r) {
         Editor editor{r, 40, 40, 40, 0};
         editor.maxEdit = 200;
         return relatedTo(r, randomBytes(r, 600'000), editor);
     }},
    {"later files copy earlier literal runs",
     [](std::mt19937_64& r) {
         Bytes first = randomBytes(r, 200'000), second = randomBytes(r, 150'000);
         Bytes both = first;
         both.insert(both.end(), second.begin(), second.end());
         Bytes swapped(second.begin() + 75'000, second.end());
         swapped.insert(swapped.end(), second.begin(), second.begin() + 75'000);
         return FileSet{{first, second, both, swapped, second}, {first.size(), second.size(), 0, 0, 0}};
     }},
};

class PackerRoundTrip : public ::testing::TestWithParam<Case> {};

TEST_P(PackerRoundTrip, ReassemblesAndKeepsEveryRule) {
    std::mt19937_64 random(0x5EED);
    FileSet set = GetParam().make(random);
    ScratchFolder scratch;
    writePayloadFolder(scratch.path / "in", set.files);
    PackSummary summary = packPayload(scratch.path / "in", scratch.path / "out", PackOptions{});

    std::vector<ReadEntry> entries = checkPackedOutput(scratch.path / "out", set.files);
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_TRUE(readFile(scratch.path / "out" / PAYLOAD_LICENSE_REGION_FILE) == validLicense());
    for (int i = 0; i < PAYLOAD_ENTRY_COUNT; ++i) {
        SCOPED_TRACE(PAYLOAD_ENTRY_KEYS[i]);
        EXPECT_LE(entries[i].literalBytes, set.novel[i]) << "the matcher missed shared bytes";
        EXPECT_EQ(summary.entries[i].literalBytes, entries[i].literalBytes);
        EXPECT_EQ(summary.entries[i].chunkRefs, entries[i].refs.size());
    }
    EXPECT_EQ(summary.storeBytes, readFile(scratch.path / "out" / PAYLOAD_STORE_REGION_FILE).size());
    EXPECT_EQ(summary.directoryBytes, readFile(scratch.path / "out" / PAYLOAD_DIRECTORY_REGION_FILE).size());
}

INSTANTIATE_TEST_SUITE_P(Sets, PackerRoundTrip, ::testing::ValuesIn(CASES), [](const auto& info) {
    std::string name = info.param.name;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
});

// Random sizes and edit mixes, including repetitive content where many places match.
TEST(PackerRoundTripRandom, ManySeeds) {
    for (uint64_t seed = 1; seed <= 12; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937_64 random(seed);
        Bytes base = randomBytes(random, 2000 + random() % 150'000);
        if (seed % 3 == 0)  // long runs of zeros and of a short period, as in padding and tables
            for (size_t i = 0; i < base.size() / 2; ++i) base[i] = seed % 2 ? 0 : uint8_t(i % 7);
        Editor editor{random, int(random() % 40), int(random() % 40), int(random() % 40), int(random() % 2)};
        FileSet set = relatedTo(random, base, editor);
        ScratchFolder scratch;
        writePayloadFolder(scratch.path / "in", set.files);
        PackOptions options;
        options.threads = 1 + unsigned(seed % 3);
        packPayload(scratch.path / "in", scratch.path / "out", options);
        std::vector<ReadEntry> entries = checkPackedOutput(scratch.path / "out", set.files);
        ASSERT_EQ(entries.size(), 5u);
        // Next to the cuts of a moved block an edit can leave a copy too short to pay; folding it into the
        // literal run is cheaper overall but stores up to 16 bytes more than the edit made new.
        for (int i = 1; i < PAYLOAD_ENTRY_COUNT; ++i)
            EXPECT_LE(entries[i].literalBytes, set.novel[i] + 16 * 3 * uint64_t(editor.moves));
    }
}

TEST(PackerOutput, SameInputsGiveIdenticalBytes) {
    std::mt19937_64 random(7);
    FileSet set = relatedTo(random, randomBytes(random, 250'000), Editor{random, 30, 30, 30, 1});
    ScratchFolder scratch;
    writePayloadFolder(scratch.path / "in", set.files);
    PackOptions twoThreads, oneThread;
    oneThread.threads = 1;
    // Raw, and compressed: libzstd's output must not depend on the thread count either.
    for (int level : {5, 0}) {
        twoThreads.compressionLevel = oneThread.compressionLevel = level;
        packPayload(scratch.path / "in", scratch.path / "a", twoThreads);
        packPayload(scratch.path / "in", scratch.path / "b", oneThread);
        for (const char* name : {PAYLOAD_LICENSE_REGION_FILE, PAYLOAD_STORE_REGION_FILE, PAYLOAD_DIRECTORY_REGION_FILE})
            EXPECT_TRUE(readFile(scratch.path / "a" / name) == readFile(scratch.path / "b" / name)) << name << " " << level;
    }
    Bytes assembly = readFile(scratch.path / "a" / PAYLOAD_ASSEMBLY_FILE);
    const PackSummary summary = packPayload(scratch.path / "in", scratch.path / "a", twoThreads);
    EXPECT_TRUE(readFile(scratch.path / "a" / PAYLOAD_ASSEMBLY_FILE) == assembly);
    // The summary is written with the regions: the table the run returned, whole.
    const Bytes table = readFile(scratch.path / "a" / PACK_SUMMARY_FILE);
    EXPECT_EQ(std::string(table.begin(), table.end()), formatSummary(summary));
    // Nothing but the five outputs is left in the folder.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(scratch.path / "a"), {}), 5);
}

// Compressible bytes long enough for libzstd to cut into several jobs: the frame is the same on any number of
// threads, and the installer's decoder gives the bytes back.
TEST(PackerOutput, CompressedFrameIsTheSameOnEveryThreadCount) {
    std::mt19937_64 random(5);
    const char* words[] = {"mov ", "rax, ", "[rbp-8]", "call ", "ret\n", "push ", "0x40\n", "lea "};
    Bytes text;
    while (text.size() < (12u << 20)) {
        const char* word = words[random() % 8];
        text.insert(text.end(), word, word + std::strlen(word));
    }
    const std::vector<uint8_t> one = compressRegion(text, 1, 1, {});
    EXPECT_LT(one.size(), text.size() / 2);
    for (unsigned threads : {2u, 3u}) EXPECT_TRUE(compressRegion(text, 1, threads, {}) == one) << threads << " threads";
    EXPECT_EQ(checkFrame("text", one, text), "");
}

// The assembler file, put through the mingw assembler: every label where the layout puts it, in a section of
// its own that opens with the descriptor naming the same offsets.
TEST(PackerOutput, AssemblesToTheImageLayout) {
    if (std::system("x86_64-w64-mingw32-as --version > /dev/null 2>&1") != 0) GTEST_SKIP() << "no mingw assembler";
    ScratchFolder scratch;
    std::mt19937_64 random(3);
    Bytes first = randomBytes(random, 1001);
    std::vector<Bytes> files = {first, randomBytes(random, 7), first, first, first};
    Bytes license = asciiBytes("Short license.\r\n");
    writePayloadFolder(scratch.path / "in", files, license);
    PackSummary summary = packPayload(scratch.path / "in", scratch.path / "out", PackOptions{});
    std::string object = (scratch.path / "image.o").string();
    std::string symbols = (scratch.path / "symbols.txt").string();
    std::string section = (scratch.path / "section.bin").string();
    std::string command = "x86_64-w64-mingw32-as -o " + object + " " + (scratch.path / "out" / PAYLOAD_ASSEMBLY_FILE).string() +
                          " && x86_64-w64-mingw32-nm -g " + object + " > " + symbols +
                          " && x86_64-w64-mingw32-objcopy -O binary -j " PAYLOAD_SECTION_NAME " " + object + " " + section;
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::map<std::string, uint64_t> address;
    std::ifstream in(symbols);
    std::string value, kind, name;
    while (in >> value >> kind >> name) {
        EXPECT_EQ(kind, "R") << name << " should be a global read-only symbol";
        address[name] = std::stoull(value, nullptr, 16);
    }
    uint64_t store = summary.storeBytes, directory = summary.directoryBytes;
    EXPECT_EQ(address["licenseTextBegin"], PAYLOAD_DESCRIPTOR_BYTES);
    EXPECT_EQ(address["licenseTextEnd"], PAYLOAD_DESCRIPTOR_BYTES + license.size());
    EXPECT_EQ(address["chunkStoreBegin"], alignUp(address["licenseTextEnd"], 16));
    EXPECT_EQ(address["chunkStoreEnd"], address["chunkStoreBegin"] + store);
    EXPECT_EQ(address["directoryBegin"], alignUp(address["chunkStoreEnd"], 16));
    EXPECT_EQ(address["directoryEnd"], address["directoryBegin"] + directory);

    const Bytes bytes = readFile(section);
    // The descriptor and the regions, then at most the fill to the section's own 16-byte alignment.
    ASSERT_GE(bytes.size(), address["directoryEnd"]);
    EXPECT_LT(bytes.size(), address["directoryEnd"] + 16);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + PAYLOAD_DESCRIPTOR_MAGIC_BYTES), PAYLOAD_DESCRIPTOR_MAGIC);
    for (int i = 0; i < PAYLOAD_SYMBOL_COUNT; ++i)
        EXPECT_EQ(readU32(&bytes[PAYLOAD_DESCRIPTOR_MAGIC_BYTES + 4 * i]), address[PAYLOAD_SYMBOLS[i]]) << PAYLOAD_SYMBOLS[i];
    EXPECT_TRUE(Bytes(bytes.begin() + PAYLOAD_DESCRIPTOR_BYTES, bytes.begin() + address["licenseTextEnd"]) == license);
}

}  // namespace
