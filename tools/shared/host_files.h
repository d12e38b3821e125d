// The POSIX file steps both host tools take: opening a file to read, mapping it, writing one anew, and the
// one-line message that names the file and the system's reason.
#pragma once
#include <cerrno>
#include <cstdint>
#include <span>
#include <string>

namespace tools {

// "path: what: <the system's reason>", for errno or the error number given.
std::string systemError(const std::string& path, const char* what, int error = errno);

// Why openForReading gave no descriptor. errno keeps the system's reason for OPEN_FAILED and STAT_FAILED.
enum OpenFault { OPENED, OPEN_FAILED, STAT_FAILED, IS_FOLDER, NOT_REGULAR };

// Opens path read-only and returns its descriptor and size, or -1 and the fault when it cannot be opened or
// is not a regular file. O_NONBLOCK: a FIFO or a device in a file's place is refused at once instead of
// blocking the open; reads of a regular file ignore it.
int openForReading(const std::string& path, uint64_t& size, OpenFault& fault);

// A regular file mapped read-only and whole for the object's life (an empty file maps to no bytes).
// readable() says whether it could be read; if not, fault or mapFailed says which step failed, and error
// keeps that step's errno.
struct ReadOnlyFile {
    const uint8_t* data = nullptr;
    uint64_t size = 0;
    OpenFault fault = OPENED;
    bool mapFailed = false;
    int error = 0;

    // mapFlags join MAP_PRIVATE (MAP_POPULATE to take every page fault at once, here).
    explicit ReadOnlyFile(const std::string& path, int mapFlags = 0);
    ~ReadOnlyFile();
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
    bool readable() const { return fault == OPENED && !mapFailed; }
};

// Writes all of bytes to fd, in calls of at most 1 GiB (Linux writes at most about 2 GiB per call), again
// after EINTR. False with errno set on failure (ENOSPC for a write that wrote nothing).
bool writeAll(int fd, std::span<const uint8_t> bytes);

// Creates path anew for writing: whatever stood at its name (a stale temporary, a FIFO) is removed first, so
// the open neither blocks nor writes through someone else's file. -1 with errno set on failure.
int createFresh(const std::string& path);

// Writes bytes to a file created anew at path. On failure returns false and sets error to one line
// naming path ("cannot create" or "cannot write" and the reason).
bool writeNewFile(const std::string& path, std::span<const uint8_t> bytes, std::string& error);

}  // namespace tools
