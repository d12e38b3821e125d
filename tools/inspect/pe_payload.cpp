#include "tools/inspect/pe_payload.h"

#include <cstdio>
#include <cstring>

#include <memory>
#include "payload/payload_format.h"
#include "tools/shared/tool_messages.h"

namespace {

constexpr uint64_t DOS_HEADER_BYTES = 0x40;
constexpr uint64_t COFF_HEADER_BYTES = 20;
constexpr uint64_t SECTION_HEADER_BYTES = 40;
constexpr uint16_t PE32_MAGIC = 0x10b, PE32_PLUS_MAGIC = 0x20b;
constexpr uint32_t SECURITY_DIRECTORY = 4;

uint16_t readU16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

std::string hex(uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
    return text;
}

// Where the optional header's CheckSum field lies, or 0 when the file has no PE headers that far.
uint64_t checkSumOffset(std::span<const uint8_t> file) {
    if (file.size() < DOS_HEADER_BYTES || file[0] != 'M' || file[1] != 'Z') return 0;
    const uint64_t pe = readU32(file.data() + 0x3C);
    const uint64_t field = pe + 4 + COFF_HEADER_BYTES + 64;
    return field + 4 <= file.size() ? field : 0;
}

}  // namespace

std::string findPayloadImage(std::span<const uint8_t> file, PayloadImageView& view) {
    const uint8_t* base = file.data();
    const uint64_t size = file.size();
    if (size < 2 || base[0] != 'M' || base[1] != 'Z') return "not a PE executable (no MZ header)";
    if (size < DOS_HEADER_BYTES) return "not a PE executable: " + std::to_string(size) + " bytes, shorter than a DOS header";
    const uint64_t pe = readU32(base + 0x3C);
    if (pe > size || size - pe < 4 + COFF_HEADER_BYTES)
        return "not a PE executable: the PE header offset " + hex(pe) + " lies past the end of the file";
    if (std::memcmp(base + pe, "PE\0\0", 4) != 0) return "not a PE executable (no PE signature at " + hex(pe) + ")";
    const uint8_t* coff = base + pe + 4;
    const uint64_t sectionCount = readU16(coff + 2);
    const uint64_t optionalBytes = readU16(coff + 16);
    const uint64_t optional = pe + 4 + COFF_HEADER_BYTES;
    if (optionalBytes < 2 || optional + optionalBytes > size)
        return "truncated: the PE optional header runs past the end of the file";
    const uint16_t magic = readU16(base + optional);
    if (magic != PE32_MAGIC && magic != PE32_PLUS_MAGIC)
        return "not a PE executable image (optional header magic " + hex(magic) + ")";
    view.timeDateStamp = readU32(coff + 4);
    view.checkSum = optionalBytes >= 68 ? readU32(base + optional + 64) : 0;

    // The certificate table's entry holds a file offset, not an address.
    const uint64_t countAt = magic == PE32_PLUS_MAGIC ? 108 : 92;
    view.certificateOffset = view.certificateBytes = 0;
    if (optionalBytes >= countAt + 4 && readU32(base + optional + countAt) > SECURITY_DIRECTORY) {
        const uint64_t entry = countAt + 4 + 8 * SECURITY_DIRECTORY;
        if (optionalBytes >= entry + 8) {
            view.certificateOffset = readU32(base + optional + entry);
            view.certificateBytes = readU32(base + optional + entry + 4);
        }
    }

    const uint64_t table = optional + optionalBytes;
    if (table + sectionCount * SECTION_HEADER_BYTES > size) return "truncated: the section table runs past the end of the file";
    const uint8_t* found = nullptr;
    for (uint64_t i = 0; i < sectionCount; ++i) {
        const uint8_t* header = base + table + i * SECTION_HEADER_BYTES;
        char name[9] = {};
        std::memcpy(name, header, 8);
        if (std::strcmp(name, PAYLOAD_SECTION_NAME) != 0) continue;
        if (found != nullptr) return "two " PAYLOAD_SECTION_NAME " sections: which one holds the PayloadImage is not clear";
        found = header;
    }
    if (found == nullptr) return "no PayloadImage: the executable has no " PAYLOAD_SECTION_NAME " section";

    const uint64_t virtualSize = readU32(found + 8);
    const uint64_t rawBytes = readU32(found + 16);
    const uint64_t rawOffset = readU32(found + 20);
    if (rawOffset > size || rawBytes > size - rawOffset)
        return "truncated: the " PAYLOAD_SECTION_NAME " section takes file bytes " + hex(rawOffset) + " to " +
               hex(rawOffset + rawBytes) + ", the file ends at " + hex(size);
    // Bytes past SizeOfRawData would be zero in memory; the PayloadImage has none of those.
    const uint64_t bytes = virtualSize != 0 && virtualSize < rawBytes ? virtualSize : rawBytes;
    const uint8_t* descriptor = base + rawOffset;
    const PayloadKind kind = bytes < PAYLOAD_DESCRIPTOR_MAGIC_BYTES ? PAYLOAD_UNKNOWN : payloadKind(descriptor);
    const uint64_t descriptorBytes = kind == PAYLOAD_COMPRESSED ? PAYLOAD_DESCRIPTOR_ZSTD_BYTES : PAYLOAD_DESCRIPTOR_BYTES;
    if (kind == PAYLOAD_UNKNOWN || bytes < descriptorBytes)
        return "no PayloadImage: the " PAYLOAD_SECTION_NAME " section does not begin with its descriptor";
    uint64_t offsets[PAYLOAD_SYMBOL_COUNT];
    uint64_t previous = descriptorBytes;
    for (int i = 0; i < PAYLOAD_SYMBOL_COUNT; ++i) {
        offsets[i] = readU32(descriptor + DESCRIPTOR_OFFSETS + 4 * i);
        if (offsets[i] < previous || offsets[i] > bytes)
            return std::string("no readable PayloadImage: the descriptor puts ") + PAYLOAD_SYMBOLS[i] + " at " +
                   hex(offsets[i]) + ", outside " + hex(previous) + " to " + hex(bytes) + " of the section";
        previous = offsets[i];
    }
    const uint8_t* section = base + rawOffset;
    view.licenseBegin = section + offsets[0];
    view.licenseEnd = section + offsets[1];
    view.regions = {section + offsets[2], section + offsets[3], section + offsets[4], section + offsets[5]};
    view.sectionFileOffset = rawOffset;
    view.sectionBytes = bytes;
    view.kind = kind;
    if (kind == PAYLOAD_COMPRESSED) {
        view.frames = view.regions;
        view.decoded = decodedSizes(descriptor);
        view.level = readU32(descriptor + DESCRIPTOR_LEVEL);
    }
    return {};
}

std::string decodeCompressedImage(PayloadImageView& view, std::vector<uint8_t>& block) {
    if (view.kind != PAYLOAD_COMPRESSED) return {};
    block.resize(uint64_t(view.decoded.storeBytes) + view.decoded.directoryBytes);
    auto workspace = std::make_unique<ZstdWorkspace>();
    bool storeFailed = false;
    const ZstdResult result = decodePayload(*workspace, view.frames, view.decoded, block.data(), view.regions, storeFailed);
    if (result == ZSTD_DECODED) return {};
    return std::string(storeFailed ? PAYLOAD_STORE_REGION_FILE : PAYLOAD_DIRECTORY_REGION_FILE) +
           ": corrupted: " + tools::zstdFault(result);
}

uint32_t peChecksum(std::span<const uint8_t> file) {
    const uint64_t skip = checkSumOffset(file);
    uint64_t sum = 0;
    for (uint64_t i = 0; i < file.size(); i += 2) {
        uint64_t word = file[i] | (i + 1 < file.size() ? uint64_t(file[i + 1]) << 8 : 0);
        if (skip != 0 && (i == skip || i == skip + 2)) word = 0;
        sum += word;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return uint32_t(sum + file.size());
}
