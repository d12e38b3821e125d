// moravel-unzstd FRAME.zst OUT: decodes one zstd frame with the installer's own decoder and writes its
// content to OUT. Exit status: 0 decoded, 1 a bad or truncated frame (one line names what is wrong), 2 usage,
// an input that cannot be read or an output that cannot be written. OUT appears only once whole: the content
// goes to a hidden file beside it, renamed over OUT at the end; no failure leaves that file behind.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "payload/zstd_decoder.h"

namespace {

int fail(int code, const std::string& what, const std::string& why) {
    std::fprintf(stderr, "moravel-unzstd: %s: %s\n", what.c_str(), why.c_str());
    return code;
}

const char* describe(ZstdResult result) {
    switch (result) {
        case ZSTD_DECODED: return "decoded";
        case ZSTD_TRUNCATED: return "truncated: the input ends before the frame does";
        case ZSTD_MALFORMED: return "malformed: not a zstd frame, corrupt content, or bytes after the frame";
        case ZSTD_UNSUPPORTED: return "unsupported: a dictionary id, or no content size in the header";
        case ZSTD_SIZE_MISMATCH: return "the blocks decode to another size than the header's content size";
        case ZSTD_CHECKSUM_MISMATCH: return "the content checksum differs";
    }
    return "unknown result";
}

// The input, mapped read-only (an empty file maps nothing).
struct Input {
    const uint8_t* data = nullptr;
    uint64_t size = 0;
    std::string error;
    explicit Input(const char* path) {
        const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        struct stat info;
        if (fd < 0 || ::fstat(fd, &info) != 0) {
            error = std::strerror(errno);
        } else if (!S_ISREG(info.st_mode)) {
            error = "not a regular file";
        } else if (info.st_size > 0) {
            void* at = ::mmap(nullptr, size_t(info.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
            if (at == MAP_FAILED) error = std::strerror(errno);
            else data = static_cast<const uint8_t*>(at), size = uint64_t(info.st_size);
        }
        if (fd >= 0) ::close(fd);
    }
    ~Input() {
        if (data) ::munmap(const_cast<uint8_t*>(data), size);
    }
};

// Writes the whole block to a new hidden file beside path and renames it over path.
std::string writeWhole(const std::string& path, const uint8_t* bytes, uint64_t size) {
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string temporary = folder + "." + name + ".XXXXXX.partial";
    const int fd = ::mkstemps(temporary.data(), 8);
    if (fd < 0) return std::strerror(errno);
    std::string error;
    for (uint64_t done = 0; done < size && error.empty();) {
        const ssize_t n = ::write(fd, bytes + done, size - done);
        if (n < 0 && errno != EINTR) error = std::strerror(errno);
        if (n > 0) done += uint64_t(n);
    }
    if (error.empty() && ::fchmod(fd, 0644) != 0) error = std::strerror(errno);
    if (::close(fd) != 0 && error.empty()) error = std::strerror(errno);
    if (error.empty() && ::rename(temporary.c_str(), path.c_str()) != 0) error = std::strerror(errno);
    if (!error.empty()) ::unlink(temporary.c_str());
    return error;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: moravel-unzstd FRAME.zst OUT\n"
                   "Exit status: 0 decoded, 1 bad or truncated frame, 2 usage or unreadable input.\n",
                   stderr);
        return 2;
    }
    const Input input(argv[1]);
    if (!input.error.empty()) return fail(2, argv[1], input.error);
    ZstdFrameHeader header;
    const ZstdResult read = zstdReadFrameHeader(input.data, input.size, header);
    if (read != ZSTD_DECODED) return fail(1, argv[1], describe(read));
    // Every block header (3 bytes) and its content (1 byte at least, for an RLE block) gives 128 KiB at most.
    if (header.contentSize / ZSTD_BLOCK_MAX > input.size / 4 + 1)
        return fail(1, argv[1], "the header's content size of " + std::to_string(header.contentSize) +
                                    " bytes is more than a frame of this size can hold");
    std::unique_ptr<uint8_t[]> content(new (std::nothrow) uint8_t[header.contentSize == 0 ? 1 : header.contentSize]);
    if (!content) return fail(2, argv[1], "no memory for " + std::to_string(header.contentSize) + " bytes");
    auto workspace = std::make_unique<ZstdWorkspace>();
    const ZstdResult decoded = zstdDecodeFrame(*workspace, input.data, input.size, content.get(), header.contentSize);
    if (decoded != ZSTD_DECODED) return fail(1, argv[1], describe(decoded));
    const std::string written = writeWhole(argv[2], content.get(), header.contentSize);
    if (!written.empty()) return fail(2, argv[2], written);
    return 0;
}
