// The packer's compression of a region into one zstd frame (libzstd), and the check that the installer's own
// decoder gives the region back.
#pragma once
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "tools/packer/progress.h"

namespace packer {

// The level --compress takes when it names none: chosen by measurement of size against time on real builds
// (docs/benchmarks.md, "Compressed ChunkStore").
constexpr int DEFAULT_COMPRESSION_LEVEL = 18;
constexpr int MIN_COMPRESSION_LEVEL = 1;
constexpr int MAX_COMPRESSION_LEVEL = 22;

// One standard frame of region: content size in the header, no checksum (every installed byte is hashed per
// file), no dictionary; long-distance matching with a window over the whole region. The bytes depend only on
// the region and the level: libzstd's multi-threaded mode is used with at least one worker whatever `threads`
// is, and its jobs are cut by size, not by thread count. progress(done, total) is called now and then.
// Throws PackError on a libzstd failure.
std::vector<uint8_t> compressRegion(std::span<const uint8_t> region, int level, unsigned threads,
                                    const std::function<void(uint64_t, uint64_t)>& progress);

// Decodes frame with the installer's decoder into a buffer of region's size and compares; an empty string when
// the frame gives region back, else what went wrong, naming `name`.
std::string checkFrame(const char* name, std::span<const uint8_t> frame, std::span<const uint8_t> region);

// The two frames of a compressed image, each made by compressRegion and checked by checkFrame before it is
// returned; a frame that does not give its region back throws PackError ("internal error, nothing written").
// progress is told the stage and how far each region is.
struct CompressedRegions {
    std::vector<uint8_t> store, directory;
};
CompressedRegions compressRegions(std::span<const uint8_t> store, std::span<const uint8_t> directory, int level,
                                  unsigned threads, Progress& progress);

// "libzstd 1.5.4"
std::string compressorVersion();

}  // namespace packer
