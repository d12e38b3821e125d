// moravel-pack [--quiet] [--threads N] [--index-entries N] [--compress[=LEVEL]] PAYLOAD_DIR OUT_DIR
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "tools/packer/pack_error.h"
#include "tools/packer/pack_payload.h"
#include "tools/packer/signal_cleanup.h"
#include "tools/packer/store_compressor.h"

using namespace packer;

namespace {

constexpr const char* USAGE =
    "usage: moravel-pack [--quiet] [--threads N] [--index-entries N] [--compress[=LEVEL]] PAYLOAD_DIR OUT_DIR\n"
    "  PAYLOAD_DIR holds license.txt and bin/target_cl64, bin/target_cl32, bin/target_fl64,\n"
    "  bin/target_fl32, bin/target_st64; OUT_DIR receives license.bin, chunkstore.bin,\n"
    "  directory.bin and payload_image.S (and summary.txt, the table\n"
    "  printed at the end). --index-entries bounds the sampled windows of the\n"
    "  store index (default 4194304); more find more short copies and cost time and memory.\n"
    "  --compress stores the ChunkStore and the directory as one zstd frame each, at LEVEL\n"
    "  (1 to 22, default 18); the installer decodes them once, at its first extraction.\n"
    "  --version prints the packer's version and the libzstd it compresses with.\n";

int usage(const char* problem = nullptr) {
    if (problem != nullptr) std::fprintf(stderr, "moravel-pack: %s\n", problem);
    std::fputs(USAGE, stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    bool quiet = false;
    unsigned threads = std::thread::hardware_concurrency();
    if (threads == 0) threads = 1;
    uint64_t indexEntries = PackOptions{}.maxIndexEntries;
    int compressionLevel = 0;
    std::string paths[2];
    int pathCount = 0;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(USAGE, stdout);
            return 0;
        } else if (arg == "--version") {
            std::printf("moravel-pack %s (%s)\n", MORAVEL_VERSION, compressorVersion().c_str());
            return 0;
        } else if (arg == "--compress") {
            compressionLevel = DEFAULT_COMPRESSION_LEVEL;
        } else if (arg.starts_with("--compress=")) {
            const std::string level = arg.substr(std::strlen("--compress="));
            char* end = nullptr;
            const long value = std::strtol(level.c_str(), &end, 10);
            if (level.empty() || *end != 0 || value < MIN_COMPRESSION_LEVEL || value > MAX_COMPRESSION_LEVEL)
                return usage(("--compress takes a level from 1 to 22, not '" + level + "'").c_str());
            compressionLevel = int(value);
        } else if (arg == "--quiet") {
            quiet = true;
        } else if (arg == "--threads" && i + 1 < argc) {
            threads = unsigned(std::strtoul(argv[++i], nullptr, 10));
            if (threads == 0) return usage();
        } else if (arg == "--index-entries" && i + 1 < argc) {
            indexEntries = std::strtoull(argv[++i], nullptr, 10);
            if (indexEntries < 1024 || indexEntries > (1ull << 28)) return usage();
        } else if (arg.starts_with("-") || pathCount == 2) {
            return usage();
        } else if (arg.empty()) {
            return usage(pathCount == 0 ? "PAYLOAD_DIR is an empty string" : "OUT_DIR is an empty string");
        } else {
            paths[pathCount++] = arg;
        }
    }
    if (pathCount != 2) return usage();

    Progress progress = Progress::forStderr(quiet);
    PackOptions options;
    options.threads = threads;
    options.maxIndexEntries = indexEntries;
    options.progress = &progress;
    options.compressionLevel = compressionLevel;
    installSignalCleanup();
    try {
        // The table is written beside the regions too (summary.txt), for builds that reuse them.
        PackSummary summary = packPayload(paths[0], paths[1], options);
        if (!quiet) std::fputs(formatSummary(summary).c_str(), stdout);
    } catch (const PackError& error) {
        progress.finish();
        std::fprintf(stderr, "moravel-pack: %s\n", error.what());
        return 1;
    }
    return 0;
}
