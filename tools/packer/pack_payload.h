// The packing step: payload folder in, PayloadImage files out.
#pragma once
#include <cstdint>
#include <string>

#include "tools/packer/payload_inputs.h"
#include "tools/packer/progress.h"
#include "tools/packer/summary_table.h"

namespace packer {

struct PackOptions {
    PackLimits limits;
    unsigned threads = 2;
    uint64_t maxIndexEntries = 1u << 22;  // sampled store windows; bounds the index at 32 MiB
    Progress* progress = nullptr;        // may be null
    int compressionLevel = 0;            // 0: the raw ChunkStore and directory; 1..22: one zstd frame each
};

// Packs payloadDir into outDir. Throws PackError (naming the file) on bad input or a failed write; then no
// output file has been replaced and no temporary is left.
PackSummary packPayload(const std::string& payloadDir, const std::string& outDir, const PackOptions& options);

}  // namespace packer
