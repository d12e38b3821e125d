// The packer's contract checks. A broken precondition is a fault in the packer, never bad input, so it stops
// the program with the condition's text rather than write a wrong image. Always on (release builds define
// NDEBUG): each guards a whole run, piece or reference, never a single byte.
#pragma once
#include <cstdio>
#include <cstdlib>

namespace packer {

[[noreturn]] inline void contractBroken(const char* file, int line, const char* condition) {
    std::fprintf(stderr, "%s:%d: packer contract broken: %s\n", file, line, condition);
    std::abort();
}

}  // namespace packer

#define PACKER_ASSERT(condition) ((condition) ? void(0) : packer::contractBroken(__FILE__, __LINE__, #condition))
