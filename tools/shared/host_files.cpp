#include "tools/shared/host_files.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tools {

std::string systemError(const std::string& path, const char* what, int error) {
    return path + ": " + what + ": " + std::strerror(error);
}

int openForReading(const std::string& path, uint64_t& size, OpenFault& fault) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        fault = OPEN_FAILED;
        return -1;
    }
    struct stat info;
    fault = ::fstat(fd, &info) != 0 ? STAT_FAILED
          : S_ISDIR(info.st_mode)   ? IS_FOLDER
          : !S_ISREG(info.st_mode)  ? NOT_REGULAR
                                    : OPENED;
    if (fault != OPENED) {
        const int reason = errno;
        ::close(fd);
        errno = reason;
        return -1;
    }
    size = uint64_t(info.st_size);
    return fd;
}

ReadOnlyFile::ReadOnlyFile(const std::string& path, int mapFlags) {
    int fd = openForReading(path, size, fault);
    if (fd < 0) {
        error = errno;
        size = 0;
        return;
    }
    if (size != 0) {
        void* address = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | mapFlags, fd, 0);
        if (address == MAP_FAILED) {
            mapFailed = true;
            error = errno;
        } else {
            data = static_cast<const uint8_t*>(address);
        }
    }
    ::close(fd);
}

ReadOnlyFile::~ReadOnlyFile() {
    if (data != nullptr) ::munmap(const_cast<uint8_t*>(data), size);
}

bool writeAll(int fd, std::span<const uint8_t> bytes) {
    uint64_t done = 0;
    while (done < bytes.size()) {
        const uint64_t chunk = bytes.size() - done < (1u << 30) ? bytes.size() - done : (1u << 30);
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

int createFresh(const std::string& path) {
    ::unlink(path.c_str());
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
}

bool writeNewFile(const std::string& path, std::span<const uint8_t> bytes, std::string& error) {
    int fd = createFresh(path);
    if (fd < 0) {
        error = systemError(path, "cannot create");
        return false;
    }
    if (!writeAll(fd, bytes)) {
        error = systemError(path, "cannot write");
        ::close(fd);
        return false;
    }
    if (::close(fd) != 0) {
        error = systemError(path, "cannot write");
        return false;
    }
    return true;
}

}  // namespace tools
