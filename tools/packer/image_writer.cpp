#include "tools/packer/image_writer.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "payload/payload_format.h"
#include "tools/packer/pack_error.h"
#include "tools/packer/signal_cleanup.h"
#include "tools/shared/host_files.h"

namespace packer {

namespace {

// A string for the assembler: printable ASCII as it is but for quote and backslash, every other byte (a
// newline, a tab, UTF-8) as an octal escape, so that no path can end the string or the line early.
std::string quoted(const std::string& path) {
    std::string text = "\"";
    for (unsigned char c : path) {
        if (c == '"' || c == '\\') {
            text += '\\';
            text += char(c);
        } else if (c < 0x20 || c > 0x7E) {
            const char octal[] = {'\\', char('0' + (c >> 6)), char('0' + ((c >> 3) & 7)), char('0' + (c & 7)), 0};
            text += octal;
        } else {
            text += char(c);
        }
    }
    return text + "\"";
}

using tools::systemError;

void makeFolders(const std::string& path) {
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        std::string prefix = path.substr(0, slash);
        if (::mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST) throw PackError(systemError(prefix, "cannot create folder"));
        if (slash == std::string::npos) return;
    }
}

// A temporary is made anew (tools::createFresh), never written through whatever stood at its name.
int createTemporary(const std::string& path) {
    int fd = tools::createFresh(path);
    if (fd < 0) throw PackError(systemError(path, "cannot create"));
    return fd;
}

void writeWhole(const std::string& path, std::span<const uint8_t> bytes) {
    std::string error;
    if (!tools::writeNewFile(path, bytes, error)) throw PackError(error);
}

// In the order they are renamed into place; the assembler file goes last (see commit).
const char* const NAMES[] = {PAYLOAD_LICENSE_REGION_FILE, PAYLOAD_STORE_REGION_FILE, PAYLOAD_DIRECTORY_REGION_FILE,
                             PACK_SUMMARY_FILE, PAYLOAD_ASSEMBLY_FILE};
enum { LICENSE, STORE, DIRECTORY, SUMMARY, ASSEMBLY };

// Puts temporary in place of final. Where final exists, the two are exchanged and the old file, now at the
// temporary's name, is removed: a plain rename over a file makes ext4 allocate and start writing all of the
// new file's blocks inside the rename (its guard for programs that replace files without fsync), a few
// tenths of a second for a ChunkStore. Either way final names a complete file at every moment.
bool replaceFile(const std::string& temporary, const std::string& final) {
    if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, final.c_str(), RENAME_EXCHANGE) == 0) {
        ::unlink(temporary.c_str());
        return true;
    }
    return ::rename(temporary.c_str(), final.c_str()) == 0;
}

}  // namespace

std::string payloadImageAssembly(const std::string& licensePath, const std::string& storePath,
                                 const std::string& directoryPath, const StoreEncoding& encoding) {
    const bool compressed = encoding.level != 0;
    const std::string align = "\t.balign " + std::to_string(PAYLOAD_REGION_ALIGNMENT) + ", 0\n";
    std::string text =
        "# The PayloadImage: license text, ChunkStore and PayloadDirectory, each on a 16-byte boundary\n"
        "# with zero fill between them, in a section of their own after a descriptor that tools read to find\n"
        "# them. Made by moravel-pack.\n"
        "\t.section " PAYLOAD_SECTION_NAME ",\"dr\"\n" +
        align + "\t.globl " PAYLOAD_DESCRIPTOR_SYMBOL "\n" PAYLOAD_DESCRIPTOR_SYMBOL ":\n\t.ascii \"" +
        (compressed ? PAYLOAD_DESCRIPTOR_MAGIC_ZSTD : PAYLOAD_DESCRIPTOR_MAGIC) + "\"\n";
    for (const char* symbol : PAYLOAD_SYMBOLS)
        text += std::string("\t.long ") + symbol + " - " PAYLOAD_DESCRIPTOR_SYMBOL "\n";
    if (compressed) {
        for (uint64_t field : {encoding.storeBytes, encoding.directoryBytes, uint64_t(encoding.level)})
            text += "\t.long " + std::to_string(field) + "\n";
    }
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

uint64_t payloadImageBytes(uint64_t licenseBytes, uint64_t storeBytes, uint64_t directoryBytes, bool compressed) {
    const uint64_t descriptor = compressed ? PAYLOAD_DESCRIPTOR_ZSTD_BYTES : PAYLOAD_DESCRIPTOR_BYTES;
    uint64_t at = alignUp(descriptor, PAYLOAD_REGION_ALIGNMENT) + licenseBytes;
    at = alignUp(at, PAYLOAD_REGION_ALIGNMENT) + storeBytes;
    return alignUp(at, PAYLOAD_REGION_ALIGNMENT) + directoryBytes;
}

ImageWriter::ImageWriter(const std::string& outDir) {
    makeFolders(outDir);
    char resolved[PATH_MAX];
    if (::realpath(outDir.c_str(), resolved) == nullptr) throw PackError(systemError(outDir, "cannot resolve"));
    dir_ = resolved;
    // One writer per folder: the temporaries have fixed names, and two runs would write one file between them.
    // The lock goes with the descriptor, so a run that is killed never leaves it behind.
    lockFd_ = ::open(dir_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (lockFd_ < 0) throw PackError(systemError(outDir, "cannot open folder"));
    if (::flock(lockFd_, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK) throw PackError("another moravel-pack is writing " + outDir);
        throw PackError(systemError(outDir, "cannot lock folder"));
    }
    for (const char* name : NAMES) temporaries_.push_back(dir_ + "/." + name + ".partial");
    for (const std::string& path : temporaries_) registerTemporary(path.c_str());
    storeFd_ = createTemporary(temporaries_[STORE]);
}

ImageWriter::~ImageWriter() {
    if (storeFd_ >= 0) ::close(storeFd_);
    for (const std::string& path : temporaries_) {
        if (!committed_) ::unlink(path.c_str());
        unregisterTemporary(path.c_str());
    }
    if (lockFd_ >= 0) ::close(lockFd_);
}

void ImageWriter::appendStore(std::span<const uint8_t> bytes) {
    if (!tools::writeAll(storeFd_, bytes)) throw PackError(systemError(temporaries_[STORE], "cannot write"));
}

void ImageWriter::appendStoreFrom(int fd, uint64_t size, const std::string& path) {
    off_t from = 0;
    while (uint64_t(from) < size) {
        const uint64_t left = size - uint64_t(from);
        ssize_t n = ::copy_file_range(fd, &from, storeFd_, nullptr, left < (1u << 30) ? left : (1u << 30), 0);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && from == 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
            // A file system or kernel without in-kernel copies: write the bytes through memory instead.
            std::vector<uint8_t> buffer(1u << 20);
            for (uint64_t done = 0; done < size; done += n) {
                n = ::pread(fd, buffer.data(), std::min<uint64_t>(buffer.size(), size - done), off_t(done));
                if (n < 0 && errno == EINTR) n = 0;
                else if (n <= 0) throw PackError(n == 0 ? path + ": changed while it was being read" : systemError(path, "cannot read"));
                else appendStore(std::span<const uint8_t>(buffer.data(), size_t(n)));
            }
            return;
        }
        if (n < 0) throw PackError(systemError(temporaries_[STORE], "cannot write"));
        if (n == 0) throw PackError(path + ": changed while it was being read");
    }
}

void ImageWriter::commit(std::span<const uint8_t> license, std::span<const uint8_t> directory, const std::string& summary,
                         const StoreEncoding& encoding) {
    int fd = storeFd_;
    storeFd_ = -1;
    if (::close(fd) != 0) throw PackError(systemError(temporaries_[STORE], "cannot write"));
    auto text = [](const std::string& s) { return std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(s.data()), s.size()); };
    const std::string assembly = payloadImageAssembly(dir_ + "/" + NAMES[LICENSE], dir_ + "/" + NAMES[STORE],
                                                      dir_ + "/" + NAMES[DIRECTORY], encoding);
    writeWhole(temporaries_[LICENSE], license);
    writeWhole(temporaries_[DIRECTORY], directory);
    writeWhole(temporaries_[SUMMARY], text(summary));
    writeWhole(temporaries_[ASSEMBLY], text(assembly));
    // The assembler file goes last: the build treats it as the step's output, so it must be the newest.
    // A stop signal waits until all are renamed, so that an interrupted run never leaves old and new
    // regions side by side (the packer's threads have all ended by now).
    sigset_t stops, before;
    sigemptyset(&stops);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&stops, signal);
    ::pthread_sigmask(SIG_BLOCK, &stops, &before);
    for (size_t i = 0; i < temporaries_.size(); ++i) {
        std::string final = dir_ + "/" + NAMES[i];
        if (!replaceFile(temporaries_[i], final)) {
            const std::string message = systemError(final, "cannot replace");
            ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
            throw PackError(message);
        }
    }
    committed_ = true;
    ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
}

}  // namespace packer
