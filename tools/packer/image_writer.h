// Writes the PayloadImage files into the output folder: license.bin, chunkstore.bin, directory.bin and
// payload_image.S, which embeds the three with .incbin. Everything goes to temporary names first; commit()
// renames them into place once all are complete, and a writer that is not committed removes them.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace packer {

// The assembler text for regions stored at the three absolute paths.
std::string payloadImageAssembly(const std::string& licensePath, const std::string& storePath,
                                 const std::string& directoryPath);

struct ImageWriter {
    // Creates the folder if needed and the temporary ChunkStore file. Throws PackError naming the path.
    explicit ImageWriter(const std::string& outDir);
    ImageWriter(const ImageWriter&) = delete;
    ImageWriter& operator=(const ImageWriter&) = delete;
    ~ImageWriter();

    // Appends to the temporary ChunkStore; one caller at a time, from any thread.
    void appendStore(std::span<const uint8_t> bytes);

    // Writes the other three files and renames all four into place. Throws PackError naming the file.
    void commit(std::span<const uint8_t> license, std::span<const uint8_t> directory);

private:
    std::string dir_;
    std::vector<std::string> temporaries_;
    int storeFd_ = -1;
    bool committed_ = false;
};

}  // namespace packer
