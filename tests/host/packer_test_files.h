// Shared by the packer tests: scratch folders, payload folders written from bytes, and a reader of the
// packer's output that checks every rule of the format independently of the packer's own code.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "payload/entry_directory.h"
#include "payload/payload_format.h"
#include "payload/payload_hash.h"

using Bytes = std::vector<uint8_t>;

inline Bytes readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeFile(const std::filesystem::path& path, const Bytes& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

inline Bytes asciiBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

inline Bytes randomBytes(std::mt19937_64& random, size_t count) {
    Bytes bytes(count);
    for (uint8_t& b : bytes) b = uint8_t(random());
    return bytes;
}

// A fresh folder under the system's temporary folder, removed with its contents at the end of the test.
struct ScratchFolder {
    std::filesystem::path path;
    ScratchFolder() {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string("moravel-") + test->test_suite_name() + "-" + test->name();
        for (char& c : name)
            if (c == '/') c = '_';
        path = std::filesystem::temp_directory_path() / (name + "-" + std::to_string(::getpid()));
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path);
    }
    ~ScratchFolder() { std::filesystem::remove_all(path); }
};

inline const Bytes& validLicense() {
    static const Bytes text = asciiBytes("Terms of use.\r\n\r\nSecond paragraph.\r\n");
    return text;
}

// Writes license.txt and the five files under their EntryKeys.
inline void writePayloadFolder(const std::filesystem::path& dir, const std::vector<Bytes>& files,
                               const Bytes& license = validLicense()) {
    writeFile(dir / PAYLOAD_LICENSE_FILE, license);
    for (int i = 0; i < PAYLOAD_ENTRY_COUNT; ++i) writeFile(dir / PAYLOAD_ENTRY_KEYS[i], files[i]);
}

struct ReadRef {
    uint32_t offset, count;
};

struct ReadEntry {
    std::string name;
    uint32_t hash = 0, size = 0;
    std::vector<ReadRef> refs;
    uint64_t literalBytes = 0;  // bytes of this entry's own literal runs
};

// Walks directory.bin with the installer's reader (readEntry) and checks every rule of the format and of this
// producer against the inputs; failures are reported through gtest. Returns the entries read.
inline std::vector<ReadEntry> checkPackedOutput(const std::filesystem::path& outDir, const std::vector<Bytes>& files) {
    const Bytes store = readFile(outDir / PAYLOAD_STORE_REGION_FILE);
    const Bytes directory = readFile(outDir / PAYLOAD_DIRECTORY_REGION_FILE);
    const PayloadRegions regions = {store.data(), store.data() + store.size(), directory.data(),
                                    directory.data() + directory.size()};
    std::vector<ReadEntry> entries;
    const uint8_t* at = regions.directoryBegin;
    uint64_t literalBase = files[0].size();  // where the current entry's literal runs begin in the store
    for (int i = 0; i < PAYLOAD_ENTRY_COUNT; ++i) {
        ReadEntry entry;
        SCOPED_TRACE(PAYLOAD_ENTRY_KEYS[i]);
        DirectoryEntryView view;
        const EntryReadResult read = at < regions.directoryEnd ? readEntry(regions, at, view) : ENTRY_NAME_UNTERMINATED;
        if (read != ENTRY_READ) {
            ADD_FAILURE() << "entry cannot be read: EntryReadResult " << read;
            return entries;
        }
        entry.name.assign(reinterpret_cast<const char*>(view.name), view.nameLength);
        EXPECT_EQ(entry.name, PAYLOAD_ENTRY_KEYS[i]);
        EXPECT_EQ(findEntry(regions, PAYLOAD_ENTRY_KEYS[i]), view.header) << "the lookup lands elsewhere";
        entry.hash = view.hash;
        entry.size = view.size;
        for (uint64_t r = 0; r < view.refCount; ++r)
            entry.refs.push_back({readRefOffset(view.refs + CHUNK_REF_BYTES * r), readRefCount(view.refs + CHUNK_REF_BYTES * r)});
        at = view.next;
        EXPECT_EQ(entry.size, files[i].size());
        EXPECT_NE(uint64_t(entry.hash) | entry.size, 0u);

        Bytes assembled;
        std::vector<bool> literalRef;
        uint64_t total = 0;
        uint64_t literalEnd = literalBase;
        for (size_t r = 0; r < entry.refs.size(); ++r) {
            const ReadRef& ref = entry.refs[r];
            EXPECT_NE(ref.count, 0u) << "ref " << r << " copies nothing";
            total += ref.count;
            EXPECT_LE(total, entry.size) << "prefix of " << r + 1 << " refs passes the size";
            if (uint64_t(ref.offset) + ref.count > store.size()) {
                ADD_FAILURE() << "ref " << r << " names bytes past the store";
                return entries;
            }
            assembled.insert(assembled.end(), store.begin() + ref.offset, store.begin() + ref.offset + ref.count);
            if (r > 0) {
                const ReadRef& before = entry.refs[r - 1];
                EXPECT_NE(uint64_t(before.offset) + before.count, ref.offset) << "refs " << r - 1 << " and " << r
                                                                              << " continue each other";
            }
            // A ref that reaches past this entry's literal bytes so far appends the next ones; any other ref
            // is a copy (of this entry's own literal bytes, too).
            bool literal = i > 0 && uint64_t(ref.offset) + ref.count > literalEnd;
            if (literal) {
                EXPECT_LE(ref.offset, literalEnd) << "literal run of ref " << r << " out of order";
                literalEnd = uint64_t(ref.offset) + ref.count;
            }
            literalRef.push_back(literal);
        }
        EXPECT_EQ(total, entry.size);
        EXPECT_TRUE(assembled == files[i]) << "does not reassemble to its input";
        EXPECT_EQ(entry.hash, payloadHash(assembled.data(), assembled.size()));
        if (i == 0) {
            if (entry.size == 0) {
                EXPECT_TRUE(entry.refs.empty());
            } else {
                EXPECT_EQ(entry.refs.size(), 1u);
                EXPECT_EQ(entry.refs.empty() ? 1u : entry.refs[0].offset, 0u);
            }
            entry.literalBytes = entry.size;
        } else {
            // A copy pays only if it is longer than 8 bytes per literal neighbour it keeps apart.
            auto isLiteral = [&](size_t r) { return bool(literalRef[r]); };
            for (size_t r = 0; r < entry.refs.size(); ++r) {
                if (isLiteral(r)) continue;
                uint64_t neighbours = uint64_t(r > 0 && isLiteral(r - 1)) + (r + 1 < entry.refs.size() && isLiteral(r + 1));
                EXPECT_GT(entry.refs[r].count, 8 * neighbours) << "copy " << r << " does not pay";
            }
            entry.literalBytes = literalEnd - literalBase;
            literalBase = literalEnd;
        }
        entries.push_back(entry);
    }
    EXPECT_EQ(at, regions.directoryEnd) << "bytes after the fifth entry";
    EXPECT_EQ(literalBase, store.size()) << "store is not file 1 and the literal runs";
    EXPECT_TRUE(std::equal(files[0].begin(), files[0].end(), store.begin())) << "store does not begin with file 1";
    return entries;
}
