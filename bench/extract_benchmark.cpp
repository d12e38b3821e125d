// extractEntry of one large entry against what any extraction of it must do, measured in the same run:
// writing a fresh heap buffer of the entry's size (first touch of every page), payloadHash over it, and one
// WriteFile of it to a new file.
//   extract_benchmark [key] [rounds]     (default: bin/target_cl32, 3 rounds; prints the best of each)
#include <windows.h>
#include <stdio.h>
#include <string.h>
#include "app/installer_state.h"
#include "payload/entry_directory.h"
#include "payload/extract_entry.h"
#include "payload/payload_format.h"
#include "payload/payload_hash.h"
#include "payload/payload_image.h"

static double now() {
    static LARGE_INTEGER frequency;
    if (!frequency.QuadPart) QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return double(t.QuadPart) / double(frequency.QuadPart);
}

struct Round {
    double touch, hash, write, assemble, extract;
};

static const wchar_t* const BASELINE_PATH = L"C:\\moravel-bench\\baseline.bin";
static const wchar_t* const EXTRACT_PATH = L"C:\\moravel-bench\\A\\B\\extracted.bin";

static Round measure(const char* key, uint32_t size) {
    Round r;
    HANDLE heap = GetProcessHeap();
    double t0 = now();
    uint8_t* buffer = static_cast<uint8_t*>(HeapAlloc(heap, 0, size));
    memset(buffer, 0x5A, size);
    double t1 = now();
    volatile uint32_t hash = payloadHash(buffer, size);
    (void)hash;
    double t2 = now();
    HANDLE file = CreateFileW(BASELINE_PATH, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, buffer, size, &written, nullptr);
    CloseHandle(file);
    double t3 = now();
    HeapFree(heap, 0, buffer);
    DeleteFileW(BASELINE_PATH);
    if (written != size) printf("baseline write came up short\n");

    // The in-memory half alone (allocation, assembly, hash), to tell it from the file system's half.
    const PayloadRegions regions = {chunkStoreBegin, chunkStoreEnd, directoryBegin, directoryEnd};
    double a0 = now();
    buffer = static_cast<uint8_t*>(HeapAlloc(heap, 0, size));
    if (assembleEntry(regions, findEntry(regions, key), buffer) != ASSEMBLY_VERIFIED) printf("not verified\n");
    double a1 = now();
    HeapFree(heap, 0, buffer);

    Unit path[MAX_PATH];
    for (int i = 0; (path[i] = Unit(EXTRACT_PATH[i])) != 0; ++i) {}
    double t4 = now();
    extractEntry(nullptr, path, key);
    double t5 = now();
    if (state.installFailed) printf("extraction failed\n");
    DeleteFileW(EXTRACT_PATH);
    r.touch = t1 - t0, r.hash = t2 - t1, r.write = t3 - t2, r.assemble = a1 - a0, r.extract = t5 - t4;
    return r;
}

int main(int argc, char** argv) {
    const char* key = argc > 1 ? argv[1] : ENTRY_KEY_CLAP32;
    const int rounds = argc > 2 ? atoi(argv[2]) : 3;
    const PayloadRegions regions = {chunkStoreBegin, chunkStoreEnd, directoryBegin, directoryEnd};
    const uint8_t* entry = findEntry(regions, key);
    if (!entry) {
        printf("no entry %s\n", key);
        return 1;
    }
    const uint32_t size = readU32(entry + 4);
    CreateDirectoryW(L"C:\\moravel-bench", nullptr);
    printf("entry %s: %u bytes; store %llu bytes\n", key, size,
           (unsigned long long)(chunkStoreEnd - chunkStoreBegin));
    printf("round   touch ms  hash ms  write ms  sum ms  extract ms  extract/sum  (assemble+hash ms)\n");
    Round best = {1e9, 1e9, 1e9, 1e9, 1e9};
    for (int i = 0; i < rounds; ++i) {
        Round r = measure(key, size);
        const double sum = r.touch + r.hash + r.write;
        printf("%5d %10.0f %8.0f %9.0f %7.0f %11.0f %12.2f  (%.0f)\n", i + 1, r.touch * 1e3, r.hash * 1e3,
               r.write * 1e3, sum * 1e3, r.extract * 1e3, r.extract / sum, r.assemble * 1e3);
        if (r.touch < best.touch) best.touch = r.touch;
        if (r.hash < best.hash) best.hash = r.hash;
        if (r.write < best.write) best.write = r.write;
        if (r.extract < best.extract) best.extract = r.extract;
        if (r.assemble < best.assemble) best.assemble = r.assemble;
    }
    const double sum = best.touch + best.hash + best.write;
    printf(" best %10.0f %8.0f %9.0f %7.0f %11.0f %12.2f  (%.0f)\n", best.touch * 1e3, best.hash * 1e3,
           best.write * 1e3, sum * 1e3, best.extract * 1e3, best.extract / sum, best.assemble * 1e3);
    printf("hash %.2f GB/s, extract %.2f GB/s\n", size / best.hash / 1e9, size / best.extract / 1e9);
    return 0;
}
