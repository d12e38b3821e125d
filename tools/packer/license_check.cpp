#include "tools/packer/license_check.h"

#include <cstdio>

namespace packer {

namespace {

LicenseFault fault(uint64_t line, uint64_t column, std::string reason) {
    return LicenseFault{false, line, column, std::move(reason)};
}

std::string byteName(uint8_t byte) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "0x%02X", byte);
    return buffer;
}

}  // namespace

LicenseFault checkLicenseText(std::span<const uint8_t> text) {
    uint64_t line = 1;
    uint64_t column = 1;
    for (size_t i = 0; i < text.size(); ++i) {
        uint8_t byte = text[i];
        if (byte == '\r') {
            if (i + 1 == text.size() || text[i + 1] != '\n')
                return fault(line, column, "carriage return not followed by a line feed");
            ++i;
            ++line;
            column = 1;
            continue;
        }
        if (byte == '\n') return fault(line, column, "line feed without a carriage return before it");
        if (byte < 0x20 || byte > 0x7E) return fault(line, column, "byte " + byteName(byte) + " is not printable 7-bit ASCII");
        ++column;
    }
    if (column != 1 || text.empty()) return fault(line, column, "the text does not end with CR LF");
    return LicenseFault{};
}

}  // namespace packer
