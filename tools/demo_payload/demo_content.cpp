#include "tools/demo_payload/demo_content.h"
#include "tools/demo_payload/demo_emitter.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

namespace {

// ---- Tables -----------------------------------------------------------------------------------------------

constexpr uint32_t NICE_FLOATS[16] = {
    0x00000000, 0x3F800000, 0x3F000000, 0x3E800000, 0x40000000, 0x42C80000, 0x469C4000, 0x41A00000,
    0xBF800000, 0x3F3504F3, 0x43DC0000, 0x42FE0000, 0x41400000, 0x447A0000, 0x3DCCCCCD, 0x41200000,
};

// Pointer tables (64-bit addresses rising in steps), unwind records (function ranges), parameter records.
void emitTable(Random& random, Emitter& e, uint64_t end) {
    uint64_t w = random.next();
    switch (w % 3) {
        case 0: {
            uint64_t address = 0x180000000ull + (random.below(1u << 24) & ~15ull);
            while (e.at < end) {
                e.put64(address);
                uint64_t step = random.next();
                address += 8 + ((step >> 4) & ((8u << (step & 7)) - 8));
            }
            break;
        }
        case 1: {
            uint32_t begin = 0x1000 + uint32_t(random.below(1u << 22)) * 16, unwind = begin + (1u << 23);
            while (e.at < end) {
                uint64_t step = random.next();
                uint32_t size = 16 + uint32_t((step & 15) < 12 ? (step >> 4) & 0xFF : (step >> 4) & 0xFFF);
                e.put32(begin), e.put32(begin + size), e.put32(unwind);
                begin = (begin + size + 15) & ~15u;
                unwind += 8 + 4 * uint32_t((step >> 20) & 7);
            }
            break;
        }
        default: {
            uint32_t id = uint32_t(random.below(1000)), name = uint32_t(random.below(1u << 20));
            while (e.at < end) {
                uint64_t step = random.next();
                e.put32(id++), e.put32(name);
                e.put(uint8_t(1 + step % 6)), e.put(uint8_t((step >> 4) & 3)), e.put16(uint32_t((step >> 8) % 21));
                e.put32(NICE_FLOATS[(step >> 16) & 15]);
                name += 8 + uint32_t((step >> 20) & 31);
            }
            break;
        }
    }
}

// ---- Strings ----------------------------------------------------------------------------------------------

constexpr const char* WORDS[64] = {
    "oscillator", "filter", "envelope", "cutoff",  "resonance", "attack",  "decay",  "sustain",
    "release",    "voice",  "preset",   "param",   "gain",      "pan",     "chorus", "reverb",
    "delay",      "unison", "detune",   "wave",    "sample",    "buffer",  "render", "process",
    "block",      "host",   "editor",   "window",  "knob",      "slider",  "label",  "font",
    "midi",       "note",   "velocity", "pitch",   "bend",      "mod",     "lfo",    "rate",
    "depth",      "sync",   "tempo",    "cannot",  "open",      "file",    "load",   "save",
    "invalid",    "value",  "range",    "memory",  "state",     "bank",    "channel", "input",
    "output",     "stereo", "level",    "noise",   "drive",     "phase",   "glide",  "feedback",
};

// Identifiers, messages and preset paths, NUL-terminated; a quarter of them in UTF-16.
void emitStrings(Random& random, Emitter& e, uint64_t end) {
    char text[160];
    while (e.at < end) {
        uint64_t w = random.next();
        const uint32_t style = w & 3, words = 2 + uint32_t((w >> 2) & 3) + (style == 1 ? 2 : 0);
        uint32_t n = 0;
        if (style == 2) n = uint32_t(std::strlen(std::strcpy(text, "presets/")));
        for (uint32_t k = 0; k < words; ++k) {
            const char* word = WORDS[(w >> (8 + 6 * k)) & 63];
            bool capital = style == 0 || style == 3 || (style == 2 ? true : k == 0);
            if (k > 0 && style != 0 && style != 3) text[n++] = ' ';
            for (uint32_t c = 0; word[c] != 0; ++c)
                text[n++] = c == 0 && capital ? char(word[c] - 'a' + 'A') : word[c];
        }
        uint32_t number = uint32_t(random.below(1000));
        if (style == 1) n += uint32_t(std::snprintf(text + n, 16, " (%u)", number));
        else if (style == 2) n += uint32_t(std::snprintf(text + n, 16, " %02u.mvp", number % 100));
        else if ((w >> 62) != 0) n += uint32_t(std::snprintf(text + n, 16, "%u", number));
        const bool wide = (w >> 60 & 3) == 0;
        for (uint32_t c = 0; c <= n; ++c) {
            e.put(c < n ? uint8_t(text[c]) : 0);
            if (wide) e.put(0);
        }
    }
}

// ---- Media ------------------------------------------------------------------------------------------------

// 16-bit stereo samples: a decaying sawtooth or triangle with a little noise, different on each side.
void emitSamples(Random& random, Emitter& e, uint64_t end) {
    uint64_t w = random.next();
    const uint32_t increment = 0x00200000 + uint32_t(random.below(0x02000000));
    const bool triangle = w & 1;
    const uint32_t noiseMask = (16u << ((w >> 1) & 3)) - 1;
    int32_t amplitude = 4000 + int32_t((w >> 8) % 24000);
    uint32_t phase = uint32_t(w >> 32), count = 0;
    uint64_t noise = 0;
    while (e.at < end) {
        int32_t saw = int32_t(phase >> 16) - 32768;
        int32_t wave = triangle ? 2 * (saw < 0 ? -saw : saw) - 32768 : saw;
        for (uint32_t side = 0; side < 2; ++side) {
            if (count++ % 4 == 0) noise = random.next();
            int32_t value = (wave * amplitude >> 15) + int32_t(noise & noiseMask) - int32_t(noiseMask / 2);
            noise >>= 16;
            e.put16(uint32_t(std::clamp(value, -32768, 32767)));
            wave = wave / 2 + (saw >> 1);
        }
        phase += increment;
        if ((count & 255) == 0) amplitude -= amplitude >> 6;
    }
}

// 32-bit BGRA pixels: gradients with noise under an opaque alpha.
void emitBitmap(Random& random, Emitter& e, uint64_t end) {
    uint64_t w = random.next();
    const uint32_t width = 64u << (w & 3);
    const int32_t base[3] = {int32_t((w >> 8) & 255), int32_t((w >> 16) & 255), int32_t((w >> 24) & 255)};
    const int32_t dx = int32_t((w >> 32) & 7) - 3, dy = int32_t((w >> 36) & 7) - 3;
    for (uint32_t pixel = 0; e.at < end; ++pixel) {
        const int32_t x = int32_t(pixel % width), y = int32_t(pixel / width);
        uint64_t noise = random.next();
        for (int c = 0; c < 3; ++c)
            e.put(uint8_t(base[c] + ((x * dx + y * dy) >> 3) + int32_t((noise >> (8 * c)) & 15)));
        e.put(0xFF);
    }
}

}  // namespace


// Segments of 8 to 128 KiB; by bytes about half code, an eighth each of tables, strings and samples, and a
// sixteenth each of bitmaps and already-compressed data (images, audio), which stays as random as it is.
void fillShared(Random& random, uint8_t* out, uint64_t count) {
    for (uint64_t at = 0; at < count;) {
        uint64_t w = random.next();
        uint64_t end = std::min(count, at + 8192 * (1 + (w & 15)));
        Emitter e{out, at, end};
        switch ((w >> 4) & 15) {
            case 0: case 1: case 2: case 3: case 4: case 5: case 6: case 7:
                fillCode(random, out + at, end - at);
                break;
            case 8: case 9:
                emitTable(random, e, end);
                break;
            case 10: case 11:
                emitStrings(random, e, end);
                break;
            case 12: case 13:
                emitSamples(random, e, end);
                break;
            case 14:
                emitBitmap(random, e, end);
                break;
            default:
                random.fill(out + at, end - at);
                break;
        }
        at = end;
    }
}
