#include "tools/packer/pack_payload.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <exception>
#include <functional>
#include <utility>
#include <span>
#include <thread>
#include <vector>

#include "tools/packer/chunk_store.h"
#include "tools/packer/directory_builder.h"
#include "tools/packer/hash_chains.h"
#include "tools/packer/image_writer.h"
#include "tools/packer/matcher.h"
#include "tools/packer/output_verifier.h"
#include "tools/packer/pack_error.h"
#include "tools/packer/store_compressor.h"
#include "tools/packer/store_index.h"

namespace packer {

namespace {

std::string storeTooLarge(const MappedFile& file, uint64_t length, uint64_t limit, bool byImage) {
    return file.path + ": the ChunkStore would grow to " + std::to_string(length) + " bytes, past the " +
           std::to_string(limit) +
           (byImage ? " bytes that fit in an installer's PayloadImage beside the license and directory"
                    : " bytes that 32-bit offsets can name");
}

// The least directory the five entries can take: each name, its NUL, hash and size, and the terminator.
uint64_t smallestDirectory() {
    uint64_t bytes = 0;
    for (const char* key : PAYLOAD_ENTRY_KEYS) bytes += std::strlen(key) + 1 + ENTRY_HEADER_BYTES + CHUNK_REF_BYTES;
    return bytes;
}

// A thread whose failure is handed to the thread that waits for it. Joined on destruction, so that an
// error elsewhere never leaves it running over freed inputs.
struct BackgroundTask {
    std::thread thread;
    std::exception_ptr error;

    void start(std::function<void()> work) {
        thread = std::thread([this, work = std::move(work)] {
            try {
                work();
            } catch (...) {
                error = std::current_exception();
            }
        });
    }
    void finish() {
        if (thread.joinable()) thread.join();
        if (error) std::rethrow_exception(std::exchange(error, nullptr));
    }
    ~BackgroundTask() {
        if (thread.joinable()) thread.join();
    }
};

}  // namespace

PackSummary packPayload(const std::string& payloadDir, const std::string& outDir, const PackOptions& options) {
    const auto started = std::chrono::steady_clock::now();
    Progress silent;
    Progress& progress = options.progress != nullptr ? *options.progress : silent;
    progress.stage("reading " + payloadDir);
    std::unique_ptr<PayloadInputs> inputs = loadPayloadInputs(payloadDir, options.limits);

    // The store may grow only as far as both limits allow: offsets that fit a u32, and an image that fits
    // the executable beside the license and the least directory. Known from the sizes, before any reading.
    // A compressed store is held to the image limit by its frame's size, known only once it is compressed.
    const bool compressed = options.compressionLevel != 0;
    const uint64_t imageLimit = options.limits.maxImageSize;
    const uint64_t imageWithoutStore = payloadImageBytes(inputs->license.size(), 0, smallestDirectory());
    const uint64_t storeRoom = compressed                        ? UINT64_MAX
                               : imageLimit > imageWithoutStore ? imageLimit - imageWithoutStore
                                                                : 0;
    const uint64_t offsetLimit = std::min<uint64_t>(options.limits.maxStoreSize, 0xFFFFFFFFull);
    const uint64_t storeLimit = std::min(offsetLimit, storeRoom);
    const bool limitedByImage = storeRoom < offsetLimit;
    std::vector<std::span<const uint8_t>> files;
    uint64_t laterBytes = 0;
    for (const MappedFile& file : inputs->files) {
        files.emplace_back(file.data, file.size);
        if (&file != &inputs->files[0]) laterBytes += file.size;
    }
    const MappedFile& first = inputs->files[0];
    if (first.size > storeLimit) throw PackError(storeTooLarge(first, first.size, storeLimit, limitedByImage));

    // The hashes need only the inputs and take longest of all (five serial chains): they run beside the
    // matcher from the start, on a core of their own. Nothing becomes visible before commit().
    ImageWriter writer(outDir);
    std::vector<uint32_t> hashes;
    BackgroundTask hashing;
    if (options.threads > 1) hashing.start([&] { hashes = payloadHashes(files); });

    progress.stage("indexing " + std::string(PAYLOAD_ENTRY_KEYS[0]));
    ChunkStore store;
    // No room beyond the limit: a later file that does not deduplicate is refused at its first run past it,
    // before its bytes are copied.
    store.begin(first, std::min(laterBytes, storeLimit - first.size));
    StoreIndex index;
    index.reserve(first.size + laterBytes / 4, options.maxIndexEntries);
    index.extend(store.bytes, store.length);

    std::vector<PackedEntry> entries(PAYLOAD_ENTRY_COUNT);
    for (int i = 0; i < PAYLOAD_ENTRY_COUNT; ++i) {
        entries[i].key = PAYLOAD_ENTRY_KEYS[i];
        entries[i].size = files[i].size();
    }
    if (first.size != 0) entries[0].refs.push_back({0, uint32_t(first.size)});
    entries[0].literalBytes = first.size;

    for (int i = 1; i < PAYLOAD_ENTRY_COUNT; ++i) {
        const MappedFile& file = inputs->files[i];
        progress.stage("matching " + std::string(PAYLOAD_ENTRY_KEYS[i]));
        const uint64_t literalBase = store.length;
        std::vector<Piece> pieces;
        try {
            pieces = cutIntoPieces(index, store, file.data, file.size,
                                   [&](uint64_t done) { progress.update(done, file.size); });
        } catch (const ChunkStore::Full& full) {
            throw PackError(storeTooLarge(file, full.length, storeLimit, limitedByImage));
        }
        if (store.length > storeLimit) throw PackError(storeTooLarge(file, store.length, storeLimit, limitedByImage));
        entries[i].refs = placePieces(pieces);
        entries[i].literalBytes = store.length - literalBase;
    }

    progress.stage("hashing");
    // File 1 is the head of the ChunkStore: it goes to the temporary store file while the hashes finish.
    if (!compressed) writer.appendStoreFrom(first.fd, first.size, first.path);
    if (options.threads > 1)
        hashing.finish();
    else
        hashes = payloadHashes(files);
    for (int i = 0; i < PAYLOAD_ENTRY_COUNT; ++i) entries[i].hash = hashes[i];
    std::vector<uint8_t> directory = buildDirectory(entries);
    auto checkImageSize = [&](uint64_t storeRegion, uint64_t directoryRegion) {
        const uint64_t imageBytes = payloadImageBytes(inputs->license.size(), storeRegion, directoryRegion, compressed);
        if (imageBytes > imageLimit)
            throw PackError(payloadDir + ": the PayloadImage would be " + std::to_string(imageBytes) + " bytes (" +
                            (compressed ? "compressed " : "") + "directory " + std::to_string(directoryRegion) +
                            "), more than the " + std::to_string(imageLimit) + " bytes an installer can carry");
    };
    if (!compressed) checkImageSize(store.length, directory.size());

    progress.stage("verifying");
    std::span<const uint8_t> storeBytes(store.bytes, store.length);
    std::string fault = verifyOutput(files, hashes, storeBytes, directory, std::max(1u, options.threads));
    if (!fault.empty()) throw PackError("internal error, nothing written: " + fault);

    // A compressed image holds the two frames in place of the regions; the descriptor states what they decode
    // to, as u32 (the store is already bounded by its offsets).
    StoreEncoding encoding;
    CompressedRegions frames;
    if (compressed) {
        if (directory.size() > 0xFFFFFFFFull)
            throw PackError(payloadDir + ": the directory would be " + std::to_string(directory.size()) +
                            " bytes, more than a compressed image's descriptor can state");
        encoding = {options.compressionLevel, store.length, directory.size()};
        frames = compressRegions(storeBytes, directory, options.compressionLevel, options.threads, progress);
        checkImageSize(frames.store.size(), frames.directory.size());
    }
    progress.stage("writing " + outDir);
    writer.appendStore(compressed ? std::span<const uint8_t>(frames.store) : storeBytes.subspan(first.size));

    // The summary is one of the outputs, committed with them; its time runs to the last region written.
    PackSummary summary;
    for (const PackedEntry& entry : entries)
        summary.entries.push_back({entry.key, entry.size, entry.refs.size(), entry.literalBytes, entry.hash});
    summary.storeBytes = store.length;
    summary.directoryBytes = directory.size();
    summary.compressionLevel = encoding.level;
    summary.storeFrameBytes = frames.store.size();
    summary.directoryFrameBytes = frames.directory.size();
    summary.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    writer.commit(inputs->license, compressed ? std::span<const uint8_t>(frames.directory) : directory,
                  formatSummary(summary), encoding);
    progress.finish();
    return summary;
}

}  // namespace packer
