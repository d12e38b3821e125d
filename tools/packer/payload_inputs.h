// The packer's inputs: the license text read into memory and the five payload files mapped read-only.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "payload/payload_format.h"

namespace packer {

struct PackLimits {
    uint64_t maxFileSize = 0xFFFFFFFFull;   // a DirectoryEntry's size is a u32
    uint64_t maxStoreSize = 0xFFFFFFFFull;  // every offset + count of a ChunkRef must fit a u32
    uint64_t maxImageSize = PAYLOAD_IMAGE_MAX_BYTES;  // the .payload section, all regions together
};

struct MappedFile {
    std::string path;
    const uint8_t* data = nullptr;
    uint64_t size = 0;
    int fd = -1;
};

struct PayloadInputs {
    std::string licensePath;
    std::vector<uint8_t> license;
    std::array<MappedFile, PAYLOAD_ENTRY_COUNT> files;  // in directory order

    PayloadInputs() = default;
    PayloadInputs(const PayloadInputs&) = delete;
    PayloadInputs& operator=(const PayloadInputs&) = delete;
    ~PayloadInputs();
};

// Reads PAYLOAD_DIR/license.txt (checked) and maps PAYLOAD_DIR/<key> for each EntryKey.
// Throws PackError naming the file for a missing, unreadable or oversized file or a bad license byte.
std::unique_ptr<PayloadInputs> loadPayloadInputs(const std::string& payloadDir, const PackLimits& limits);

}  // namespace packer
