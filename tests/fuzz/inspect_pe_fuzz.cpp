// libFuzzer target for moravel-inspect's reading of untrusted executables: the PE headers and section table,
// the payload descriptor, and then, on whatever PayloadImage that yields, the directory walk of list and
// the assembly of verify. Each answer must be one line or a result, never a crash or a read outside data.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "payload/payload_format.h"
#include "tools/inspect/inspect.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    PayloadImageView image;
    const std::string refused = findPayloadImage({data, size}, image);
    (void)peChecksum({data, size});
    if (!refused.empty()) {
        if (refused.find('\n') != std::string::npos) std::abort();  // one line, always
        return 0;
    }
    const InspectResult listed = listPayload(image);
    if (listed.code != INSPECT_OK && listed.errors.empty()) std::abort();
    // Assembly takes a buffer of the entry's stated size; keep that within what a fuzzer run can afford.
    for (const char* key : PAYLOAD_ENTRY_KEYS) {
        const uint8_t* entry = findEntry(image.regions, key);
        if (entry != nullptr && readEntrySize(entry) > (1u << 20)) return 0;
    }
    const InspectResult verified = verifyPayload(image, {}, 1);
    if ((verified.code == INSPECT_OK) != verified.errors.empty()) std::abort();
    return 0;
}
