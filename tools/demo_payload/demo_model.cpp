#include "tools/demo_payload/demo_model.h"

#include "tools/demo_payload/demo_content.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace {

constexpr uint64_t SEED = 0x4D6F726176656C31ull;
constexpr uint64_t RESOURCE_BYTES = 306'000'000;  // at scale 1
constexpr uint64_t MOVED_BLOCK_BYTES = 4'000'000;
constexpr uint32_t MAX_EDIT = 16;
constexpr uint64_t EDIT_CLEARANCE = 64;  // no two edits (or an edit and a cut of the move) closer than this

// Code region and number of resource edits of each build at scale 1. The 32-bit builds differ from the
// 64-bit build 1 in more places than the other 64-bit builds do.
struct BuildShape {
    uint64_t codeBytes;
    uint64_t edits;
};
constexpr BuildShape SHAPES[PAYLOAD_ENTRY_COUNT] = {
    {1'806'734, 0}, {1'280'000, 56'000}, {1'660'000, 26'000}, {1'270'000, 56'000}, {1'870'000, 26'500},
};

uint64_t scaled(uint64_t value, double scale) { return uint64_t(std::llround(double(value) * scale)); }

bool nearCut(uint64_t at, uint64_t length, const DemoBuild& build) {
    for (uint64_t cut : {build.moveFrom, build.moveFrom + build.moveLength, build.moveTo})
        if (at + length + EDIT_CLEARANCE > cut && at < cut + EDIT_CLEARANCE) return true;
    return false;
}

}  // namespace

DemoPlan planDemoPayload(double scale) {
    DemoPlan plan;
    plan.resourceBytes = scaled(RESOURCE_BYTES, scale);
    const uint64_t resource = plan.resourceBytes;
    for (int i = 0; i < PAYLOAD_ENTRY_COUNT; ++i) {
        DemoBuild& build = plan.builds[i];
        build.key = PAYLOAD_ENTRY_KEYS[i];
        build.codeBytes = scaled(SHAPES[i].codeBytes, scale);
        build.size = build.codeBytes + resource;
        if (i == 0) {
            build.novelBytes = build.size;
            continue;
        }
        Random random(SEED + 17 * uint64_t(i));
        build.novelBytes = build.codeBytes;
        // The moved block: from the first half of the region to the second.
        build.moveLength = std::min(scaled(MOVED_BLOCK_BYTES, scale), resource / 8);
        if (build.moveLength > 0) {
            build.moveFrom = random.below(resource / 2 - build.moveLength);
            build.moveTo = resource / 2 + random.below(resource / 2);
        }
        uint64_t editCount = scaled(SHAPES[i].edits, scale);
        if (editCount == 0 || resource < 4 * EDIT_CLEARANCE) continue;
        // Gaps drawn around the mean spacing keep the edits sparse and apart.
        uint64_t mean = resource / (editCount + 1);
        uint64_t at = 0;
        for (uint64_t e = 0; e < editCount; ++e) {
            uint64_t spread = mean > EDIT_CLEARANCE + MAX_EDIT ? 2 * (mean - EDIT_CLEARANCE - MAX_EDIT) : 1;
            at += EDIT_CLEARANCE + MAX_EDIT + random.below(spread);
            DemoEdit edit;
            edit.at = at;
            edit.length = 1 + uint32_t(random.below(MAX_EDIT));
            uint64_t roll = random.below(10);
            edit.kind = roll < 6 ? EditKind::Substitute : roll < 8 ? EditKind::Insert : EditKind::Delete;
            if (edit.at + edit.length + EDIT_CLEARANCE > resource) break;
            if (nearCut(edit.at, edit.length, build)) continue;
            build.edits.push_back(edit);
            if (edit.kind == EditKind::Delete)
                build.size -= edit.length;
            else
                build.novelBytes += edit.length;
            if (edit.kind == EditKind::Insert) build.size += edit.length;
        }
    }
    return plan;
}

std::vector<uint8_t> makeResource(const DemoPlan& plan) {
    std::vector<uint8_t> resource(plan.resourceBytes);
    Random random(SEED);
    fillShared(random, resource.data(), resource.size());
    return resource;
}

void produceBuild(const DemoPlan& plan, int i, const std::vector<uint8_t>& resource,
                  const std::function<void(const uint8_t*, uint64_t)>& sink) {
    const DemoBuild& build = plan.builds[i];
    Random random(SEED + 1000 + uint64_t(i));
    std::vector<uint8_t> code(build.codeBytes);
    fillCode(random, code.data(), code.size());
    sink(code.data(), code.size());
    // The region in output order: the moved block is cut out and put back just before moveTo.
    struct Range {
        uint64_t begin, end;
    };
    std::vector<Range> order;
    if (build.moveLength == 0) {
        order.push_back({0, resource.size()});
    } else {
        order = {{0, build.moveFrom},
                 {build.moveFrom + build.moveLength, build.moveTo},
                 {build.moveFrom, build.moveFrom + build.moveLength},
                 {build.moveTo, resource.size()}};
    }
    uint8_t changed[MAX_EDIT];
    for (const Range& range : order) {
        auto edit = std::lower_bound(build.edits.begin(), build.edits.end(), range.begin,
                                     [](const DemoEdit& e, uint64_t at) { return e.at < at; });
        uint64_t at = range.begin;
        for (; edit != build.edits.end() && edit->at < range.end; ++edit) {
            sink(resource.data() + at, edit->at - at);
            at = edit->at;
            switch (edit->kind) {
                case EditKind::Substitute:
                    // Every byte differs from the one it replaces, so all of them are novel.
                    for (uint32_t k = 0; k < edit->length; ++k)
                        changed[k] = uint8_t(resource[at + k] ^ (1 + random.below(255)));
                    sink(changed, edit->length);
                    at += edit->length;
                    break;
                case EditKind::Insert:
                    random.fill(changed, edit->length);
                    sink(changed, edit->length);
                    break;
                case EditKind::Delete:
                    at += edit->length;
                    break;
            }
        }
        sink(resource.data() + at, range.end - at);
    }
}
