// The demo content generators' writer, shared by demo_code.cpp and demo_content.cpp.
#pragma once
#include <cstdint>

// Writes bytes at out[at] while at < count and drops the rest, so a generator may overrun its segment.
struct Emitter {
    uint8_t* out;
    uint64_t at, count;

    bool full() const { return at >= count; }
    void put(uint8_t byte) {
        if (at < count) out[at] = byte;
        ++at;
    }
    void put16(uint32_t value) { put(uint8_t(value)), put(uint8_t(value >> 8)); }
    void put32(uint32_t value) { put16(value), put16(value >> 16); }
    void put64(uint64_t value) { put32(uint32_t(value)), put32(uint32_t(value >> 32)); }
};
