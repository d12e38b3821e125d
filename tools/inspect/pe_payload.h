// Finding the PayloadImage in a PE executable from the executable's own tables: the section table names the
// payload section, and the descriptor at its start gives the six addresses. Nothing is guessed or scanned
// for. A signature does not matter: it lives in the certificate table, after the sections.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "payload/compressed_payload.h"
#include "payload/entry_directory.h"

struct PayloadImageView {
    PayloadRegions regions;  // store and directory, as the installer's reader takes them (decoded, when the
                             // image is compressed and decodeCompressedImage has run)
    PayloadKind kind = PAYLOAD_RAW;
    PayloadRegions frames{};    // a compressed image's two frames, where they lie in the file
    DecodedSizes decoded{};     // ... what they decode to
    uint32_t level = 0;         // ... and the zstd level they were packed at
    const uint8_t* licenseBegin = nullptr;
    const uint8_t* licenseEnd = nullptr;
    uint64_t sectionFileOffset = 0;
    uint64_t sectionBytes = 0;       // the section's bytes in the file
    uint64_t certificateOffset = 0;  // the certificate table (an Authenticode signature); 0 bytes if unsigned
    uint64_t certificateBytes = 0;
    uint32_t timeDateStamp = 0;
    uint32_t checkSum = 0;
};

// Fills view and returns an empty string when file is a PE image with a readable PayloadImage; otherwise
// returns one line saying what is wrong (without the file's name). Reads nothing outside file.
std::string findPayloadImage(std::span<const uint8_t> file, PayloadImageView& view);

// A compressed image: decodes its two frames with the installer's decoder into block and points view.regions
// at the result. An empty string when they decode (or the image is raw), else one line naming the region.
std::string decodeCompressedImage(PayloadImageView& view, std::vector<uint8_t>& block);

// The PE checksum as the linker and the loader compute it, over file with its CheckSum field taken as 0.
uint32_t peChecksum(std::span<const uint8_t> file);
