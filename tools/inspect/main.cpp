// moravel-inspect list SETUP.exe | verify SETUP.exe [PAYLOAD_FOLDER] | extract SETUP.exe OUT_FOLDER
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <thread>
#include <vector>

#include "tools/inspect/inspect.h"
#include "tools/shared/host_files.h"
#include "tools/shared/tool_messages.h"

using tools::groupedDigits;

namespace {

const char USAGE[] =
    "usage: moravel-inspect [--version] [--threads N] list SETUP.exe\n"
    "       moravel-inspect [--threads N] verify SETUP.exe [PAYLOAD_FOLDER]\n"
    "       moravel-inspect [--threads N] extract SETUP.exe OUT_FOLDER\n"
    "  list     the license's size and lines, then per entry its size, ChunkRefs, the store bytes it adds\n"
    "           and its hash (the packer's summary table), and a compressed image's frames and level\n"
    "  verify   finds, assembles and hash-checks every entry with the installer's own reader; with a\n"
    "           payload folder, also compares the license and every entry with its files byte for byte\n"
    "  extract  writes license.txt and bin/target_* under OUT_FOLDER once every entry has verified\n"
    "Exit status: 0 verified, 1 corrupted or different from the folder, 2 usage or unreadable input.\n";

int usage(FILE* to, int code) {
    std::fputs(USAGE, to);
    return code;
}

int unreadable(const std::string& path, const std::string& why) {
    std::fprintf(stderr, "moravel-inspect: %s: %s\n", path.c_str(), why.c_str());
    return INSPECT_UNREADABLE;
}

// Why the executable cannot be read, or empty; exe maps it whole for the life of the process.
std::string executableFault(const tools::ReadOnlyFile& exe) {
    switch (exe.fault) {
        case tools::OPEN_FAILED:
        case tools::STAT_FAILED: return std::strerror(exe.error);
        case tools::IS_FOLDER: return "is a folder, not an executable";
        case tools::NOT_REGULAR: return "not a regular file";
        default: break;
    }
    if (exe.size == 0) return "empty file, not a PE executable";
    if (exe.mapFailed) return std::string("cannot read: ") + std::strerror(exe.error);
    return {};
}

bool isFolder(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string describe(const PayloadImageView& image, const uint8_t* data, uint64_t fileSize) {
    char line[256];
    std::snprintf(line, sizeof line, "PayloadImage: %s bytes in section .payload at file offset 0x%llx; %s\n",
                  groupedDigits(image.sectionBytes).c_str(), static_cast<unsigned long long>(image.sectionFileOffset),
                  image.certificateBytes == 0 ? "unsigned"
                  : image.certificateOffset + image.certificateBytes <= fileSize
                      ? "signed (certificate table of its own after the sections)"
                      : "certificate table runs past the end of the file");
    std::string text = line;
    // What makes two builds of one commit identical or not: the stamp, and a checksum over the rest.
    const time_t stamp = time_t(image.timeDateStamp);
    char when[64] = "";
    std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S UTC", std::gmtime(&stamp));
    const uint32_t sum = peChecksum({data, fileSize});
    std::snprintf(line, sizeof line, "PE header: TimeDateStamp %u (%s), CheckSum 0x%08x (%s)\n", image.timeDateStamp,
                  when, image.checkSum, sum == image.checkSum ? "matches the file" : "the file sums to another");
    return text + line;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args;
    unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") return usage(stdout, 0);
        if (arg == "--version") {
            std::printf("moravel-inspect %s\n", MORAVEL_VERSION);
            return 0;
        }
        if (arg == "--threads" && i + 1 < argc) {
            char* end = nullptr;
            unsigned long n = std::strtoul(argv[++i], &end, 10);
            if (*end != 0 || n == 0 || n > 64) return usage(stderr, INSPECT_UNREADABLE);
            threads = unsigned(n);
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usage(stderr, INSPECT_UNREADABLE);
        } else {
            args.push_back(arg);
        }
    }
    if (args.size() < 2) return usage(stderr, INSPECT_UNREADABLE);
    const std::string& command = args[0];
    const std::string& path = args[1];
    const bool valid = (command == "list" && args.size() == 2) || (command == "verify" && args.size() <= 3) ||
                       (command == "extract" && args.size() == 3);
    if (!valid) return usage(stderr, INSPECT_UNREADABLE);
    for (size_t i = 1; i < args.size(); ++i)
        if (args[i].empty()) return usage(stderr, INSPECT_UNREADABLE);
    if (command == "verify" && args.size() == 3 && !isFolder(args[2]))
        return unreadable(args[2], "not a payload folder");

    // Populated at once: the workers then read it without taking page faults one by one.
    const tools::ReadOnlyFile exe(path, MAP_POPULATE);
    if (std::string why = executableFault(exe); !why.empty()) return unreadable(path, why);
    PayloadImageView image;
    if (std::string why = findPayloadImage({exe.data, exe.size}, image); !why.empty()) return unreadable(path, why);
    if (command == "list") std::fputs(describe(image, exe.data, exe.size).c_str(), stdout);
    // A compressed image is read as the installer reads it: decoded once, with the installer's decoder.
    std::vector<uint8_t> decoded;
    if (std::string why = decodeCompressedImage(image, decoded); !why.empty()) {
        std::fprintf(stderr, "moravel-inspect: %s\n", why.c_str());
        return INSPECT_CORRUPTED;
    }

    InspectResult result;
    if (command == "list") {
        result = listPayload(image);
    } else if (command == "verify") {
        result = verifyPayload(image, args.size() == 3 ? args[2] : std::string(), threads);
    } else {
        result = extractPayload(image, args[2], threads);
    }
    std::fputs(result.out.c_str(), stdout);
    std::fflush(stdout);
    // Every problem on a line of its own, prefixed like the tool's other messages.
    for (size_t begin = 0; begin < result.errors.size();) {
        size_t end = result.errors.find('\n', begin);
        std::fprintf(stderr, "moravel-inspect: %s\n", result.errors.substr(begin, end - begin).c_str());
        begin = end + 1;
    }
    return result.code;
}
