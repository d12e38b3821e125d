// The two routines the compiler may emit calls to on its own (struct copies, zero-filled arrays, loops it
// recognises). The installer links no C runtime, so they live here; the build checks that the installer's
// objects ask for nothing else (cmake/check_link_map.cmake).
//
// Written as string instructions in inline assembly, so the optimiser cannot recognise the loop and turn the
// routine into a call to itself. On current x86-64 cores `rep movsb`/`rep stosb` are also the fastest way to
// move large blocks, which the payload assembly relies on.
#include <stddef.h>

extern "C" void* memcpy(void* destination, const void* source, size_t count) {
    void* result = destination;
    __asm__ volatile("rep movsb" : "+D"(destination), "+S"(source), "+c"(count) : : "memory");
    return result;
}

extern "C" void* memset(void* destination, int value, size_t count) {
    void* result = destination;
    __asm__ volatile("rep stosb" : "+D"(destination), "+c"(count) : "a"(value) : "memory");
    return result;
}
