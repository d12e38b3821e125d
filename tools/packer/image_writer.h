// Writes the PayloadImage files into the output folder: license.bin, chunkstore.bin, directory.bin,
// summary.txt and payload_image.S, which embeds the three regions with .incbin. Everything goes to temporary
// names first; commit() renames them into place once all are complete, and a writer that is not committed
// removes them. The writer holds a lock on the folder for its life, so two packers never share temporaries.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace packer {

// How the image holds its ChunkStore and directory: raw (level 0), or each as one zstd frame packed at level,
// decoding to storeBytes and directoryBytes.
struct StoreEncoding {
    int level = 0;
    uint64_t storeBytes = 0;
    uint64_t directoryBytes = 0;
};

// The assembler text for regions stored at the three absolute paths.
std::string payloadImageAssembly(const std::string& licensePath, const std::string& storePath,
                                 const std::string& directoryPath, const StoreEncoding& encoding = {});

// The packer's summary table, kept beside the regions (not part of the image).
#define PACK_SUMMARY_FILE "summary.txt"

// The bytes of the .payload section that payloadImageAssembly lays out for regions of these lengths:
// descriptor, license, ChunkStore and directory, each region on a 16-byte boundary (the regions as stored:
// a compressed image's frames).
uint64_t payloadImageBytes(uint64_t licenseBytes, uint64_t storeBytes, uint64_t directoryBytes, bool compressed = false);

struct ImageWriter {
    // Creates the folder if needed, locks it, and creates the temporary ChunkStore file. Throws PackError
    // naming the path, or "another moravel-pack is writing OUT_DIR" when another writer holds the folder.
    explicit ImageWriter(const std::string& outDir);
    ImageWriter(const ImageWriter&) = delete;
    ImageWriter& operator=(const ImageWriter&) = delete;
    ~ImageWriter();

    // Appends to the temporary ChunkStore; one caller at a time, from any thread.
    void appendStore(std::span<const uint8_t> bytes);

    // Appends size bytes of the open file fd from its start, copied by the kernel from file to file where it
    // can (no pass through this process's memory). Throws PackError naming path if the file ends early.
    void appendStoreFrom(int fd, uint64_t size, const std::string& path);

    // Writes the other files and puts all of them in place. Throws PackError naming the file.
    void commit(std::span<const uint8_t> license, std::span<const uint8_t> directory, const std::string& summary,
                const StoreEncoding& encoding = {});

private:
    std::string dir_;
    std::vector<std::string> temporaries_;
    int storeFd_ = -1;
    int lockFd_ = -1;
    bool committed_ = false;
};

}  // namespace packer
