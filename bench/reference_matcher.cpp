// The yardstick for the packer's speed: the matching a plain delta tool does, written the direct way, on one
// thread, with nothing else around it (no hashes of the inputs, no self-check, no output written).
//   reference-matcher PAYLOAD_DIR
//
// File 1 is the store. Every 16th store offset is indexed by a hash of the 16 bytes there, in a direct-mapped
// table of 2^25 slots (the later offset wins). Each later file is scanned one position at a time: a hit that
// the bytes confirm is extended forward and becomes a copy; anything else is a literal byte. Literal runs are
// appended to the store and indexed, so later files can copy them too. It prints the time of the matching
// alone (the files are mapped before the clock starts) and the literal bytes, to compare with the packer's.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "payload/payload_format.h"

namespace {

constexpr uint64_t WINDOW = 16;
constexpr unsigned TABLE_BITS = 25;

struct Input {
    const uint8_t* data = nullptr;
    uint64_t size = 0;
};

Input mapInput(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0) {
        std::perror(path.c_str());
        std::exit(1);
    }
    Input input;
    input.size = uint64_t(info.st_size);
    if (input.size != 0) {
        void* at = ::mmap(nullptr, input.size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
        if (at == MAP_FAILED) {
            std::perror(path.c_str());
            std::exit(1);
        }
        input.data = static_cast<const uint8_t*>(at);
    }
    ::close(fd);
    return input;
}

uint64_t hashWindow(const uint8_t* at) {
    uint64_t a, b;
    std::memcpy(&a, at, 8);
    std::memcpy(&b, at + 8, 8);
    return (a * 0x9E3779B97F4A7C15ull ^ b) * 0xC2B2AE3D27D4EB4Full;
}

// Equal leading bytes of a and b, at most max, eight at a time.
uint64_t commonPrefix(const uint8_t* a, const uint8_t* b, uint64_t max) {
    uint64_t n = 0;
    for (; n + 8 <= max; n += 8) {
        uint64_t x, y;
        std::memcpy(&x, a + n, 8);
        std::memcpy(&y, b + n, 8);
        if (x != y) return n + uint64_t(__builtin_ctzll(x ^ y)) / 8;
    }
    while (n < max && a[n] == b[n]) ++n;
    return n;
}

// The store is file 1, read where it is mapped, followed by the literal runs kept in a vector of their own.
struct Matcher {
    Input first;
    std::vector<uint8_t> literals;
    std::vector<uint64_t> table = std::vector<uint64_t>(uint64_t(1) << TABLE_BITS);  // offset + 1, or 0
    uint64_t indexed = 0;  // store offsets below this are in the table

    uint64_t storeSize() const { return first.size + literals.size(); }
    // The store from offset on, and how many bytes follow it in the same part.
    const uint8_t* storeAt(uint64_t offset, uint64_t& contiguous) const {
        if (offset < first.size) {
            contiguous = first.size - offset;
            return first.data + offset;
        }
        contiguous = storeSize() - offset;
        return literals.data() + (offset - first.size);
    }

    void indexStore() {
        for (uint64_t contiguous; indexed + WINDOW <= storeSize(); indexed += WINDOW) {
            const uint8_t* at = storeAt(indexed, contiguous);
            if (contiguous >= WINDOW) table[hashWindow(at) >> (64 - TABLE_BITS)] = indexed + 1;
        }
    }

    // Returns the literal bytes of file.
    uint64_t match(const Input& file) {
        uint64_t literal = 0, runStart = 0, at = 0;
        auto endRun = [&](uint64_t end) {
            literals.insert(literals.end(), file.data + runStart, file.data + end);
            literal += end - runStart;
        };
        while (at + WINDOW <= file.size) {
            const uint64_t slot = table[hashWindow(file.data + at) >> (64 - TABLE_BITS)];
            uint64_t contiguous = 0;
            const uint8_t* from = slot != 0 ? storeAt(slot - 1, contiguous) : nullptr;
            if (contiguous >= WINDOW && std::memcmp(from, file.data + at, WINDOW) == 0) {
                const uint64_t length =
                    WINDOW + commonPrefix(from + WINDOW, file.data + at + WINDOW, std::min(contiguous, file.size - at) - WINDOW);
                if (at > runStart) {
                    endRun(at);
                    indexStore();
                }
                at += length;
                runStart = at;
            } else {
                ++at;
            }
        }
        if (file.size > runStart) endRun(file.size);
        indexStore();
        return literal;
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: reference-matcher PAYLOAD_DIR\n");
        return 2;
    }
    Input files[PAYLOAD_ENTRY_COUNT];
    for (int i = 0; i < PAYLOAD_ENTRY_COUNT; ++i) files[i] = mapInput(std::string(argv[1]) + "/" + PAYLOAD_ENTRY_KEYS[i]);

    const auto started = std::chrono::steady_clock::now();
    Matcher matcher;
    matcher.first = files[0];
    matcher.indexStore();
    uint64_t literal = 0;
    for (int i = 1; i < PAYLOAD_ENTRY_COUNT; ++i) literal += matcher.match(files[i]);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("reference matching: %.3f s, literal bytes %llu, store %llu bytes\n", seconds,
                (unsigned long long)literal, (unsigned long long)matcher.storeSize());
    return 0;
}
