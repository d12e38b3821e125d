#include "tools/packer/image_writer.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "payload/payload_format.h"
#include "tools/packer/pack_error.h"

namespace packer {

namespace {

std::string quoted(const std::string& path) {
    std::string text = "\"";
    for (char c : path) {
        if (c == '"' || c == '\\') text += '\\';
        text += c;
    }
    return text + "\"";
}

std::string failure(const std::string& path, const char* what) { return path + ": " + what + ": " + std::strerror(errno); }

void makeFolders(const std::string& path) {
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        std::string prefix = path.substr(0, slash);
        if (::mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST) throw PackError(failure(prefix, "cannot create folder"));
        if (slash == std::string::npos) return;
    }
}

// Writes all of bytes to fd; false with errno set on failure.
bool writeAll(int fd, std::span<const uint8_t> bytes) {
    uint64_t done = 0;
    while (done < bytes.size()) {
        // Linux writes at most about 2 GiB per call.
        uint64_t chunk = bytes.size() - done < (1u << 30) ? bytes.size() - done : (1u << 30);
        ssize_t n = ::write(fd, bytes.data() + done, chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            return false;
        }
        done += uint64_t(n);
    }
    return true;
}

void writeWhole(const std::string& path, std::span<const uint8_t> bytes) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) throw PackError(failure(path, "cannot create"));
    if (!writeAll(fd, bytes)) {
        std::string message = failure(path, "cannot write");
        ::close(fd);
        throw PackError(message);
    }
    if (::close(fd) != 0) throw PackError(failure(path, "cannot write"));
}

const char* const NAMES[] = {PAYLOAD_LICENSE_REGION_FILE, PAYLOAD_STORE_REGION_FILE, PAYLOAD_DIRECTORY_REGION_FILE,
                             PAYLOAD_ASSEMBLY_FILE};

}  // namespace

std::string payloadImageAssembly(const std::string& licensePath, const std::string& storePath,
                                 const std::string& directoryPath) {
    const std::string align = "\t.balign " + std::to_string(PAYLOAD_REGION_ALIGNMENT) + ", 0\n";
    std::string text =
        "# The PayloadImage: license text, ChunkStore and PayloadDirectory, each on a 16-byte boundary\n"
        "# with zero fill between them, in a section of their own after a descriptor that tools read to find\n"
        "# them. Made by moravel-pack.\n"
        "\t.section " PAYLOAD_SECTION_NAME ",\"dr\"\n" +
        align + ".Lpayload_section:\n\t.ascii \"" PAYLOAD_DESCRIPTOR_MAGIC "\"\n";
    for (const char* symbol : PAYLOAD_SYMBOLS) text += std::string("\t.long ") + symbol + " - .Lpayload_section\n";
    const std::string* paths[] = {&licensePath, &storePath, &directoryPath};
    for (int region = 0; region < 3; ++region) {
        const std::string begin = PAYLOAD_SYMBOLS[2 * region], end = PAYLOAD_SYMBOLS[2 * region + 1];
        text += align;
        text += "\t.globl " + begin + "\n" + begin + ":\n";
        text += "\t.incbin " + quoted(*paths[region]) + "\n";
        text += "\t.globl " + end + "\n" + end + ":\n";
    }
    return text;
}

ImageWriter::ImageWriter(const std::string& outDir) {
    makeFolders(outDir);
    char resolved[PATH_MAX];
    if (::realpath(outDir.c_str(), resolved) == nullptr) throw PackError(failure(outDir, "cannot resolve"));
    dir_ = resolved;
    for (const char* name : NAMES) temporaries_.push_back(dir_ + "/." + name + ".partial");
    storeFd_ = ::open(temporaries_[1].c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (storeFd_ < 0) throw PackError(failure(temporaries_[1], "cannot create"));
}

ImageWriter::~ImageWriter() {
    if (storeFd_ >= 0) ::close(storeFd_);
    if (!committed_)
        for (const std::string& path : temporaries_) ::unlink(path.c_str());
}

void ImageWriter::appendStore(std::span<const uint8_t> bytes) {
    if (!writeAll(storeFd_, bytes)) throw PackError(failure(temporaries_[1], "cannot write"));
}

void ImageWriter::commit(std::span<const uint8_t> license, std::span<const uint8_t> directory) {
    int fd = storeFd_;
    storeFd_ = -1;
    if (::close(fd) != 0) throw PackError(failure(temporaries_[1], "cannot write"));
    std::string assembly = payloadImageAssembly(dir_ + "/" + NAMES[0], dir_ + "/" + NAMES[1], dir_ + "/" + NAMES[2]);
    writeWhole(temporaries_[0], license);
    writeWhole(temporaries_[2], directory);
    writeWhole(temporaries_[3],
               std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(assembly.data()), assembly.size()));
    // The assembler file goes last: the build treats it as the step's output, so it must be the newest.
    for (size_t i = 0; i < temporaries_.size(); ++i) {
        std::string final = dir_ + "/" + NAMES[i];
        if (::rename(temporaries_[i].c_str(), final.c_str()) != 0) throw PackError(failure(final, "cannot replace"));
    }
    committed_ = true;
}

}  // namespace packer
