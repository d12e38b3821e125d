// libFuzzer target for the packer's license check against a plain reading of the rule: 7-bit printable
// ASCII, lines broken by CR LF only, ending with CR LF. A text is accepted exactly when the rule holds, and
// a refusal names the line and column of the first byte that breaks it (or of the end, for a missing final
// CR LF), with a reason.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "tools/packer/license_check.h"
#include "tests/fuzz/fuzz_check.h"

using namespace packer;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The reference: the first offending position, with its line and column.
    uint64_t line = 1, column = 1;
    bool ok = true;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == '\r' && i + 1 < size && data[i + 1] == '\n') {
            ++i, ++line, column = 1;
            continue;
        }
        if (data[i] < 0x20 || data[i] > 0x7E) {
            ok = false;
            break;
        }
        ++column;
    }
    if (ok && (size == 0 || column != 1)) ok = false;  // no final CR LF (or nothing at all)

    const LicenseFault fault = checkLicenseText(std::span<const uint8_t>(data, size));
    FUZZ_CHECK(fault.ok == ok, "checkLicenseText says %s, the plain reading %s", fault.ok ? "ok" : "bad", ok ? "ok" : "bad");
    FUZZ_CHECK(ok || (fault.line == line && fault.column == column && !fault.reason.empty()),
               "fault at %d:%d (%s), the plain reading finds it at %d:%d", int(fault.line), int(fault.column),
               fault.reason.c_str(), int(line), int(column));
    return 0;
}
