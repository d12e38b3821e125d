#include "tools/packer/image_writer.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tools/packer/pack_error.h"

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

const char* const NAMES[] = {"license.bin", "chunkstore.bin", "directory.bin", "payload_image.S"};

}  // namespace

std::string payloadImageAssembly(const std::string& licensePath, const std::string& storePath,
                                 const std::string& directoryPath) {
    std::string text =
        "# The PayloadImage: license text, ChunkStore and PayloadDirectory, each on a 16-byte boundary\n"
        "# with zero fill between them. Made by moravel-pack.\n"
        "\t.section .rdata,\"dr\"\n";
    auto region = [&text](const char* begin, const char* end, const std::string& path) {
        text += "\t.balign 16, 0\n";
        text += std::string("\t.globl ") + begin + "\n" + begin + ":\n";
        text += "\t.incbin " + quoted(path) + "\n";
        text += std::string("\t.globl ") + end + "\n" + end + ":\n";
    };
    region("licenseTextBegin", "licenseTextEnd", licensePath);
    region("chunkStoreBegin", "chunkStoreEnd", storePath);
    region("directoryBegin", "directoryEnd", directoryPath);
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
