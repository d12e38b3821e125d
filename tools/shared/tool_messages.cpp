#include "tools/shared/tool_messages.h"

#include <cstdio>

namespace tools {

std::string groupedDigits(uint64_t value) {
    std::string digits = std::to_string(value);
    std::string text;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i != 0 && (digits.size() - i) % 3 == 0) text += ',';
        text += digits[i];
    }
    return text;
}

std::string hex32(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", value);
    return text;
}

const char* readFault(EntryReadResult result) {
    switch (result) {
        case ENTRY_NAME_UNTERMINATED: return "its name has no NUL before the directory's end";
        case ENTRY_HEADER_TRUNCATED: return "its hash and size run past the directory's end";
        case ENTRY_REFS_UNTERMINATED: return "its ChunkRef list has no terminator before the directory's end";
        default: return "cannot be read";
    }
}

std::string assemblyFault(AssemblyResult result, uint32_t size, uint64_t storeBytes) {
    switch (result) {
        case ASSEMBLY_OVERRUN: return "its ChunkRefs add up to more than its size of " + groupedDigits(size) + " bytes";
        case ASSEMBLY_OUTSIDE_STORE:
            return "a ChunkRef names bytes past the end of the ChunkStore (" + groupedDigits(storeBytes) + " bytes)";
        case ASSEMBLY_UNTERMINATED: return "its ChunkRef list runs past the end of the directory";
        case ASSEMBLY_LENGTH_MISMATCH: return "its ChunkRefs add up to less than its size of " + groupedDigits(size) + " bytes";
        default: return "cannot be assembled";
    }
}

const char* lookupFault(EntryLookup result) {
    switch (result) {
        case LOOKUP_DUPLICATE: return "named by two entries of the directory";
        case LOOKUP_ABSENT: return "not in the directory";
        default: return "the directory cannot be walked to its end";
    }
}

const char* zstdFault(ZstdResult result) {
    switch (result) {
        case ZSTD_TRUNCATED: return "the frame ends early";
        case ZSTD_MALFORMED: return "the frame is malformed";
        case ZSTD_UNSUPPORTED: return "the frame needs a dictionary or states no content size";
        case ZSTD_SIZE_MISMATCH: return "the frame decodes to another size than it should";
        case ZSTD_CHECKSUM_MISMATCH: return "the frame's checksum does not match its content";
        default: return "decoded";
    }
}

}  // namespace tools
