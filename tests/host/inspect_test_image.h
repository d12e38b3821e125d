// A small PE32+ image built byte by byte around packed PayloadImage regions, laid out as mingw-w64's linker
// lays out the installer: headers, a .text section, then the payload section (descriptor, license, store,
// directory, each region on a 16-byte boundary), and optionally a certificate table appended at the end as
// a signing tool does. Offsets of every field are kept so that tests can damage exactly one.
#pragma once
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "payload/payload_format.h"

struct TestPe {
    std::vector<uint8_t> bytes;
    uint64_t peOffset = 0x40;
    uint64_t optionalOffset = 0;
    uint64_t sectionTable = 0;
    uint64_t payloadHeader = 0;  // the payload section's header in the section table
    uint64_t payloadRaw = 0;     // its first byte in the file
    uint64_t licenseAt = 0, storeAt = 0, directoryAt = 0;  // region offsets in the file
    uint64_t certificateAt = 0;
};

inline void putU16(std::vector<uint8_t>& b, uint64_t at, uint16_t v) { b[at] = uint8_t(v), b[at + 1] = uint8_t(v >> 8); }
inline void putU32(std::vector<uint8_t>& b, uint64_t at, uint32_t v) { writeU32(&b[at], v); }

// certificate: bytes to append as the certificate table (empty: unsigned).
inline TestPe makeTestPe(const std::vector<uint8_t>& license, const std::vector<uint8_t>& store,
                         const std::vector<uint8_t>& directory, const std::vector<uint8_t>& certificate = {}) {
    constexpr uint64_t FILE_ALIGNMENT = 0x200, OPTIONAL_BYTES = 240, SECTIONS = 2;
    TestPe pe;
    // The section's content: descriptor, then the three regions each on a 16-byte boundary.
    const uint64_t offsets[6] = {
        PAYLOAD_DESCRIPTOR_BYTES,
        PAYLOAD_DESCRIPTOR_BYTES + license.size(),
        alignUp(PAYLOAD_DESCRIPTOR_BYTES + license.size(), 16),
        alignUp(PAYLOAD_DESCRIPTOR_BYTES + license.size(), 16) + store.size(),
        alignUp(alignUp(PAYLOAD_DESCRIPTOR_BYTES + license.size(), 16) + store.size(), 16),
        alignUp(alignUp(PAYLOAD_DESCRIPTOR_BYTES + license.size(), 16) + store.size(), 16) + directory.size(),
    };
    std::vector<uint8_t> content(offsets[5]);
    std::memcpy(content.data(), PAYLOAD_DESCRIPTOR_MAGIC, PAYLOAD_DESCRIPTOR_MAGIC_BYTES);
    for (int i = 0; i < 6; ++i) putU32(content, PAYLOAD_DESCRIPTOR_MAGIC_BYTES + 4 * i, uint32_t(offsets[i]));
    if (!license.empty()) std::memcpy(&content[offsets[0]], license.data(), license.size());
    if (!store.empty()) std::memcpy(&content[offsets[2]], store.data(), store.size());
    if (!directory.empty()) std::memcpy(&content[offsets[4]], directory.data(), directory.size());

    pe.optionalOffset = pe.peOffset + 24;
    pe.sectionTable = pe.optionalOffset + OPTIONAL_BYTES;
    const uint64_t textRaw = alignUp(pe.sectionTable + SECTIONS * 40, FILE_ALIGNMENT);
    pe.payloadRaw = textRaw + FILE_ALIGNMENT;
    const uint64_t payloadRawBytes = alignUp(content.size(), FILE_ALIGNMENT);
    const uint64_t end = pe.payloadRaw + payloadRawBytes;
    pe.certificateAt = certificate.empty() ? 0 : alignUp(end, 8);
    pe.bytes.assign(certificate.empty() ? end : pe.certificateAt + certificate.size(), 0);
    std::vector<uint8_t>& b = pe.bytes;

    b[0] = 'M', b[1] = 'Z';
    putU32(b, 0x3C, uint32_t(pe.peOffset));
    std::memcpy(&b[pe.peOffset], "PE\0\0", 4);
    const uint64_t coff = pe.peOffset + 4;
    putU16(b, coff, 0x8664);
    putU16(b, coff + 2, SECTIONS);
    putU32(b, coff + 4, 1700000000);
    putU16(b, coff + 16, OPTIONAL_BYTES);
    putU16(b, coff + 18, 0x22);
    const uint64_t opt = pe.optionalOffset;
    putU16(b, opt, 0x20b);
    putU32(b, opt + 32, 0x1000);                    // SectionAlignment
    putU32(b, opt + 36, uint32_t(FILE_ALIGNMENT));  // FileAlignment
    putU32(b, opt + 108, 16);                       // NumberOfRvaAndSizes
    if (!certificate.empty()) {
        putU32(b, opt + 112 + 8 * 4, uint32_t(pe.certificateAt));
        putU32(b, opt + 112 + 8 * 4 + 4, uint32_t(certificate.size()));
        std::memcpy(&b[pe.certificateAt], certificate.data(), certificate.size());
    }
    auto section = [&](int i, const char* name, uint64_t virtualSize, uint64_t address, uint64_t raw, uint64_t rawBytes) {
        const uint64_t h = pe.sectionTable + 40 * uint64_t(i);
        std::memcpy(&b[h], name, std::strlen(name));
        putU32(b, h + 8, uint32_t(virtualSize));
        putU32(b, h + 12, uint32_t(address));
        putU32(b, h + 16, uint32_t(rawBytes));
        putU32(b, h + 20, uint32_t(raw));
        putU32(b, h + 36, 0x40000040);  // initialised data, readable
        return h;
    };
    section(0, ".text", 16, 0x1000, textRaw, FILE_ALIGNMENT);
    pe.payloadHeader = section(1, PAYLOAD_SECTION_NAME, content.size(), 0x2000, pe.payloadRaw, payloadRawBytes);
    std::memcpy(&b[pe.payloadRaw], content.data(), content.size());
    pe.licenseAt = pe.payloadRaw + offsets[0];
    pe.storeAt = pe.payloadRaw + offsets[2];
    pe.directoryAt = pe.payloadRaw + offsets[4];
    return pe;
}
