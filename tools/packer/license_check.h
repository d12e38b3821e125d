// Checks the license text: 7-bit printable ASCII (0x20..0x7E), lines broken by CR LF only, ending with CR LF.
#pragma once
#include <cstdint>
#include <span>
#include <string>

namespace packer {

struct LicenseFault {
    bool ok = true;
    uint64_t line = 0;    // 1-based line of the first bad byte
    uint64_t column = 0;  // 1-based column of that byte within its line
    std::string reason;
};

LicenseFault checkLicenseText(std::span<const uint8_t> text);

}  // namespace packer
