// The installer's entry routine: no C runtime start-up runs before it, it takes no arguments and never returns.
#include <windows.h>
#include "payload/extract_entry.h"
#include "payload/payload_hash.h"
#include "payload/payload_image.h"

extern "C" void installerEntry() {
    // The dialogs are not wired up yet: the image only links the payload code as the installer will.
    volatile uintptr_t linked = reinterpret_cast<uintptr_t>(&payloadHash) ^ reinterpret_cast<uintptr_t>(licenseTextBegin) ^
                                reinterpret_cast<uintptr_t>(chunkStoreBegin) ^ reinterpret_cast<uintptr_t>(directoryBegin);
    (void)linked;
    ExitProcess(0);
}
