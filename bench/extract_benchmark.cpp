// extractEntry of one large entry against what any extraction of it must do, measured in the same run:
// writing a fresh heap buffer of the entry's size (first touch of every page), payloadHash over it, and one
// WriteFile of it to a new file. Rounds alternate which of the two goes first, so neither always meets the
// other's file-system after-effects, and each timed part starts after a pause in which the kernel writes back
// the previous file (closing a large new file starts that writeback, and a write that meets it is throttled).
// The median and the best of each column are printed.
//   extract_benchmark [key] [rounds]     (default: bin/target_cl32, 5 rounds)
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include "payload/entry_directory.h"
#include "payload/extract_entry.h"
#include "payload/payload_format.h"
#include "payload/payload_hash.h"
#include "payload/payload_image.h"
#include "state/installer_state.h"

static double now() {
    static LARGE_INTEGER frequency;
    if (!frequency.QuadPart) QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return double(t.QuadPart) / double(frequency.QuadPart);
}

enum Column { TOUCH, HASH, WRITE, SUM, ASSEMBLE, EXTRACT, COLUMNS };
static const char* const COLUMN_NAMES[COLUMNS] = {"touch", "hash", "write", "sum", "assemble+hash", "extract"};
constexpr int MAX_ROUNDS = 32;
static double times[COLUMNS][MAX_ROUNDS];

static const wchar_t* const BASELINE_PATH = L"C:\\moravel-bench\\baseline.bin";
static const wchar_t* const EXTRACT_PATH = L"C:\\moravel-bench\\A\\B\\extracted.bin";

constexpr DWORD SETTLE_MS = 2000;

static void measureBaseline(uint32_t size, int round) {
    HANDLE heap = GetProcessHeap();
    Sleep(SETTLE_MS);
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
    times[TOUCH][round] = t1 - t0, times[HASH][round] = t2 - t1, times[WRITE][round] = t3 - t2;
    times[SUM][round] = t3 - t0;
}

static void measureExtraction(const char* key, uint32_t size, int round) {
    // The in-memory half alone (allocation, assembly, hash), to tell it from the file system's half.
    const PayloadRegions regions = {chunkStoreBegin, chunkStoreEnd, directoryBegin, directoryEnd};
    HANDLE heap = GetProcessHeap();
    double a0 = now();
    uint8_t* buffer = static_cast<uint8_t*>(HeapAlloc(heap, 0, size));
    if (assembleEntry(regions, findEntry(regions, key), buffer) != ASSEMBLY_VERIFIED) printf("not verified\n");
    double a1 = now();
    HeapFree(heap, 0, buffer);

    Unit path[MAX_PATH];
    for (int i = 0; (path[i] = Unit(EXTRACT_PATH[i])) != 0; ++i) {}
    Sleep(SETTLE_MS);
    double t0 = now();
    extractEntry(nullptr, path, key);
    double t1 = now();
    if (state.installFailed) printf("extraction failed\n");
    DeleteFileW(EXTRACT_PATH);
    times[ASSEMBLE][round] = a1 - a0, times[EXTRACT][round] = t1 - t0;
}

static int byValue(const void* a, const void* b) {
    const double x = *static_cast<const double*>(a), y = *static_cast<const double*>(b);
    return x < y ? -1 : x > y;
}

int main(int argc, char** argv) {
    const char* key = argc > 1 ? argv[1] : ENTRY_KEY_CLAP32;
    int rounds = argc > 2 ? atoi(argv[2]) : 5;
    if (rounds < 1 || rounds > MAX_ROUNDS) rounds = 5;
    const PayloadRegions regions = {chunkStoreBegin, chunkStoreEnd, directoryBegin, directoryEnd};
    const uint8_t* entry = findEntry(regions, key);
    if (!entry) {
        printf("no entry %s\n", key);
        return 1;
    }
    const uint32_t size = readEntrySize(entry);
    CreateDirectoryW(L"C:\\moravel-bench", nullptr);
    printf("entry %s: %u bytes; store %llu bytes; %d rounds\n", key, size,
           (unsigned long long)(chunkStoreEnd - chunkStoreBegin), rounds);
    printf("round");
    for (const char* name : COLUMN_NAMES) printf(" %14s", name);
    printf("   extract/sum\n");
    for (int round = 0; round < rounds; ++round) {
        if (round % 2 == 0) measureBaseline(size, round), measureExtraction(key, size, round);
        else measureExtraction(key, size, round), measureBaseline(size, round);
        printf("%5d", round + 1);
        for (int c = 0; c < COLUMNS; ++c) printf(" %11.0f ms", times[c][round] * 1e3);
        printf("   %.2f\n", times[EXTRACT][round] / times[SUM][round]);
    }
    double median[COLUMNS], best[COLUMNS];
    for (int c = 0; c < COLUMNS; ++c) {
        qsort(times[c], rounds, sizeof(double), byValue);
        median[c] = rounds % 2 ? times[c][rounds / 2] : (times[c][rounds / 2 - 1] + times[c][rounds / 2]) / 2;
        best[c] = times[c][0];
    }
    printf("median");
    for (double t : median) printf("%11.0f ms ", t * 1e3);
    printf("  %.2f\n", median[EXTRACT] / median[SUM]);
    printf("best  ");
    for (double t : best) printf("%11.0f ms ", t * 1e3);
    printf("  %.2f\n", best[EXTRACT] / best[SUM]);
    printf("hash %.2f GB/s; extract %.2f GB/s (median)\n", size / median[HASH] / 1e9, size / median[EXTRACT] / 1e9);
    return 0;
}
