// Helpers for the dialog template tests: expected bytes spelled out field by field, and the template as written.
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "app/installer_state.h"

struct ExpectedBytes {
    std::vector<uint8_t> bytes;
    ExpectedBytes& u8(uint8_t v) { bytes.push_back(v); return *this; }
    ExpectedBytes& u16(uint16_t v) { return u8(uint8_t(v)).u8(uint8_t(v >> 8)); }
    ExpectedBytes& u32(uint32_t v) { return u16(uint16_t(v)).u16(uint16_t(v >> 16)); }
    ExpectedBytes& text(const std::u16string& s) {
        for (char16_t c : s) u16(c);
        return u16(0);
    }
};

inline std::vector<uint8_t> writtenBytes(uint64_t from, uint64_t to) {
    return std::vector<uint8_t>(state.templateBuffer + from, state.templateBuffer + to);
}

inline uint16_t itemCount() { return uint16_t(state.templateBuffer[16] | state.templateBuffer[17] << 8); }
