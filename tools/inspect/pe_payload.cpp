#include "tools/inspect/pe_payload.h"

#include <cstdio>
#include <cstring>

#include <memory>
#include "payload/payload_format.h"
#include "tools/shared/tool_messages.h"

namespace {

constexpr uint64_t DOS_HEADER_BYTES = 0x40;
constexpr uint64_t PE_SIGNATURE_BYTES = 4;  // "PE\0\0", then the COFF header
constexpr uint64_t COFF_HEADER_BYTES = 20;
constexpr uint64_t SECTION_HEADER_BYTES = 40;
constexpr uint64_t SECTION_NAME_BYTES = 8;
constexpr uint64_t DATA_DIRECTORY_BYTES = 8;
constexpr uint16_t PE32_MAGIC = 0x10b, PE32_PLUS_MAGIC = 0x20b;
constexpr uint32_t SECURITY_DIRECTORY = 4;

// The PE fields read here, each at its offset in its header and read only through the helper below it.
constexpr uint64_t DOS_PE_OFFSET_AT = 0x3C;             // u32 e_lfanew: where the PE signature lies
constexpr uint64_t COFF_SECTION_COUNT_AT = 2;           // u16 NumberOfSections
constexpr uint64_t COFF_TIME_DATE_STAMP_AT = 4;         // u32 TimeDateStamp
constexpr uint64_t COFF_OPTIONAL_BYTES_AT = 16;         // u16 SizeOfOptionalHeader
constexpr uint64_t OPTIONAL_MAGIC_AT = 0;               // u16 PE32_MAGIC or PE32_PLUS_MAGIC
constexpr uint64_t OPTIONAL_CHECKSUM_AT = 64;           // u32 CheckSum, the same in PE32 and PE32+
constexpr uint64_t OPTIONAL_DIRECTORY_COUNT_AT = 92;    // u32 NumberOfRvaAndSizes in PE32; the data directories follow
constexpr uint64_t OPTIONAL_PLUS_DIRECTORY_COUNT_AT = 108;  // ... in PE32+ (8-byte ImageBase, stack and heap sizes)
constexpr uint64_t DIRECTORY_ADDRESS_AT = 0;            // u32 VirtualAddress (the certificate table's: a file offset)
constexpr uint64_t DIRECTORY_SIZE_AT = 4;               // u32 Size
constexpr uint64_t SECTION_VIRTUAL_SIZE_AT = 8;         // u32 VirtualSize
constexpr uint64_t SECTION_RAW_BYTES_AT = 16;           // u32 SizeOfRawData
constexpr uint64_t SECTION_RAW_OFFSET_AT = 20;          // u32 PointerToRawData
static_assert(COFF_OPTIONAL_BYTES_AT + 2 <= COFF_HEADER_BYTES, "fields lie inside their headers");
static_assert(OPTIONAL_CHECKSUM_AT + 4 <= OPTIONAL_DIRECTORY_COUNT_AT, "fields lie inside their headers");
static_assert(DIRECTORY_SIZE_AT + 4 == DATA_DIRECTORY_BYTES, "fields lie inside their headers");
static_assert(SECTION_RAW_OFFSET_AT + 4 <= SECTION_HEADER_BYTES, "fields lie inside their headers");

uint16_t readU16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

uint32_t readDosPeOffset(const uint8_t* dos) { return readU32(dos + DOS_PE_OFFSET_AT); }
uint16_t readCoffSectionCount(const uint8_t* coff) { return readU16(coff + COFF_SECTION_COUNT_AT); }
uint32_t readCoffTimeDateStamp(const uint8_t* coff) { return readU32(coff + COFF_TIME_DATE_STAMP_AT); }
uint16_t readCoffOptionalBytes(const uint8_t* coff) { return readU16(coff + COFF_OPTIONAL_BYTES_AT); }
uint16_t readOptionalMagic(const uint8_t* optional) { return readU16(optional + OPTIONAL_MAGIC_AT); }
uint32_t readOptionalCheckSum(const uint8_t* optional) { return readU32(optional + OPTIONAL_CHECKSUM_AT); }
uint64_t directoryCountAt(uint16_t magic) {
    return magic == PE32_PLUS_MAGIC ? OPTIONAL_PLUS_DIRECTORY_COUNT_AT : OPTIONAL_DIRECTORY_COUNT_AT;
}
uint32_t readOptionalDirectoryCount(const uint8_t* optional, uint16_t magic) {
    return readU32(optional + directoryCountAt(magic));
}
uint32_t readDirectoryAddress(const uint8_t* entry) { return readU32(entry + DIRECTORY_ADDRESS_AT); }
uint32_t readDirectorySize(const uint8_t* entry) { return readU32(entry + DIRECTORY_SIZE_AT); }
uint32_t readSectionVirtualSize(const uint8_t* header) { return readU32(header + SECTION_VIRTUAL_SIZE_AT); }
uint32_t readSectionRawBytes(const uint8_t* header) { return readU32(header + SECTION_RAW_BYTES_AT); }
uint32_t readSectionRawOffset(const uint8_t* header) { return readU32(header + SECTION_RAW_OFFSET_AT); }

std::string hex(uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
    return text;
}

// Where the optional header's CheckSum field lies, or 0 when the file has no PE headers that far.
uint64_t checkSumOffset(std::span<const uint8_t> file) {
    if (file.size() < DOS_HEADER_BYTES || file[0] != 'M' || file[1] != 'Z') return 0;
    const uint64_t pe = readDosPeOffset(file.data());
    const uint64_t field = pe + PE_SIGNATURE_BYTES + COFF_HEADER_BYTES + OPTIONAL_CHECKSUM_AT;
    return field + 4 <= file.size() ? field : 0;
}

}  // namespace

std::string findPayloadImage(std::span<const uint8_t> file, PayloadImageView& view) {
    const uint8_t* base = file.data();
    const uint64_t size = file.size();
    if (size < 2 || base[0] != 'M' || base[1] != 'Z') return "not a PE executable (no MZ header)";
    if (size < DOS_HEADER_BYTES) return "not a PE executable: " + std::to_string(size) + " bytes, shorter than a DOS header";
    const uint64_t pe = readDosPeOffset(base);
    if (pe > size || size - pe < PE_SIGNATURE_BYTES + COFF_HEADER_BYTES)
        return "not a PE executable: the PE header offset " + hex(pe) + " lies past the end of the file";
    if (std::memcmp(base + pe, "PE\0\0", PE_SIGNATURE_BYTES) != 0)
        return "not a PE executable (no PE signature at " + hex(pe) + ")";
    const uint8_t* coff = base + pe + PE_SIGNATURE_BYTES;
    const uint64_t sectionCount = readCoffSectionCount(coff);
    const uint64_t optionalBytes = readCoffOptionalBytes(coff);
    const uint64_t optional = pe + PE_SIGNATURE_BYTES + COFF_HEADER_BYTES;
    if (optionalBytes < OPTIONAL_MAGIC_AT + 2 || optional + optionalBytes > size)
        return "truncated: the PE optional header runs past the end of the file";
    const uint16_t magic = readOptionalMagic(base + optional);
    if (magic != PE32_MAGIC && magic != PE32_PLUS_MAGIC)
        return "not a PE executable image (optional header magic " + hex(magic) + ")";
    view.timeDateStamp = readCoffTimeDateStamp(coff);
    view.checkSum = optionalBytes >= OPTIONAL_CHECKSUM_AT + 4 ? readOptionalCheckSum(base + optional) : 0;

    // The certificate table's entry holds a file offset, not an address.
    const uint64_t countAt = directoryCountAt(magic);
    view.certificateOffset = view.certificateBytes = 0;
    if (optionalBytes >= countAt + 4 && readOptionalDirectoryCount(base + optional, magic) > SECURITY_DIRECTORY) {
        const uint64_t entry = countAt + 4 + DATA_DIRECTORY_BYTES * SECURITY_DIRECTORY;  // after the u32 count
        if (optionalBytes >= entry + DATA_DIRECTORY_BYTES) {
            view.certificateOffset = readDirectoryAddress(base + optional + entry);
            view.certificateBytes = readDirectorySize(base + optional + entry);
        }
    }

    const uint64_t table = optional + optionalBytes;
    if (table + sectionCount * SECTION_HEADER_BYTES > size) return "truncated: the section table runs past the end of the file";
    const uint8_t* found = nullptr;
    for (uint64_t i = 0; i < sectionCount; ++i) {
        const uint8_t* header = base + table + i * SECTION_HEADER_BYTES;
        char name[SECTION_NAME_BYTES + 1] = {};
        std::memcpy(name, header, SECTION_NAME_BYTES);
        if (std::strcmp(name, PAYLOAD_SECTION_NAME) != 0) continue;
        if (found != nullptr) return "two " PAYLOAD_SECTION_NAME " sections: which one holds the PayloadImage is not clear";
        found = header;
    }
    if (found == nullptr) return "no PayloadImage: the executable has no " PAYLOAD_SECTION_NAME " section";

    const uint64_t virtualSize = readSectionVirtualSize(found);
    const uint64_t rawBytes = readSectionRawBytes(found);
    const uint64_t rawOffset = readSectionRawOffset(found);
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
