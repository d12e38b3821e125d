// The per-entry work of verify and extract, on the worker threads.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <sys/mman.h>

#include "payload/payload_format.h"
#include "payload/payload_hash.h"
#include "tools/inspect/inspect_steps.h"
#include "tools/shared/host_files.h"
#include "tools/shared/thread_pool.h"
#include "tools/shared/tool_messages.h"

using tools::groupedDigits;
using tools::hex32;

namespace {

// A folder's file, mapped read-only for the comparison; problem says why it cannot be, naming the file.
struct FolderFile : tools::ReadOnlyFile {
    std::string problem;
    explicit FolderFile(const std::string& path) : ReadOnlyFile(path) {
        if (fault == tools::OPEN_FAILED)
            problem = tools::systemError(path, "cannot open", error);
        else if (mapFailed)
            problem = tools::systemError(path, "cannot read", error);
        else if (!readable())
            problem = path + ": cannot read: not a regular file";
    }
};

std::string sizeDifference(uint64_t size, const FolderFile& file, const std::string& path) {
    return "differs from " + path + ": " + groupedDigits(size) + " bytes in the installer, " + groupedDigits(file.size) +
           " in the folder";
}

uint64_t storeBytes(const PayloadImageView& image) { return uint64_t(image.regions.storeEnd - image.regions.storeBegin); }

std::string hashFault(const uint8_t* header, uint32_t size, uint32_t actual) {
    return "corrupted: the directory gives the hash " + hex32(readEntryHash(header)) + ", its " + groupedDigits(size) +
           " bytes hash to " + hex32(actual);
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
    const uint32_t size = readEntrySize(job.header);
    std::unique_ptr<FolderFile> file;
    InPlaceCheck check;
    if (!folder.empty()) {
        file = std::make_unique<FolderFile>(folder + "/" + job.key);
        if (!file->problem.empty()) {
            job.unreadable = true;
            job.fault = file->problem;
            return;
        }
        check.file = file.get();
    }
    const AssemblyResult result = visitChunkRefs(image.regions, job.header, hashAndCompare, &check);
    if (result != ASSEMBLY_VERIFIED) {
        job.corrupted = true;
        job.fault = "corrupted: " + tools::assemblyFault(result, size, storeBytes(image));
    } else if (check.hash != readEntryHash(job.header)) {
        job.corrupted = true;
        job.fault = hashFault(job.header, size, check.hash);
    } else if (file != nullptr && file->size != size) {
        job.corrupted = true;
        job.fault = sizeDifference(size, *file, folder + "/" + job.key);
    } else if (file != nullptr && check.firstDifference != UINT64_MAX) {
        job.corrupted = true;
        job.fault = "differs from " + folder + "/" + job.key + " from byte " + groupedDigits(check.firstDifference) + " on";
    }
}


// extract's work on one entry: assembleEntry itself, into the thread's buffer, then the bytes to a temporary
// file beside the entry's place under outFolder.
void assembleAndWrite(EntryJob& job, const PayloadImageView& image, const std::string& outFolder, const AssemblyBuffer& buffer,
                      uint64_t largest) {
    const uint32_t size = readEntrySize(job.header);
    if (buffer.get() == nullptr) {
        job.unreadable = true;
        job.fault = "cannot allocate " + groupedDigits(largest) + " bytes to assemble it in";
        return;
    }
    const AssemblyResult result = assembleEntry(image.regions, job.header, buffer.get());
    if (result != ASSEMBLY_VERIFIED) {
        job.corrupted = true;
        job.fault = result == ASSEMBLY_HASH_MISMATCH ? hashFault(job.header, size, payloadHash(buffer.get(), size))
                                                     : "corrupted: " + tools::assemblyFault(result, size, storeBytes(image));
        return;
    }
    const std::filesystem::path final = std::filesystem::path(outFolder) / job.key;
    job.temporary = (final.parent_path() / ("." + final.filename().string() + ".partial")).string();
    if (!tools::writeNewFile(job.temporary, {buffer.get(), size}, job.fault)) job.unreadable = true;
}

}  // namespace

void runEntryJobs(std::vector<EntryJob>& jobs, const PayloadImageView& image, CheckMode mode, const std::string& folder,
                  unsigned threads) {
    uint32_t largest = 0;
    for (const EntryJob& job : jobs)
        if (job.header != nullptr) largest = std::max(largest, readEntrySize(job.header));
    std::atomic<size_t> next{0};
    tools::runOnThreads(std::clamp<unsigned>(threads, 1, unsigned(jobs.size())), [&](unsigned) {
        // extract assembles into one buffer per thread for all its entries, so that pages are first touched once.
        std::optional<AssemblyBuffer> buffer;
        if (mode == CheckMode::EXTRACT) buffer.emplace(largest);
        for (size_t i; (i = next.fetch_add(1)) < jobs.size();) {
            if (jobs[i].header == nullptr) continue;
            if (mode == CheckMode::VERIFY)
                verifyInPlace(jobs[i], image, folder);
            else
                assembleAndWrite(jobs[i], image, folder, *buffer, largest);
        }
    });
}

std::string folderDifference(const uint8_t* bytes, uint64_t size, const std::string& path, bool& unreadable) {
    const FolderFile file(path);
    unreadable = !file.problem.empty();
    if (unreadable) return file.problem;
    if (file.size != size) return sizeDifference(size, file, path);
    if (size == 0 || std::memcmp(bytes, file.data, size) == 0) return {};
    const uint64_t at = uint64_t(std::mismatch(bytes, bytes + size, file.data).first - bytes);
    return "differs from " + path + " from byte " + groupedDigits(at) + " on";
}
