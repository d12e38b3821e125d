// libFuzzer target for the packer in-process: five related files made from the input are packed into a
// scratch folder, then read back from the files it wrote with the installer's reader (findEntry,
// assembleEntry): every entry must be found once and assemble to its input byte for byte. The packer's own
// self-check runs too; a PackError on good inputs is a fault.
// Input: the first file, then edit instructions (3 bytes each: kind and position) that derive files 2 to 5.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "payload/entry_directory.h"
#include "payload/payload_format.h"
#include "tests/fuzz/fuzz_check.h"
#include "tools/packer/pack_error.h"
#include "tools/packer/pack_payload.h"

using namespace packer;

namespace {

using Bytes = std::vector<uint8_t>;

void writeFile(const std::filesystem::path& path, const Bytes& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

Bytes readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Files 2 to 5: each takes the previous one and applies a share of the edits (change, insert, delete,
// repeat a block), so that they share long runs with file 1 and with each other's literal bytes.
std::vector<Bytes> relatedFiles(const uint8_t* data, size_t size) {
    const size_t firstSize = size / 2;
    std::vector<Bytes> files{Bytes(data, data + firstSize)};
    const uint8_t* edits = data + firstSize;
    const size_t editCount = (size - firstSize) / 3;
    for (int f = 1; f < PAYLOAD_ENTRY_COUNT; ++f) {
        Bytes file = files[f - 1];
        for (size_t e = (f - 1) * editCount / 4; e < f * editCount / 4; ++e) {
            const uint8_t kind = edits[3 * e] & 3, value = edits[3 * e + 1];
            const size_t at = file.empty() ? 0 : (size_t(edits[3 * e + 2]) << 4 | edits[3 * e] >> 4) % file.size();
            if (kind == 0 && !file.empty()) file[at] = value;
            if (kind == 1) file.insert(file.begin() + at, value);
            if (kind == 2 && !file.empty()) file.erase(file.begin() + at, file.begin() + std::min(file.size(), at + value % 32 + 1));
            if (kind == 3) {
                const size_t length = std::min<size_t>(file.size() - at, value * 4);
                Bytes block(file.begin() + at, file.begin() + at + length);
                file.insert(file.end(), block.begin(), block.end());
            }
        }
        files.push_back(std::move(file));
    }
    return files;
}

const std::filesystem::path& scratch() {
    static const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("moravel-packer-fuzz-" + std::to_string(::getpid()));
    static const bool removedAtExit = [] {
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        });
        return true;
    }();
    (void)removedAtExit;
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 16)) return 0;
    const std::vector<Bytes> files = relatedFiles(data, size);
    const std::filesystem::path in = scratch() / "in", out = scratch() / "out";
    writeFile(in / PAYLOAD_LICENSE_FILE, Bytes{'O', 'K', '\r', '\n'});
    for (int i = 0; i < PAYLOAD_ENTRY_COUNT; ++i) writeFile(in / PAYLOAD_ENTRY_KEYS[i], files[i]);

    PackOptions options;
    options.threads = 1 + (size & 1);  // both ways of writing file 1 to the store
    options.maxIndexEntries = 1024;
    try {
        packPayload(in, out, options);
    } catch (const PackError& error) {
        FUZZ_CHECK(false, "packing inputs that are always good failed: %s", error.what());
    }

    const Bytes store = readFile(out / PAYLOAD_STORE_REGION_FILE), directory = readFile(out / PAYLOAD_DIRECTORY_REGION_FILE);
    const PayloadRegions regions = {store.data(), store.data() + store.size(), directory.data(),
                                    directory.data() + directory.size()};
    for (int i = 0; i < PAYLOAD_ENTRY_COUNT; ++i) {
        const uint8_t* entry = findEntry(regions, PAYLOAD_ENTRY_KEYS[i]);
        FUZZ_CHECK(entry != nullptr && readEntrySize(entry) == files[i].size(), "entry %s not found, or of another size",
                   PAYLOAD_ENTRY_KEYS[i]);
        Bytes assembled(files[i].size());
        const AssemblyResult result = assembleEntry(regions, entry, assembled.data());
        FUZZ_CHECK(result == ASSEMBLY_VERIFIED && assembled == files[i], "entry %s: assembly result %d, or other bytes",
                   PAYLOAD_ENTRY_KEYS[i], int(result));
    }
    return 0;
}
