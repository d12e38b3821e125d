#include "tools/packer/chunk_store.h"

#include <cerrno>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

#include "tools/packer/pack_error.h"

namespace packer {

namespace {
uint64_t pageUp(uint64_t value, uint64_t page) { return (value + page - 1) / page * page; }
constexpr uint64_t HUGE_PAGE = 2u << 20;
}  // namespace

ChunkStore::~ChunkStore() {
    if (mapping != nullptr) ::munmap(mapping, reserved);
}

void ChunkStore::begin(const MappedFile& first, uint64_t literalCapacity) {
    const uint64_t page = uint64_t(::sysconf(_SC_PAGESIZE));
    const uint64_t fileSpan = pageUp(first.size, page);
    // On a 2 MiB boundary, so that file 1's large page-cache folios can be mapped whole: mapped page by page
    // the same bytes read several times slower where page walks are dear (under a hypervisor's shadow
    // page tables most of all).
    reserved = pageUp(fileSpan + pageUp(literalCapacity, page) + page, HUGE_PAGE) + HUGE_PAGE;
    void* base = ::mmap(nullptr, reserved, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (base == MAP_FAILED) throw PackError(first.path + ": cannot reserve memory for the ChunkStore: " + std::strerror(errno));
    mapping = static_cast<uint8_t*>(base);
    bytes = mapping + (pageUp(uintptr_t(mapping), HUGE_PAGE) - uintptr_t(mapping));
    // The literal runs are written once and read at random by the matcher: huge pages there too.
    ::madvise(bytes + fileSpan, reserved - (bytes - mapping) - fileSpan, MADV_HUGEPAGE);
    if (first.size != 0) {
        // Read-only first: populating a private writable mapping would copy every page.
        void* placed = ::mmap(bytes, fileSpan, PROT_READ, MAP_PRIVATE | MAP_FIXED | MAP_POPULATE, first.fd, 0);
        if (placed == MAP_FAILED) throw PackError(first.path + ": cannot map: " + std::strerror(errno));
        // The first literal bytes share file 1's last page; only that page becomes a private copy.
        if (::mprotect(bytes + fileSpan - page, page, PROT_READ | PROT_WRITE) != 0)
            throw PackError(first.path + ": cannot map: " + std::strerror(errno));
    }
    length = first.size;
    capacity = first.size + literalCapacity;
}

uint64_t ChunkStore::append(const uint8_t* run, uint64_t count) {
    if (count > capacity - length) throw Full{length + count};
    uint64_t offset = length;
    std::memcpy(bytes + length, run, count);
    length += count;
    return offset;
}

}  // namespace packer
