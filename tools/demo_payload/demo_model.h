// The demo payload's model of five related builds of one product. Every build carries the same large
// shared region (machine code, tables, strings, samples, bitmaps and some already-compressed data, see
// demo_content.h); builds 2 to 5 change it with sparse small substitutions, insertions and deletions of
// random bytes and move one block of it elsewhere, and each build has a code region of its own in front.
// A built file compresses as a real one does (zstd -19 keeps about half), yet the packer finds none of a
// build's novel bytes elsewhere. Everything follows from a fixed seed and the scale, with integer arithmetic
// only, so a scale gives the same bytes on every machine.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "payload/payload_format.h"

enum class EditKind : uint8_t { Substitute, Insert, Delete };

struct DemoEdit {
    uint64_t at = 0;  // offset in the shared resource region
    uint32_t length = 0;
    EditKind kind = EditKind::Substitute;
};

struct DemoBuild {
    std::string key;
    uint64_t codeBytes = 0;          // novel bytes in front of the resource region
    std::vector<DemoEdit> edits;     // sorted by offset, apart from each other and from the moved block's ends
    uint64_t moveFrom = 0, moveLength = 0, moveTo = 0;  // the moved block goes to just before moveTo
    uint64_t size = 0;
    uint64_t novelBytes = 0;         // bytes not found in build 1 (all of build 1's)
};

struct DemoPlan {
    uint64_t resourceBytes = 0;
    DemoBuild builds[PAYLOAD_ENTRY_COUNT];
};

// scale 1.0 gives builds of about 307 MB; the caller keeps scale within (0, 4].
DemoPlan planDemoPayload(double scale);

// The shared resource region of the plan.
std::vector<uint8_t> makeResource(const DemoPlan& plan);

// Produces build i's bytes in order, in pieces handed to sink.
void produceBuild(const DemoPlan& plan, int i, const std::vector<uint8_t>& resource,
                  const std::function<void(const uint8_t*, uint64_t)>& sink);
