#include "tools/inspect/inspect.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <sys/mman.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "payload/payload_format.h"
#include "payload/payload_hash.h"
#include "tools/packer/license_check.h"
#include "tools/packer/summary_table.h"

using packer::checkLicenseText;
using packer::formatEntryTable;
using packer::groupedDigits;
using packer::LicenseFault;
using packer::PackSummary;

namespace {

std::string hex32(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", value);
    return text;
}

uint64_t lineBreaks(const uint8_t* begin, const uint8_t* end) {
    uint64_t count = 0;
    for (const uint8_t* p = begin; p + 1 < end; ++p) count += p[0] == '\r' && p[1] == '\n';
    return count;
}

std::string systemError(const std::string& path, const char* what) {
    return path + ": " + what + ": " + std::strerror(errno);
}

// A folder's file, mapped read-only for the comparison.
struct FolderFile {
    const uint8_t* data = nullptr;
    uint64_t size = 0;
    std::string error;  // why it cannot be read

    explicit FolderFile(const std::string& path) {
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) {
            error = systemError(path, "cannot open");
            return;
        }
        struct stat info;
        if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
            error = path + ": cannot read: not a regular file";
            ::close(fd);
            return;
        }
        size = uint64_t(info.st_size);
        if (size != 0) {
            void* address = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
            if (address == MAP_FAILED)
                error = systemError(path, "cannot read");
            else
                data = static_cast<const uint8_t*>(address);
        }
        ::close(fd);
    }
    ~FolderFile() {
        if (data != nullptr) ::munmap(const_cast<uint8_t*>(data), size);
    }
    FolderFile(const FolderFile&) = delete;
    FolderFile& operator=(const FolderFile&) = delete;
};

// How an image's bytes differ from a folder's file; empty when they are the same.
std::string difference(const uint8_t* bytes, uint64_t size, const FolderFile& file, const std::string& path) {
    if (file.size != size)
        return "differs from " + path + ": " + groupedDigits(size) + " bytes in the installer, " +
               groupedDigits(file.size) + " in the folder";
    if (size == 0 || std::memcmp(bytes, file.data, size) == 0) return {};
    const uint64_t at = uint64_t(std::mismatch(bytes, bytes + size, file.data).first - bytes);
    return "differs from " + path + " from byte " + groupedDigits(at) + " on";
}

bool writeWhole(const std::string& path, const uint8_t* bytes, uint64_t size, std::string& error) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = systemError(path, "cannot create");
        return false;
    }
    for (uint64_t done = 0; done < size;) {
        ssize_t n = ::write(fd, bytes + done, std::min<uint64_t>(size - done, 1u << 30));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            error = systemError(path, "cannot write");
            ::close(fd);
            return false;
        }
        done += uint64_t(n);
    }
    if (::close(fd) != 0) {
        error = systemError(path, "cannot write");
        return false;
    }
    return true;
}

std::string assemblyFault(AssemblyResult result, uint32_t size, const PayloadRegions& regions) {
    switch (result) {
        case ASSEMBLY_OVERRUN: return "its ChunkRefs add up to more than its size of " + groupedDigits(size) + " bytes";
        case ASSEMBLY_OUTSIDE_STORE:
            return "a ChunkRef names bytes past the end of the ChunkStore (" +
                   groupedDigits(uint64_t(regions.storeEnd - regions.storeBegin)) + " bytes)";
        case ASSEMBLY_UNTERMINATED: return "its ChunkRef list runs past the end of the directory";
        case ASSEMBLY_LENGTH_MISMATCH: return "its ChunkRefs add up to less than its size of " + groupedDigits(size) + " bytes";
        default: return "cannot be assembled";
    }
}

const char* readFault(EntryReadResult result) {
    switch (result) {
        case ENTRY_NAME_UNTERMINATED: return "its name has no NUL before the directory's end";
        case ENTRY_HEADER_TRUNCATED: return "its hash and size run past the directory's end";
        case ENTRY_REFS_UNTERMINATED: return "its ChunkRef list has no terminator before the directory's end";
        default: return "cannot be read";
    }
}

std::string entryName(const DirectoryEntryView& entry) {
    std::string name;
    for (uint64_t i = 0; i < entry.nameLength && i < 64; ++i) {
        const uint8_t c = entry.name[i];
        if (c >= 0x20 && c < 0x7F) {
            name += char(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            name += escaped;
        }
    }
    return entry.nameLength > 64 ? name + "..." : name;
}

// The directory as a whole: five entries in the fixed order, back to back, up to its end.
std::vector<std::string> directoryFaults(const PayloadRegions& regions) {
    std::vector<std::string> faults;
    const uint8_t* at = regions.directoryBegin;
    int count = 0;
    for (; at < regions.directoryEnd; ++count) {
        DirectoryEntryView entry;
        const EntryReadResult read = readEntry(regions, at, entry);
        if (read != ENTRY_READ) {
            faults.push_back("directory: entry " + std::to_string(count + 1) + " (at byte " +
                             groupedDigits(uint64_t(at - regions.directoryBegin)) + "): " + readFault(read));
            return faults;
        }
        const std::string name = entryName(entry);
        if (count >= PAYLOAD_ENTRY_COUNT)
            faults.push_back("directory: entry " + std::to_string(count + 1) + " \"" + name + "\" follows the fifth");
        else if (name != PAYLOAD_ENTRY_KEYS[count])
            faults.push_back("directory: entry " + std::to_string(count + 1) + " is \"" + name + "\" where \"" +
                             PAYLOAD_ENTRY_KEYS[count] + "\" belongs");
        at = entry.next;
    }
    if (count < PAYLOAD_ENTRY_COUNT) faults.push_back("directory: ends after " + std::to_string(count) + " entries of 5");
    return faults;
}

// An entry-sized buffer of anonymous memory in huge pages where the system gives them: a 307 MB buffer
// otherwise costs some 75,000 page faults on its first use.
struct AssemblyBuffer {
    uint8_t* bytes = nullptr;
    size_t mapped = 0;
    explicit AssemblyBuffer(uint64_t size) {
        constexpr size_t HUGE_PAGE = 2u << 20;
        mapped = size_t(alignUp(std::max<uint64_t>(size, 1), HUGE_PAGE));
        void* at = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (at == MAP_FAILED) return;
        ::madvise(at, mapped, MADV_HUGEPAGE);
        bytes = static_cast<uint8_t*>(at);
    }
    ~AssemblyBuffer() {
        if (bytes != nullptr) ::munmap(bytes, mapped);
    }
    AssemblyBuffer(const AssemblyBuffer&) = delete;
    AssemblyBuffer& operator=(const AssemblyBuffer&) = delete;
    uint8_t* get() const { return bytes; }
};

struct EntryJob {
    const char* key = nullptr;
    const uint8_t* header = nullptr;  // findEntry's answer
    bool corrupted = false, unreadable = false;
    std::string fault;
    std::string temporary;  // extract: the written file, not yet renamed
};

// Hashing the entry's bytes where they lie in the store, and comparing them with the folder's file, as
// visitChunkRefs hands them over in file order: the same bytes assembleEntry would copy, without the copy.
struct InPlaceCheck {
    uint32_t hash = PAYLOAD_HASH_EMPTY;
    const FolderFile* file = nullptr;
    uint64_t firstDifference = UINT64_MAX;
};

bool hashAndCompare(void* context, const ChunkVisit& chunk) {
    auto& check = *static_cast<InPlaceCheck*>(context);
    if (chunk.count == 0) return true;
    check.hash = payloadHashContinue(check.hash, chunk.bytes, chunk.count);
    if (check.file != nullptr && check.firstDifference == UINT64_MAX) {
        const uint64_t have = check.file->size > chunk.fileOffset ? check.file->size - chunk.fileOffset : 0;
        const uint64_t common = std::min(have, chunk.count);
        const uint8_t* theirs = check.file->data + chunk.fileOffset;
        if (common != 0 && std::memcmp(chunk.bytes, theirs, common) != 0)
            check.firstDifference = chunk.fileOffset + uint64_t(std::mismatch(chunk.bytes, chunk.bytes + common, theirs).first - chunk.bytes);
        else if (common < chunk.count)
            check.firstDifference = chunk.fileOffset + common;
    }
    return true;
}

// verify's check of one entry: every check of assembleEntry, in its order, through visitChunkRefs, and the
// hash by payloadHash's own code over the same bytes in the same order.
void verifyInPlace(EntryJob& job, const PayloadImageView& image, const std::string& folder) {
    const uint32_t size = readU32(job.header + 4);
    std::unique_ptr<FolderFile> file;
    InPlaceCheck check;
    if (!folder.empty()) {
        file = std::make_unique<FolderFile>(folder + "/" + job.key);
        if (!file->error.empty()) {
            job.unreadable = true;
            job.fault = file->error;
            return;
        }
        check.file = file.get();
    }
    const AssemblyResult result = visitChunkRefs(image.regions, job.header, hashAndCompare, &check);
    if (result != ASSEMBLY_VERIFIED) {
        job.corrupted = true;
        job.fault = "corrupted: " + assemblyFault(result, size, image.regions);
    } else if (check.hash != readU32(job.header)) {
        job.corrupted = true;
        job.fault = "corrupted: the directory gives the hash " + hex32(readU32(job.header)) + ", its " +
                    groupedDigits(size) + " bytes hash to " + hex32(check.hash);
    } else if (file != nullptr && file->size != size) {
        job.corrupted = true;
        job.fault = difference(nullptr, size, *file, folder + "/" + job.key);
    } else if (file != nullptr && check.firstDifference != UINT64_MAX) {
        job.corrupted = true;
        job.fault = "differs from " + folder + "/" + job.key + " from byte " + groupedDigits(check.firstDifference) + " on";
    }
}

// Verifies (and compares, or writes) each found entry on the worker threads.
void runJobs(std::vector<EntryJob>& jobs, const PayloadImageView& image, const std::string& folder,
             const std::string& outFolder, unsigned threads) {
    uint32_t largest = 0;
    for (const EntryJob& job : jobs)
        if (job.header != nullptr) largest = std::max(largest, readU32(job.header + 4));
    std::atomic<size_t> next{0};
    if (outFolder.empty()) {
        auto verify = [&] {
            for (size_t i; (i = next.fetch_add(1)) < jobs.size();)
                if (jobs[i].header != nullptr) verifyInPlace(jobs[i], image, folder);
        };
        const unsigned workers = std::clamp<unsigned>(threads, 1, unsigned(jobs.size()));
        std::vector<std::thread> pool;
        for (unsigned t = 1; t < workers; ++t) pool.emplace_back(verify);
        verify();
        for (std::thread& thread : pool) thread.join();
        return;
    }
    auto work = [&] {
        // extract runs assembleEntry itself, into one buffer per thread for all its entries, so that pages
        // are first touched once.
        AssemblyBuffer buffer(largest);
        for (size_t i; (i = next.fetch_add(1)) < jobs.size();) {
            EntryJob& job = jobs[i];
            if (job.header == nullptr) continue;
            const uint32_t size = readU32(job.header + 4);
            if (buffer.get() == nullptr) {
                job.unreadable = true;
                job.fault = "cannot allocate " + groupedDigits(largest) + " bytes to assemble it in";
                continue;
            }
            const AssemblyResult result = assembleEntry(image.regions, job.header, buffer.get());
            if (result == ASSEMBLY_HASH_MISMATCH) {
                job.corrupted = true;
                job.fault = "corrupted: the directory gives the hash " + hex32(readU32(job.header)) + ", its " +
                            groupedDigits(size) + " bytes hash to " + hex32(payloadHash(buffer.get(), size));
                continue;
            }
            if (result != ASSEMBLY_VERIFIED) {
                job.corrupted = true;
                job.fault = "corrupted: " + assemblyFault(result, size, image.regions);
                continue;
            }
            const std::filesystem::path final = std::filesystem::path(outFolder) / job.key;
            job.temporary = (final.parent_path() / ("." + final.filename().string() + ".partial")).string();
            if (!writeWhole(job.temporary, buffer.get(), size, job.fault)) job.unreadable = true;
        }
    };
    const unsigned workers = std::clamp<unsigned>(threads, 1, unsigned(jobs.size()));
    std::vector<std::thread> pool;
    for (unsigned t = 1; t < workers; ++t) pool.emplace_back(work);
    work();
    for (std::thread& thread : pool) thread.join();
}

InspectResult verifyOrExtract(const PayloadImageView& image, const std::string& folder, const std::string& outFolder,
                              unsigned threads) {
    InspectResult result;
    bool corrupted = false, unreadable = false;
    auto fail = [&](const std::string& line, bool isCorruption) {
        result.errors += line + "\n";
        (isCorruption ? corrupted : unreadable) = true;
    };
    for (const std::string& fault : directoryFaults(image.regions)) fail(fault, true);

    const uint64_t licenseBytes = uint64_t(image.licenseEnd - image.licenseBegin);
    // The license has no hash; what the packer would refuse in it is a corruption all the same.
    const LicenseFault license = checkLicenseText({image.licenseBegin, licenseBytes});
    if (!license.ok)
        fail(PAYLOAD_LICENSE_FILE ": corrupted: line " + std::to_string(license.line) + ", column " +
                 std::to_string(license.column) + ": " + license.reason, true);
    if (!folder.empty()) {
        const std::string path = folder + "/" PAYLOAD_LICENSE_FILE;
        FolderFile license(path);
        if (!license.error.empty())
            fail(license.error, false);
        else if (std::string d = difference(image.licenseBegin, licenseBytes, license, path); !d.empty())
            fail(PAYLOAD_LICENSE_FILE ": " + d, true);
    }
    std::string licenseTemporary;
    if (!outFolder.empty()) {
        for (const char* key : PAYLOAD_ENTRY_KEYS) {
            const std::filesystem::path parent = (std::filesystem::path(outFolder) / key).parent_path();
            std::error_code error;
            std::filesystem::create_directories(parent, error);
            if (error) {
                fail(parent.string() + ": cannot create folder: " + error.message(), false);
                break;
            }
        }
        std::string fault;
        licenseTemporary = outFolder + "/." PAYLOAD_LICENSE_FILE ".partial";
        if (!unreadable && !writeWhole(licenseTemporary, image.licenseBegin, licenseBytes, fault)) fail(fault, false);
    }

    std::vector<EntryJob> jobs(PAYLOAD_ENTRY_COUNT);
    for (int i = 0; i < PAYLOAD_ENTRY_COUNT; ++i) {
        jobs[i].key = PAYLOAD_ENTRY_KEYS[i];
        // The installer's own lookup: what it finds is what it would install.
        const EntryLookup found = lookupEntry(image.regions, jobs[i].key, jobs[i].header);
        if (found != LOOKUP_FOUND) {
            jobs[i].header = nullptr;
            jobs[i].corrupted = true;
            jobs[i].fault = found == LOOKUP_DUPLICATE ? "corrupted: named by two entries of the directory"
                          : found == LOOKUP_ABSENT    ? "corrupted: not in the directory"
                                                      : "corrupted: the directory cannot be walked to its end";
        }
    }
    if (!unreadable) runJobs(jobs, image, folder, outFolder, threads);

    uint64_t total = 0;
    for (const EntryJob& job : jobs) {
        if (job.corrupted || job.unreadable) {
            fail(std::string(job.key) + ": " + job.fault, job.corrupted);
            continue;
        }
        if (job.header == nullptr || unreadable) continue;
        const uint32_t size = readU32(job.header + 4);
        total += size;
        char line[160];
        std::snprintf(line, sizeof line, "%-18s %15s bytes  hash %s  verified%s\n", job.key, groupedDigits(size).c_str(),
                      hex32(readU32(job.header)).c_str(), folder.empty() ? "" : ", same as the folder's");
        result.out += line;
    }

    std::error_code ignored;
    if (corrupted || unreadable) {
        for (const EntryJob& job : jobs)
            if (!job.temporary.empty()) std::filesystem::remove(job.temporary, ignored);
        if (!licenseTemporary.empty()) std::filesystem::remove(licenseTemporary, ignored);
        result.code = corrupted ? INSPECT_CORRUPTED : INSPECT_UNREADABLE;
        return result;
    }
    if (!outFolder.empty()) {
        std::vector<std::pair<std::string, std::string>> renames = {{licenseTemporary, outFolder + "/" PAYLOAD_LICENSE_FILE}};
        for (const EntryJob& job : jobs) renames.emplace_back(job.temporary, outFolder + "/" + job.key);
        for (const auto& [from, to] : renames) {
            if (::rename(from.c_str(), to.c_str()) != 0) {
                result.errors += systemError(to, "cannot replace") + "\n";
                result.code = INSPECT_UNREADABLE;
                return result;
            }
        }
        result.out += "extracted " PAYLOAD_LICENSE_FILE " and the 5 entries (" + groupedDigits(total) + " bytes) to " +
                      outFolder + "\n";
        return result;
    }
    result.out += "verified: " PAYLOAD_LICENSE_FILE " (" + groupedDigits(licenseBytes) + " bytes) and the 5 entries (" +
                  groupedDigits(total) + " bytes), every hash as the directory gives it";
    result.out += folder.empty() ? "\n" : ", every byte as in " + folder + "\n";
    return result;
}

// Marks [begin, end) in a bitmap of store bytes and returns how many of those bits were clear.
uint64_t markNew(std::vector<uint64_t>& bits, uint64_t begin, uint64_t end) {
    uint64_t fresh = 0;
    while (begin < end && begin % 64 != 0) {
        uint64_t& word = bits[begin / 64];
        const uint64_t bit = 1ull << (begin % 64);
        fresh += (word & bit) == 0;
        word |= bit;
        ++begin;
    }
    for (; begin + 64 <= end; begin += 64) {
        uint64_t& word = bits[begin / 64];
        fresh += 64 - uint64_t(__builtin_popcountll(word));
        word = ~0ull;
    }
    for (; begin < end; ++begin) {
        uint64_t& word = bits[begin / 64];
        const uint64_t bit = 1ull << (begin % 64);
        fresh += (word & bit) == 0;
        word |= bit;
    }
    return fresh;
}

struct NewBytes {
    std::vector<uint64_t>* bits;
    uint64_t storeLength;
    uint64_t fresh;
};

bool countNew(void* context, const ChunkVisit& chunk) {
    auto& count = *static_cast<NewBytes*>(context);
    if (chunk.count != 0) count.fresh += markNew(*count.bits, chunk.storeOffset, chunk.storeOffset + chunk.count);
    return true;
}

}  // namespace

InspectResult listPayload(const PayloadImageView& image) {
    InspectResult result;
    const PayloadRegions& regions = image.regions;
    const uint64_t storeLength = uint64_t(regions.storeEnd - regions.storeBegin);
    result.out += PAYLOAD_LICENSE_FILE "  " + groupedDigits(uint64_t(image.licenseEnd - image.licenseBegin)) + " bytes, " +
                  groupedDigits(lineBreaks(image.licenseBegin, image.licenseEnd)) + " lines\n";
    PackSummary summary;
    summary.storeBytes = storeLength;
    summary.directoryBytes = uint64_t(regions.directoryEnd - regions.directoryBegin);
    std::vector<uint64_t> named((storeLength + 63) / 64);
    for (const uint8_t* at = regions.directoryBegin; at < regions.directoryEnd;) {
        DirectoryEntryView entry;
        const EntryReadResult read = readEntry(regions, at, entry);
        if (read != ENTRY_READ) {
            result.errors += "directory: entry " + std::to_string(summary.entries.size() + 1) + " (at byte " +
                             groupedDigits(uint64_t(at - regions.directoryBegin)) + "): " + readFault(read) + "\n";
            result.code = INSPECT_CORRUPTED;
            break;
        }
        // Bytes an entry adds to the store are those it is the first in the directory to name.
        NewBytes fresh{&named, storeLength, 0};
        const AssemblyResult listed = visitChunkRefs(regions, entry.header, countNew, &fresh);
        if (listed != ASSEMBLY_VERIFIED) {
            result.errors += entryName(entry) + ": corrupted: " + assemblyFault(listed, entry.size, regions) + "\n";
            result.code = INSPECT_CORRUPTED;
        }
        summary.entries.push_back({entryName(entry), entry.size, entry.refCount, fresh.fresh, entry.hash});
        at = entry.next;
    }
    result.out += formatEntryTable(summary);
    return result;
}

InspectResult verifyPayload(const PayloadImageView& image, const std::string& folder, unsigned threads) {
    return verifyOrExtract(image, folder, {}, threads);
}

InspectResult extractPayload(const PayloadImageView& image, const std::string& outFolder, unsigned threads) {
    return verifyOrExtract(image, {}, outFolder, threads);
}
