#include "payload/extract_entry.h"
#include "base/error_box.h"
#include "base/messages.h"
#include "base/win_text.h"
#include "payload/compressed_payload.h"
#include "payload/entry_directory.h"
#include "payload/payload_format.h"
#include "payload/payload_image.h"
#include "payload/staging_path.h"
#include "state/installer_state.h"

// The installer cannot go on from a payload it cannot trust: tell the user, then end with exit code 1.
[[noreturn]] static void reportCorruptedPayload(HWND owner) {
    showError(owner, MSG_CORRUPTED);
    ExitProcess(1);
}

// The ChunkStore and directory that extraction reads: the image's own in a raw image; in a compressed one,
// its two frames decoded at the first extraction into one heap block, kept to the end of the process. Only
// the install worker extracts, one entry at a time, so nothing else touches these.
static PayloadRegions payload;
static bool payloadOpen = false;
static ZstdWorkspace zstdWorkspace;

static void reportOutOfMemory(HWND owner) {
    state.installFailed = 1;
    showError(owner, MSG_OUT_OF_MEMORY);
}

// The file could not be put in place; whatever stood at the destination is still there.
static void reportFolderInaccessible(HWND owner, HANDLE heap, uint8_t* buffer) {
    showError(owner, MSG_FOLDER_INACCESSIBLE);
    state.installFailed = 1;
    HeapFree(heap, 0, buffer);
}

// False when the decoded block cannot be allocated (then nothing is kept, and the caller reports it).
static bool openPayload(HWND owner) {
    if (payloadOpen) return true;
    const PayloadRegions image = {chunkStoreBegin, chunkStoreEnd, directoryBegin, directoryEnd};
    switch (payloadKind(payloadDescriptor)) {
    case PAYLOAD_RAW:
        payload = image;
        break;
    case PAYLOAD_COMPRESSED: {
        const DecodedSizes sizes = decodedSizes(payloadDescriptor);
        uint8_t* block = static_cast<uint8_t*>(
            HeapAlloc(GetProcessHeap(), 0, SIZE_T(sizes.storeBytes) + sizes.directoryBytes));
        if (!block) return false;
        bool storeFailed;
        if (decodePayload(zstdWorkspace, image, sizes, block, payload, storeFailed) != ZSTD_DECODED)
            reportCorruptedPayload(owner);
        break;
    }
    default:
        reportCorruptedPayload(owner);
    }
    payloadOpen = true;
    return true;
}

void extractEntry(HWND owner, Unit* destinationPath, const char* key) {
    if (!openPayload(owner)) return reportOutOfMemory(owner);
    const PayloadRegions& regions = payload;
    const uint8_t* entry = findEntry(regions, key);
    if (!entry) reportCorruptedPayload(owner);
    const uint32_t size = readEntrySize(entry);

    HANDLE heap = GetProcessHeap();
    uint8_t* buffer = static_cast<uint8_t*>(HeapAlloc(heap, 0, size));
    if (!buffer) return reportOutOfMemory(owner);
    // Nothing touches the disk before the file is assembled and verified.
    if (assembleEntry(regions, entry, buffer) != ASSEMBLY_VERIFIED) reportCorruptedPayload(owner);

    // Each folder of the path, outermost first, by cutting the caller's string at each backslash for the
    // call. Results are ignored: "C:" cannot be made, existing folders are fine, and a real failure shows
    // up as the open below failing.
    for (Unit* p = destinationPath; *p != 0; ++p) {
        if (*p != u'\\') continue;
        *p = 0;
        CreateDirectoryW(wide(destinationPath), nullptr);
        *p = u'\\';
    }

    // A file already at the destination is replaced only where it could be written in place: one that is
    // read-only, or that another program has open (a host that loaded the plug-in), is refused here, before
    // a byte is written. The open changes nothing in the file.
    HANDLE existing = CreateFileW(wide(destinationPath), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    const bool replacing = existing != INVALID_HANDLE_VALUE;
    if (replacing) CloseHandle(existing);
    else if (GetLastError() != ERROR_FILE_NOT_FOUND) return reportFolderInaccessible(owner, heap, buffer);

    // The file is written whole beside the destination, then renamed over it: a failure or a kill at any
    // moment leaves the installed file as it was, or the new one whole (payload/staging_path.h).
    Unit staging[DESTINATION_PATH_UNITS];
    if (!stagingPathOf(staging, destinationPath)) return reportFolderInaccessible(owner, heap, buffer);
    HANDLE file = CreateFileW(wide(staging), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return reportFolderInaccessible(owner, heap, buffer);
    DWORD written = 0;
    const BOOL wrote = WriteFile(file, buffer, size, &written, nullptr);
    // An installed file is replaced only by bytes that are on the disk: otherwise a power cut could keep the
    // rename and lose the bytes, and the plug-in the user had would read as zeros. A new file has nothing
    // to lose and is not made to wait (docs/guarantees.md, "Durability").
    const BOOL complete = wrote && written == size && (!replacing || FlushFileBuffers(file));
    CloseHandle(file);
    // A rename that fails (the destination was opened or made read-only since the check) leaves it as it was.
    if (!complete || !MoveFileExW(wide(staging), wide(destinationPath), MOVEFILE_REPLACE_EXISTING)) {
        DeleteFileW(wide(staging));
        return reportFolderInaccessible(owner, heap, buffer);
    }
    HeapFree(heap, 0, buffer);
}
