// Writes the PayloadImage files into the output folder: license.bin, chunkstore.bin, directory.bin and
// payload_image.S, which embeds the three with .incbin. Each is written under a temporary name and all are
// renamed into place only once every one of them is complete; on failure the temporaries are removed.
#pragma once
#include <cstdint>
#include <span>
#include <string>

// The assembler text for regions stored at the three absolute paths.
std::string payloadImageAssembly(const std::string& licensePath, const std::string& storePath,
                                 const std::string& directoryPath);

// Throws PackError naming the file that could not be written.
void writePayloadImage(const std::string& outDir, std::span<const uint8_t> license, std::span<const uint8_t> store,
                       std::span<const uint8_t> directory);
