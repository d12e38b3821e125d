#include "tools/packer/store_index.h"

#include <algorithm>
#include <bit>
#include <sys/mman.h>

#include "tools/packer/pack_error.h"

namespace packer {

StoreIndex::~StoreIndex() {
    if (slots != nullptr) ::munmap(slots, mapped);
}

void StoreIndex::reserve(uint64_t expectedLength, uint64_t maxEntries) {
    step = 1;
    while (expectedLength / step > maxEntries) step *= 2;
    uint64_t entries = std::min(expectedLength / step + 1, maxEntries);
    slotCount = std::bit_ceil(entries);
    if (slotCount < 1024) slotCount = 1024;
    shift = unsigned(64 - std::countr_zero(slotCount));
    mapped = slotCount * sizeof(uint64_t);
    // Fresh anonymous pages are zero; huge pages keep the random probes from missing the TLB every time.
    void* table = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (table == MAP_FAILED) throw PackError("cannot allocate the store index");
    ::madvise(table, mapped, MADV_HUGEPAGE);
    slots = static_cast<uint64_t*>(table);
    nextOffset = 0;
}

void StoreIndex::extend(const uint8_t* store, uint64_t length) {
    if (length < WINDOW || nextOffset > length - WINDOW) return;
    uint64_t last = (length - WINDOW) / step * step;
    uint64_t first = nextOffset;
    nextOffset = last + step;
    // Filling from the top down lets the lowest offset write last. On the first (large) call the table is
    // empty, so the stores need not read their slots and the probes overlap freely.
    if (first == 0) {
        for (uint64_t offset = last + step; offset > first;) {
            offset -= step;
            uint64_t hash = windowHash(store + offset);
            *slotFor(hash) = uint64_t(uint32_t(hash)) << 32 | (offset + 1);
        }
        return;
    }
    for (uint64_t offset = last + step; offset > first;) {
        offset -= step;
        uint64_t hash = windowHash(store + offset);
        uint64_t* slot = slotFor(hash);
        if (*slot == 0 || uint32_t(*slot) - 1 >= first) *slot = uint64_t(uint32_t(hash)) << 32 | (offset + 1);
    }
}

}  // namespace packer
