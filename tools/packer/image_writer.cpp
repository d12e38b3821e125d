#include "tools/packer/image_writer.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

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

void writeWhole(const std::string& path, std::span<const uint8_t> bytes) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) throw PackError(failure(path, "cannot create"));
    uint64_t done = 0;
    while (done < bytes.size()) {
        // Linux writes at most about 2 GiB per call.
        uint64_t chunk = bytes.size() - done < (1u << 30) ? bytes.size() - done : (1u << 30);
        ssize_t n = ::write(fd, bytes.data() + done, chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            std::string message = failure(path, "cannot write");
            ::close(fd);
            throw PackError(message);
        }
        done += uint64_t(n);
    }
    if (::close(fd) != 0) throw PackError(failure(path, "cannot write"));
}

// Removes the temporaries it was told about unless they were all renamed into place.
struct Temporaries {
    std::vector<std::string> paths;
    bool kept = false;
    ~Temporaries() {
        if (!kept)
            for (const std::string& path : paths) ::unlink(path.c_str());
    }
};

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

void writePayloadImage(const std::string& outDir, std::span<const uint8_t> license, std::span<const uint8_t> store,
                       std::span<const uint8_t> directory) {
    makeFolders(outDir);
    char resolved[PATH_MAX];
    if (::realpath(outDir.c_str(), resolved) == nullptr) throw PackError(failure(outDir, "cannot resolve"));
    const std::string dir = resolved;
    const std::string names[] = {"license.bin", "chunkstore.bin", "directory.bin", "payload_image.S"};
    Temporaries temporaries;
    for (const std::string& name : names) temporaries.paths.push_back(dir + "/." + name + ".partial");

    std::string assembly = payloadImageAssembly(dir + "/" + names[0], dir + "/" + names[1], dir + "/" + names[2]);
    writeWhole(temporaries.paths[0], license);
    writeWhole(temporaries.paths[1], store);
    writeWhole(temporaries.paths[2], directory);
    writeWhole(temporaries.paths[3],
               std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(assembly.data()), assembly.size()));
    // The assembler file goes last: the build treats it as the step's output, so it must be the newest.
    for (size_t i = 0; i < 4; ++i) {
        std::string final = dir + "/" + names[i];
        if (::rename(temporaries.paths[i].c_str(), final.c_str()) != 0)
            throw PackError(failure(final, "cannot replace"));
    }
    temporaries.kept = true;
}
