// libFuzzer target for moravel-inspect's reading of untrusted executables: the PE headers and section table,
// the payload descriptor, and then, on whatever PayloadImage that yields, the directory walk of list and
// the assembly of verify. Each answer must be one line or a result, never a crash or a read outside data.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "payload/payload_format.h"
#include "tests/fuzz/fuzz_check.h"
#include "tools/inspect/inspect.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    PayloadImageView image;
    const std::string refused = findPayloadImage({data, size}, image);
    (void)peChecksum({data, size});
    if (!refused.empty()) {
        FUZZ_CHECK(refused.find('\n') == std::string::npos, "findPayloadImage's refusal is not one line: %s", refused.c_str());
        return 0;
    }
    const InspectResult listed = listPayload(image);
    FUZZ_CHECK(listed.code == INSPECT_OK || !listed.errors.empty(), "list failed (code %d) without saying why", listed.code);
    // Assembly takes a buffer of the entry's stated size; keep that within what a fuzzer run can afford.
    for (const char* key : PAYLOAD_ENTRY_KEYS) {
        const uint8_t* entry = findEntry(image.regions, key);
        if (entry != nullptr && readEntrySize(entry) > (1u << 20)) return 0;
    }
    const InspectResult verified = verifyPayload(image, {}, 1);
    FUZZ_CHECK((verified.code == INSPECT_OK) == verified.errors.empty(), "verify gave code %d with errors: %s", verified.code,
               verified.errors.c_str());
    return 0;
}
