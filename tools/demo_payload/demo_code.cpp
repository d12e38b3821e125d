// Machine code for the demo builds: x86-64 functions with the opcode mix, displacements and idioms of
// optimised code (see demo_content.h for what must stay novel).
#include <algorithm>
#include <array>
#include <cstring>

#include "tools/demo_payload/demo_content.h"
#include "tools/demo_payload/demo_emitter.h"

namespace {

// ---- Machine code ----------------------------------------------------------------------------------------

// How an instruction's operands follow its opcode bytes.
enum Form : uint8_t {
    Plain,      // the opcode bytes only
    RegReg,     // ModRM with two registers
    Memory,     // ModRM [base + disp8]
    Far,        // ModRM [base + disp32], a field far into a structure
    Stack,      // ModRM + SIB [rsp + disp8]
    StackImm,   // [rsp + disp8], imm32
    RipRel,     // ModRM [rip + disp32]
    Rel32,      // call / jmp rel32
    Rel8,       // jmp rel8
    Jcc8,       // 7x rel8
    Jcc32,      // 0F 8x rel32
    GroupImm8,  // ModRM with an operation digit, imm8
    MovImm32,   // B8+r imm32
};

struct Template {
    uint8_t weight;
    Form form;
    uint8_t size;
    uint8_t bytes[5];  // a leading 0x48 is a REX.W prefix that takes the high register bits
};

// Roughly the mix of optimised x64 code with some scalar floating point, as in a synthesizer's DSP code.
constexpr Template TEMPLATES[] = {
    {22, Memory, 2, {0x48, 0x8B}},  {12, Memory, 2, {0x48, 0x89}},   {12, Memory, 1, {0x8B}},
    {8, Memory, 1, {0x89}},         {10, Stack, 2, {0x48, 0x8B}},    {8, Stack, 2, {0x48, 0x89}},
    {14, RegReg, 2, {0x48, 0x8B}},  {8, RegReg, 1, {0x8B}},          {8, Memory, 2, {0x48, 0x8D}},
    {6, RipRel, 2, {0x48, 0x8D}},   {4, RipRel, 2, {0x48, 0x8B}},    {14, Rel32, 1, {0xE8}},
    {3, Rel32, 2, {0xFF, 0x15}},    {14, Jcc8, 0, {}},               {5, Rel8, 1, {0xEB}},
    {4, Jcc32, 1, {0x0F}},          {3, Rel32, 1, {0xE9}},           {8, RegReg, 1, {0x85}},
    {4, RegReg, 2, {0x48, 0x85}},   {6, GroupImm8, 1, {0x83}},       {8, GroupImm8, 2, {0x48, 0x83}},
    {5, RegReg, 1, {0x33}},         {4, RegReg, 1, {0x3B}},          {4, RegReg, 1, {0x03}},
    {4, Memory, 2, {0x0F, 0xB6}},   {8, MovImm32, 0, {}},            {6, StackImm, 1, {0xC7}},
    {2, RegReg, 2, {0x0F, 0xAF}},   {3, GroupImm8, 2, {0x48, 0xC1}}, {8, Memory, 3, {0xF3, 0x0F, 0x10}},
    {5, Memory, 3, {0xF3, 0x0F, 0x11}}, {6, RegReg, 3, {0xF3, 0x0F, 0x59}}, {6, RegReg, 3, {0xF3, 0x0F, 0x58}},
    {3, RegReg, 3, {0xF3, 0x0F, 0x5C}}, {3, RipRel, 3, {0xF3, 0x0F, 0x59}}, {4, RegReg, 2, {0x0F, 0x28}},
    {2, RegReg, 2, {0x0F, 0x57}},   {3, Memory, 2, {0x0F, 0x10}},    {2, RegReg, 3, {0xF3, 0x0F, 0x2A}},
    {2, RegReg, 2, {0x0F, 0x2F}},   {2, Plain, 4, {0x0F, 0x1F, 0x40, 0x00}}, {2, RegReg, 2, {0x48, 0x63}},
    {10, Far, 2, {0x48, 0x8B}},     {6, Far, 1, {0x8B}},             {5, Far, 2, {0x48, 0x89}},
    {3, Far, 3, {0xF3, 0x0F, 0x10}}, {3, Plain, 5, {0x0F, 0x1F, 0x44, 0x00, 0x00}}, {4, Plain, 2, {0x33, 0xC0}},
    {4, Plain, 2, {0x85, 0xC0}},
};

// 256 slots, each template in proportion to its weight: one random byte picks an instruction.
const std::array<uint8_t, 256> TEMPLATE_SLOTS = [] {
    std::array<uint8_t, 256> slots{};
    uint32_t total = 0;
    for (const Template& t : TEMPLATES) total += t.weight;
    uint32_t cumulative = 0, slot = 0;
    for (uint32_t i = 0; i < std::size(TEMPLATES); ++i) {
        cumulative += TEMPLATES[i].weight;
        for (; slot < 256 && slot * total < cumulative * 256; ++slot) slots[slot] = uint8_t(i);
    }
    return slots;
}();

// Sixteen-entry tables indexed by four random bits: repeated values make the common ones common.
constexpr uint8_t REGISTERS[16] = {0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 3, 3, 6, 7, 8};   // never rsp
constexpr uint8_t BASES[16] = {1, 1, 1, 1, 3, 3, 3, 6, 6, 7, 0, 2, 5, 1, 3, 8};       // never rsp or r12
constexpr uint8_t DISPLACEMENTS[16] = {0x08, 0x08, 0x08, 0x10, 0x10, 0x10, 0x18, 0x18,
                                       0x20, 0x20, 0x28, 0x30, 0x38, 0x40, 0x48, 0x58};
constexpr uint8_t STACK_SLOTS[16] = {0x20, 0x20, 0x28, 0x28, 0x30, 0x30, 0x38, 0x40,
                                     0x48, 0x50, 0x58, 0x60, 0x68, 0x70, 0x78, 0x40};
constexpr uint8_t CONDITIONS[16] = {4, 5, 4, 5, 4, 5, 0xC, 0xD, 0xE, 0xF, 2, 3, 6, 7, 8, 9};
constexpr uint8_t DIGITS[16] = {0, 0, 5, 5, 7, 7, 7, 4, 1, 6, 0, 5, 7, 0, 5, 7};
constexpr uint8_t IMMEDIATES[16] = {1, 2, 4, 8, 0x10, 0x20, 0x28, 0x30, 0x38, 0x40, 0x48, 0x58, 0x68, 0x78, 0x7F, 0xFF};
constexpr uint8_t REL32_BITS[16] = {4, 6, 8, 8, 10, 10, 10, 12, 12, 12, 12, 14, 14, 14, 16, 16};
constexpr uint8_t FRAMES[16] = {0x20, 0x28, 0x30, 0x38, 0x40, 0x48, 0x50, 0x58, 0x60, 0x68, 0x70, 0x78, 0x28, 0x38, 0x48, 0x58};
constexpr uint8_t SAVED[6][2] = {{0x53}, {0x56}, {0x57}, {0x55}, {0x41, 0x54}, {0x41, 0x56}};  // push; pop is +8

// A call or branch offset: mostly near, the high bytes 00 or FF. bits holds at least 28 random bits.
uint32_t offset32(uint64_t bits) {
    uint32_t magnitude = uint32_t(bits >> 5) & ((1u << REL32_BITS[bits & 15]) - 1);
    return (bits & 16) ? 0u - magnitude : magnitude;
}

// One instruction of template t; w supplies the random bits.
void emitInstruction(Emitter& e, const Template& t, uint64_t w) {
    uint8_t reg = REGISTERS[(w >> 8) & 15], rm = REGISTERS[(w >> 12) & 15];
    if (t.form == Memory) rm = BASES[(w >> 12) & 15];
    if (t.form == Stack || t.form == StackImm || t.form == RipRel) rm = 0;
    bool rex = t.size > 0 && t.bytes[0] == 0x48;
    if (!rex) reg &= 7, rm &= 7;
    for (uint8_t i = 0; i < t.size; ++i)
        e.put(i == 0 && rex ? uint8_t(0x48 | (reg >> 3) << 2 | (rm >> 3)) : t.bytes[i]);
    const uint64_t high = w >> 24;  // 40 bits for offsets and immediates
    const uint8_t r = uint8_t((reg & 7) << 3), b = uint8_t(rm & 7);
    switch (t.form) {
        case Plain:
            break;
        case RegReg:
            e.put(uint8_t(0xC0 | r | b));
            break;
        case Memory:
            e.put(uint8_t(0x40 | r | b)), e.put(DISPLACEMENTS[(w >> 16) & 15]);
            break;
        case Far:
            e.put(uint8_t(0x80 | r | b)), e.put32(0x80 + 8 * (uint32_t(high) & 0x1FF));
            break;
        case Stack:
            e.put(uint8_t(0x44 | r)), e.put(0x24), e.put(STACK_SLOTS[(w >> 16) & 15]);
            break;
        case StackImm:
            e.put(0x44), e.put(0x24), e.put(STACK_SLOTS[(w >> 16) & 15]);
            e.put32((high & 3) == 0 ? uint32_t(high >> 2) & 0xFFFF : uint32_t(high >> 2) & 0x1F);
            break;
        case RipRel:
            e.put(uint8_t(0x05 | r)), e.put32(offset32(high));
            break;
        case Rel32:
            e.put32(offset32(high));
            break;
        case Rel8:
            e.put(uint8_t(2 + (high & 0x3F)));
            break;
        case Jcc8:
            e.put(uint8_t(0x70 | CONDITIONS[(w >> 20) & 15]));
            e.put((high & 0xC0) == 0xC0 ? uint8_t(0u - 2 * (high & 0x3F)) : uint8_t(2 + (high & 0x3F)));
            break;
        case Jcc32:
            e.put(uint8_t(0x80 | CONDITIONS[(w >> 20) & 15])), e.put32(offset32(high));
            break;
        case GroupImm8:
            e.put(uint8_t(0xC0 | DIGITS[(w >> 20) & 15] << 3 | b)), e.put(IMMEDIATES[(w >> 16) & 15]);
            break;
        case MovImm32:
            e.put(uint8_t(0xB8 | (reg & 7)));
            e.put32((high & 3) == 0 ? uint32_t(high >> 2) & 0xFFFFF : uint32_t(high >> 2) & 0x3F);
            break;
    }
}

// A function: a load from a global (the data section lies some 100 KiB on), saved registers and a frame, a
// body, the frame undone, a field loaded as the result, the registers restored, ret and int3 up to the next
// 4-byte boundary. The bytes between the field's offset and the global's offset (at most 11) are the longest
// run of predictable bytes; a 16-byte alignment or a frame set-up inside that run would make function
// boundaries repeat across builds.
void emitFunction(Random& random, Emitter& e) {
    uint64_t w = random.next();
    const uint32_t pushes = (w & 3) == 3 ? 2 : uint32_t(w & 3), first = uint32_t((w >> 2) & 3);
    const bool bigFrame = ((w >> 4) & 3) == 0;
    const uint32_t frame = bigFrame ? 0x88 + 16 * uint32_t((w >> 6) & 63) : FRAMES[(w >> 6) & 15];
    uint64_t length = 8 + ((w >> 12) & 63) + (((w >> 18) & 3) == 0 ? (w >> 20) & 255 : 0);
    auto saved = [&](uint32_t k, uint8_t add) {
        const uint8_t* r = SAVED[first + k];
        if (r[0] == 0x41) e.put(0x41), e.put(uint8_t(r[1] + add));
        else e.put(uint8_t(r[0] + add));
    };
    auto adjustStack = [&](uint8_t digit) {
        e.put(0x48), e.put(bigFrame ? 0x81 : 0x83), e.put(uint8_t(0xC0 | digit << 3 | 4));
        if (bigFrame) e.put32(frame);
        else e.put(uint8_t(frame));
    };
    const uint64_t global = random.next();
    const uint8_t reg = REGISTERS[global & 15];
    e.put(uint8_t(0x48 | (reg >> 3) << 2)), e.put((global & 16) ? 0x8D : 0x8B), e.put(uint8_t(0x05 | (reg & 7) << 3));
    e.put32(0x18000 + (uint32_t(global >> 8) & 0x3FFFF));
    for (uint32_t k = 0; k < pushes; ++k) saved(k, 0);
    adjustStack(5);
    // Most of the body repeats instructions of the function's own few (the same members, the same
    // registers), never the same one twice running: short repeats as in compiled code, no long ones.
    uint64_t own[16];
    for (uint64_t& bits : own) bits = random.next();
    uint64_t previous = 16;
    while (length-- > 0 && !e.full()) {
        uint64_t bits = random.next(), pick = (bits >> 58) & 15;
        if ((bits >> 62) != 0 && pick != previous) bits = own[pick];
        else pick = 16;
        previous = pick;
        emitInstruction(e, TEMPLATES[TEMPLATE_SLOTS[bits & 255]], bits);
    }
    adjustStack(0);
    // The result: a field of the object in hand.
    const uint64_t field = random.next();
    if (field & 1) e.put(0x48);
    e.put(0x8B), e.put(uint8_t(0x40 | (BASES[(field >> 1) & 15] & 7))), e.put(uint8_t(field >> 8) & 0xFC);
    for (uint32_t k = pushes; k-- > 0;) saved(k, 8);
    e.put(0xC3);
    while (e.at % 4 != 0) e.put(0xCC);
}

}  // namespace

void fillCode(Random& random, uint8_t* out, uint64_t count) {
    Emitter e{out, 0, count};
    while (!e.full()) emitFunction(random, e);
}
