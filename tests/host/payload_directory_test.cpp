// The directory walk and the assembly with every check, over images built here. Store and directory each
// live in a heap block of exactly their size, so AddressSanitizer reports any read past either end.
#include <gtest/gtest.h>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>
#include "payload/entry_directory.h"
#include "payload/payload_format.h"
#include "payload/payload_hash.h"

namespace {

struct Ref {
    uint32_t offset, count;
};

// One DirectoryEntry as bytes: name, NUL, hash, size, ChunkRefs, and the terminator unless left off.
std::vector<uint8_t> entryBytes(const std::string& name, uint32_t hash, uint32_t size, const std::vector<Ref>& refs,
                                bool terminated = true) {
    std::vector<uint8_t> bytes(name.begin(), name.end());
    bytes.push_back(0);
    auto put = [&](uint32_t v) {
        uint8_t b[4];
        writeU32(b, v);
        bytes.insert(bytes.end(), b, b + 4);
    };
    put(hash);
    put(size);
    for (const Ref& r : refs) put(r.offset), put(r.count);
    if (terminated) put(0), put(0);
    return bytes;
}

uint32_t hashOf(const std::string& text) {
    return payloadHash(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

// An image whose store and directory are separate exact-size heap blocks.
struct Image {
    std::unique_ptr<uint8_t[]> store, directory;
    size_t storeSize = 0, directorySize = 0;
    std::vector<size_t> entryStarts;  // offset of each entry's name in the directory

    Image(const std::string& storeText, const std::vector<std::vector<uint8_t>>& entries) {
        storeSize = storeText.size();
        store.reset(new uint8_t[storeSize]);
        std::memcpy(store.get(), storeText.data(), storeSize);
        std::vector<uint8_t> all;
        for (const auto& e : entries) entryStarts.push_back(all.size()), all.insert(all.end(), e.begin(), e.end());
        directorySize = all.size();
        directory.reset(new uint8_t[directorySize]);
        if (directorySize != 0) std::memcpy(directory.get(), all.data(), directorySize);
    }
    PayloadRegions regions(size_t directoryLength) const {
        return {store.get(), store.get() + storeSize, directory.get(), directory.get() + directoryLength};
    }
    PayloadRegions regions() const { return regions(directorySize); }
};

const std::string STORE = "0123456789abcdefghijklmnopqrstuvwxyz";

}  // namespace

// Names of every length from 1 to 9 put the hash, size and ChunkRefs of each entry at every alignment.
TEST(FindEntry, FindsEveryEntryAndReadsItsFieldsAtAnyAlignment) {
    std::vector<std::vector<uint8_t>> entries;
    std::vector<std::string> names;
    for (int length = 1; length <= 9; ++length) {
        std::string name(length, char('a' + length));
        names.push_back(name);
        entries.push_back(entryBytes(name, 0x11223344u + length, uint32_t(length), {{uint32_t(length), uint32_t(length)}, {7, 0}}));
    }
    Image image(STORE, entries);
    for (size_t i = 0; i < names.size(); ++i) {
        const uint8_t* found = findEntry(image.regions(), names[i].c_str());
        ASSERT_NE(found, nullptr) << names[i];
        EXPECT_EQ(found, image.directory.get() + image.entryStarts[i] + names[i].size() + 1) << names[i];
        EXPECT_EQ(readEntryHash(found), 0x11223344u + i + 1);
        EXPECT_EQ(readEntrySize(found), i + 1);
        EXPECT_EQ(readRefOffset(found + ENTRY_HEADER_BYTES), i + 1);
    }
}

// Only a whole name matches: not a prefix of it, nor a longer key that starts with it.
TEST(FindEntry, AbsentKeysAreNotFoundAndTheWalkStaysInTheDirectory) {
    Image image(STORE, {entryBytes("bin/a", hashOf("0123"), 4, {{0, 4}}),
                        entryBytes("bin/abc", hashOf(""), 0, {}),
                        entryBytes("bin/b", hashOf("45"), 2, {{4, 2}})});
    for (const char* key : {"bin/", "bin/ab", "bin/abcd", "bin/c", "", "bin/a/"})
        EXPECT_EQ(findEntry(image.regions(), key), nullptr) << key;
    EXPECT_NE(findEntry(image.regions(), "bin/abc"), nullptr);
}

// Cut at every length, the lookup answers only where the cut falls between two entries (the walk must end
// exactly at directoryEnd), and then finds the entries before the cut. Each cut is tried twice: inside the
// whole block, where the bytes after the cut are there to be misread, and as a block of exactly the cut's
// length, where reading past it is an ASan report.
TEST(FindEntry, IsBoundedByDirectoryEndAtEveryCut) {
    const std::vector<std::vector<uint8_t>> entries = {entryBytes("first", hashOf("01"), 2, {{0, 2}}),
                                                       entryBytes("second", hashOf("234"), 3, {{2, 1}, {3, 2}}),
                                                       entryBytes("third", hashOf(""), 0, {})};
    Image whole(STORE, entries);
    std::vector<uint8_t> all;
    for (const auto& e : entries) all.insert(all.end(), e.begin(), e.end());
    const size_t secondStart = whole.entryStarts[1], thirdStart = whole.entryStarts[2];
    for (size_t cut = 0; cut <= all.size(); ++cut) {
        Image exact(STORE, {std::vector<uint8_t>(all.begin(), all.begin() + cut)});
        const bool between = cut == 0 || cut == secondStart || cut == thirdStart || cut == all.size();
        for (const PayloadRegions& regions : {whole.regions(cut), exact.regions()}) {
            const uint8_t* header = nullptr;
            EXPECT_EQ(lookupEntry(regions, "absent", header), between ? LOOKUP_ABSENT : LOOKUP_MALFORMED) << "cut " << cut;
            EXPECT_EQ(findEntry(regions, "first") != nullptr, between && cut >= secondStart) << "cut " << cut;
            EXPECT_EQ(findEntry(regions, "third") != nullptr, cut == all.size()) << "cut " << cut;
        }
    }
}

// A damaged name can repeat another entry's key: the entry that lost its key is absent, and the key met twice
// is found in neither entry, whatever their order (installing the first match would write the wrong file).
TEST(FindEntry, AKeyNamedByTwoEntriesIsFoundInNeither) {
    std::vector<std::vector<uint8_t>> entries;
    for (int i = 0; i < PAYLOAD_ENTRY_COUNT; ++i)
        entries.push_back(entryBytes(PAYLOAD_ENTRY_KEYS[i], hashOf(STORE.substr(i, 1)), 1, {{uint32_t(i), 1}}));
    for (int renamed = 0; renamed < PAYLOAD_ENTRY_COUNT; ++renamed) {
        const int as = (renamed + 2) % PAYLOAD_ENTRY_COUNT;  // takes the name of another entry
        std::vector<std::vector<uint8_t>> damaged = entries;
        damaged[renamed] = entryBytes(PAYLOAD_ENTRY_KEYS[as], hashOf(STORE.substr(renamed, 1)), 1, {{uint32_t(renamed), 1}});
        Image image(STORE, damaged);
        for (int i = 0; i < PAYLOAD_ENTRY_COUNT; ++i) {
            const uint8_t* header = nullptr;
            const EntryLookup expected = i == renamed ? LOOKUP_ABSENT : i == as ? LOOKUP_DUPLICATE : LOOKUP_FOUND;
            EXPECT_EQ(lookupEntry(image.regions(), PAYLOAD_ENTRY_KEYS[i], header), expected)
                << PAYLOAD_ENTRY_KEYS[renamed] << " renamed " << PAYLOAD_ENTRY_KEYS[as] << ", looking up " << PAYLOAD_ENTRY_KEYS[i];
            EXPECT_EQ(header != nullptr, expected == LOOKUP_FOUND) << PAYLOAD_ENTRY_KEYS[i];
        }
    }
}

struct AssemblyCase {
    const char* what;
    std::vector<Ref> refs;
    uint32_t size;
    uint32_t hash;
    AssemblyResult expected;
    std::string bytes;  // the assembled file, for ASSEMBLY_VERIFIED
};

// Each damage gives its own result, so the order of the checks is seen: a list that ends short with a wrong
// hash is reported short (the hash is not the reason), one that runs long is reported before any copy.
TEST(AssembleEntry, VerifiesOrReportsEachDamage) {
    const std::string abc = "abc0123";  // store bytes 10..12 then 0..3
    const std::vector<AssemblyCase> cases = {
        {"whole store in one ref", {{0, 36}}, 36, hashOf(STORE), ASSEMBLY_VERIFIED, STORE},
        {"pieces in any order", {{10, 3}, {0, 4}}, 7, hashOf(abc), ASSEMBLY_VERIFIED, abc},
        {"zero counts copy nothing, whatever the offset", {{5, 0}, {10, 3}, {0xFFFFFFFFu, 0}, {0, 4}, {36, 0}},
         7, hashOf(abc), ASSEMBLY_VERIFIED, abc},
        {"size 0: the terminator only", {}, 0, PAYLOAD_HASH_EMPTY, ASSEMBLY_VERIFIED, ""},
        {"size 0 with a zero-count ref", {{9, 0}}, 0, PAYLOAD_HASH_EMPTY, ASSEMBLY_VERIFIED, ""},
        {"one byte long", {{10, 3}, {0, 5}}, 7, hashOf(abc), ASSEMBLY_OVERRUN, ""},
        {"one byte short, hash wrong too", {{10, 3}, {0, 3}}, 7, hashOf(abc), ASSEMBLY_LENGTH_MISMATCH, ""},
        {"one byte short, hash of the short file", {{10, 3}, {0, 3}}, 7, hashOf("abc012"), ASSEMBLY_LENGTH_MISMATCH, ""},
        {"size 0 but a byte", {{0, 1}}, 0, PAYLOAD_HASH_EMPTY, ASSEMBLY_OVERRUN, ""},
        {"a file of size 1 with no refs", {}, 1, hashOf("0"), ASSEMBLY_LENGTH_MISMATCH, ""},
        {"right length, wrong bytes", {{10, 3}, {1, 4}}, 7, hashOf(abc), ASSEMBLY_HASH_MISMATCH, ""},
        {"hash off by one bit", {{10, 3}, {0, 4}}, 7, hashOf(abc) ^ 1, ASSEMBLY_HASH_MISMATCH, ""},
        {"one byte past the store", {{30, 7}}, 7, hashOf("uvwxyz"), ASSEMBLY_OUTSIDE_STORE, ""},
        {"starts at the store's end", {{36, 1}}, 1, hashOf("0"), ASSEMBLY_OUTSIDE_STORE, ""},
        {"offset + count wraps in 32 bits", {{0xFFFFFFF0u, 0x20}}, 0x20, 0, ASSEMBLY_OUTSIDE_STORE, ""},
        {"total + count wraps in 32 bits", {{0, 10}, {0, 0xFFFFFFFAu}}, 16, 0, ASSEMBLY_OVERRUN, ""},
        {"the longest count against a small size", {{0, 0xFFFFFFFFu}}, 4, 0, ASSEMBLY_OVERRUN, ""},
    };
    for (const AssemblyCase& c : cases) {
        Image image(STORE, {entryBytes("bin/x", c.hash, c.size, c.refs)});
        const uint8_t* entry = findEntry(image.regions(), "bin/x");
        ASSERT_NE(entry, nullptr) << c.what;
        std::unique_ptr<uint8_t[]> buffer(new uint8_t[c.size]);  // exactly size: a copy past it is an ASan report
        std::memset(buffer.get(), 0xEE, c.size);
        EXPECT_EQ(assembleEntry(image.regions(), entry, buffer.get()), c.expected) << c.what;
        if (c.expected == ASSEMBLY_VERIFIED) {
            EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer.get()), c.size), c.bytes) << c.what;
        }
    }
}

// Changing any one store byte that the entry uses is found by the hash; a byte it does not use changes nothing.
TEST(AssembleEntry, EveryChangedStoreByteThatTheEntryUsesIsFound) {
    for (size_t changed = 0; changed < STORE.size(); ++changed) {
        Image image(STORE, {entryBytes("e", hashOf("abc0123"), 7, {{10, 3}, {0, 4}})});
        image.store[changed] ^= 0x01;
        const bool used = changed < 4 || (changed >= 10 && changed < 13);
        uint8_t buffer[7];
        EXPECT_EQ(assembleEntry(image.regions(), findEntry(image.regions(), "e"), buffer),
                  used ? ASSEMBLY_HASH_MISMATCH : ASSEMBLY_VERIFIED) << "store byte " << changed;
    }
}

// The ChunkRef that would carry the total past size is refused before any byte of it is copied.
TEST(AssembleEntry, CopiesNothingOfTheRefThatRunsLong) {
    Image image(STORE, {entryBytes("e", hashOf("0123"), 6, {{0, 4}, {20, 3}})});
    uint8_t buffer[6];
    std::memset(buffer, 0xEE, sizeof buffer);
    EXPECT_EQ(assembleEntry(image.regions(), findEntry(image.regions(), "e"), buffer), ASSEMBLY_OVERRUN);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 4), "0123");
    EXPECT_EQ(buffer[4], 0xEE);
    EXPECT_EQ(buffer[5], 0xEE);
}

// A list whose terminator is missing, or cut anywhere, is not read past directoryEnd.
TEST(AssembleEntry, AListRunningPastDirectoryEndIsUnterminated) {
    Image image(STORE, {entryBytes("e", hashOf("0123"), 4, {{0, 2}, {2, 2}}, false)});
    const size_t header = 2;
    for (size_t cut = header + ENTRY_HEADER_BYTES; cut <= image.directorySize; ++cut) {
        const PayloadRegions regions = image.regions(cut);
        // findEntry refuses such a directory; assembly keeps its own bound all the same.
        EXPECT_EQ(findEntry(regions, "e"), nullptr) << "cut " << cut;
        const uint8_t* entry = image.directory.get() + header;
        uint8_t buffer[4];
        EXPECT_EQ(assembleEntry(regions, entry, buffer), ASSEMBLY_UNTERMINATED) << "cut " << cut;
    }
}

// Entry 1 of a real layout: the store begins with it whole, its one ChunkRef (0, size) is a copy.
TEST(AssembleEntry, LaterEntriesReuseTheStoreOfEarlierOnes) {
    const std::string first = "0123456789abcdefghijklmnopqrstuvwxyz";
    const std::string second = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    const std::string store = first + "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    Image image(store, {entryBytes("bin/target_cl64", hashOf(first), 36, {{0, 36}}),
                        entryBytes("bin/target_cl32", hashOf(second), 36, {{0, 10}, {36, 26}})});
    for (const auto& [key, expected] : {std::pair{"bin/target_cl64", first}, std::pair{"bin/target_cl32", second}}) {
        const uint8_t* entry = findEntry(image.regions(), key);
        ASSERT_NE(entry, nullptr);
        std::vector<uint8_t> buffer(readEntrySize(entry));
        EXPECT_EQ(assembleEntry(image.regions(), entry, buffer.data()), ASSEMBLY_VERIFIED) << key;
        EXPECT_EQ(std::string(buffer.begin(), buffer.end()), expected) << key;
    }
}
