// moravel-unzstd FRAME.zst OUT: decodes one zstd frame with the installer's own decoder and writes its
// content to OUT. Exit status: 0 decoded, 1 a bad or truncated frame (one line names what is wrong), 2 usage,
// an input that cannot be read or an output that cannot be written. OUT appears only once whole: the content
// goes to a hidden file beside it, renamed over OUT at the end; no failure leaves that file behind.
#include <cstdio>
#include <memory>
#include <new>
#include <string>
#include <unistd.h>

#include "payload/zstd_decoder.h"
#include "tools/shared/host_files.h"
#include "tools/shared/tool_messages.h"

namespace {

int fail(int code, const std::string& line) {
    std::fprintf(stderr, "moravel-unzstd: %s\n", line.c_str());
    return code;
}

// Writes the whole content to ".NAME.partial" beside path, then renames it over path.
bool writeWhole(const std::string& path, const uint8_t* bytes, uint64_t size, std::string& error) {
    const size_t slash = path.rfind('/');
    const size_t nameAt = slash == std::string::npos ? 0 : slash + 1;
    const std::string temporary = path.substr(0, nameAt) + "." + path.substr(nameAt) + ".partial";
    if (!tools::writeNewFile(temporary, {bytes, size_t(size)}, error)) {
        ::unlink(temporary.c_str());
        return false;
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        error = tools::systemError(path, "cannot write");
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: moravel-unzstd FRAME.zst OUT\n"
                   "Exit status: 0 decoded, 1 bad or truncated frame, 2 usage or unreadable input.\n",
                   stderr);
        return 2;
    }
    const std::string framePath = argv[1];
    const tools::ReadOnlyFile input(framePath);
    if (!input.readable()) {
        const char* what = input.fault == tools::IS_FOLDER     ? "is a folder"
                           : input.fault == tools::NOT_REGULAR ? "is not a regular file"
                                                               : nullptr;
        return fail(2, what ? framePath + ": " + what : tools::systemError(framePath, "cannot read", input.error));
    }
    ZstdFrameHeader header;
    const ZstdResult read = zstdReadFrameHeader(input.data, input.size, header);
    if (read != ZSTD_DECODED) return fail(1, framePath + ": " + tools::zstdFault(read));
    // Each block (a 3-byte header and at least 1 byte of content) gives 128 KiB at most.
    if (header.contentSize / ZSTD_BLOCK_MAX > input.size / 4 + 1)
        return fail(1, framePath + ": the header's content size of " + tools::groupedDigits(header.contentSize) +
                           " bytes is more than a frame of this size can hold");
    std::unique_ptr<uint8_t[]> content(new (std::nothrow) uint8_t[header.contentSize == 0 ? 1 : header.contentSize]);
    if (!content) return fail(2, framePath + ": no memory for " + tools::groupedDigits(header.contentSize) + " bytes");
    auto workspace = std::make_unique<ZstdWorkspace>();
    const ZstdResult decoded = zstdDecodeFrame(*workspace, input.data, input.size, content.get(), header.contentSize);
    if (decoded != ZSTD_DECODED) return fail(1, framePath + ": " + tools::zstdFault(decoded));
    std::string error;
    if (!writeWhole(argv[2], content.get(), header.contentSize, error)) return fail(2, error);
    return 0;
}
