// The ChunkStore under construction: one contiguous run of memory holding file 1 followed by the literal
// runs appended so far, so that matches, comparisons and the final write see a single array.
#pragma once
#include <cstdint>

#include "tools/packer/payload_inputs.h"

namespace packer {

struct ChunkStore {
    uint8_t* bytes = nullptr;
    uint64_t length = 0;
    uint64_t capacity = 0;

    ChunkStore() = default;
    ChunkStore(const ChunkStore&) = delete;
    ChunkStore& operator=(const ChunkStore&) = delete;
    ~ChunkStore();

    // Places file 1 at offset 0 without copying it (its pages are mapped in place) and leaves room for
    // literalCapacity further bytes. Throws PackError if the address space cannot be had.
    void begin(const MappedFile& first, uint64_t literalCapacity);

    // Thrown by append when a run would carry the store past its capacity; length is where it would end.
    struct Full {
        uint64_t length;
    };

    // Appends a literal run and returns its offset. Throws Full, appending nothing, past literalCapacity.
    uint64_t append(const uint8_t* run, uint64_t count);

private:
    uint8_t* mapping = nullptr;  // the reservation; bytes lies within it
    uint64_t reserved = 0;
};

}  // namespace packer
