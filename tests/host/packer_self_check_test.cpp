// The packer's self-check over a real output: it passes the output as written, and it names the entry when a
// single byte of the store or a hash field is wrong, wherever the byte lies among the slices the threads
// divide the entries into.
#include <gtest/gtest.h>

#include "tests/host/packer_test_files.h"
#include "tools/packer/output_verifier.h"
#include "tools/packer/pack_payload.h"

using namespace packer;

namespace {

struct PackedOutput {
    std::vector<Bytes> files;
    Bytes store, directory;
    std::vector<uint32_t> hashes;

    std::string verify(unsigned threads) const {
        std::vector<std::span<const uint8_t>> inputs(files.begin(), files.end());
        return verifyOutput(inputs, hashes, store, directory, threads);
    }
};

// File 1 is random; files 2-5 copy it with a few new bytes each, so that they refer to both file 1's bytes
// and their own literal runs at the store's end.
PackedOutput packRelatedFiles() {
    std::mt19937_64 random(11);
    PackedOutput out;
    out.files.push_back(randomBytes(random, 90'001));
    for (int i = 1; i < PAYLOAD_ENTRY_COUNT; ++i) {
        Bytes file = out.files[0];
        for (size_t at = 5'000 * size_t(i); at < file.size(); at += 20'011) file[at] ^= uint8_t(i);
        file.resize(file.size() - size_t(i) * 7);
        out.files.push_back(file);
    }
    ScratchFolder scratch;
    writePayloadFolder(scratch.path / "in", out.files);
    packPayload(scratch.path / "in", scratch.path / "out", PackOptions{});
    out.store = readFile(scratch.path / "out" / PAYLOAD_STORE_REGION_FILE);
    out.directory = readFile(scratch.path / "out" / PAYLOAD_DIRECTORY_REGION_FILE);
    for (const Bytes& file : out.files) out.hashes.push_back(payloadHash(file.data(), file.size()));
    return out;
}

const unsigned THREAD_COUNTS[] = {1, 2, 3, 7};

TEST(PackerSelfCheck, PassesTheOutputAsWritten) {
    const PackedOutput out = packRelatedFiles();
    ASSERT_GT(out.store.size(), out.files[0].size()) << "the set should give literal runs";
    for (unsigned threads : THREAD_COUNTS) EXPECT_EQ(out.verify(threads), "") << threads << " threads";
}

TEST(PackerSelfCheck, NamesTheFirstEntryThatAFlippedStoreByteBreaks) {
    const PackedOutput intact = packRelatedFiles();
    const uint64_t first = intact.files[0].size();
    struct Case {
        uint64_t at;
        int entry;  // the first entry in directory order that reads the byte
    };
    // File 1's first and last bytes, the edges of two and of three slices of it, and the literal runs.
    const Case cases[] = {{0, 0},
                          {first - 1, 0},
                          {first / 2 - 1, 0},
                          {first / 2, 0},
                          {first / 3, 0},
                          {first / 3 * 2 - 1, 0},
                          {first, 1},
                          {intact.store.size() - 1, 4}};
    for (const Case& c : cases) {
        PackedOutput out = intact;
        out.store[c.at] ^= 0x40;
        const std::string want = std::string(PAYLOAD_ENTRY_KEYS[c.entry]) + ": does not reassemble to its input";
        for (unsigned threads : THREAD_COUNTS)
            EXPECT_EQ(out.verify(threads), want) << "store byte " << c.at << ", " << threads << " threads";
    }
}

TEST(PackerSelfCheck, NamesAnEntryWhoseHashFieldDiffers) {
    for (int i = 0; i < PAYLOAD_ENTRY_COUNT; ++i) {
        PackedOutput out = packRelatedFiles();
        out.hashes[size_t(i)] ^= 1;
        EXPECT_EQ(out.verify(2), std::string(PAYLOAD_ENTRY_KEYS[i]) + ": hash field differs from the input's hash");
    }
}

}  // namespace
