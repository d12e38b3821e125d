// moravel-demo-payload [--scale S] OUT_DIR: writes a deterministic demo payload and reports its novel bytes.
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "tools/demo_payload/demo_writer.h"

int main(int argc, char** argv) {
    double scale = 0.02;
    std::string outDir;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--scale" && i + 1 < argc) {
            char* end = nullptr;
            scale = std::strtod(argv[++i], &end);
            if (*end != 0 || !(scale > 0 && scale <= 4)) {
                std::fprintf(stderr, "moravel-demo-payload: --scale wants a number in (0, 4]\n");
                return 2;
            }
        } else if (outDir.empty() && !arg.starts_with("-")) {
            outDir = arg;
        } else {
            outDir.clear();
            break;
        }
    }
    if (outDir.empty()) {
        std::fprintf(stderr, "usage: moravel-demo-payload [--scale S] OUT_DIR   (S = 1.0 gives builds of ~307 MB)\n");
        return 2;
    }
    try {
        DemoPlan plan = writeDemoPayload(outDir, scale);
        std::printf("%-18s %15s %15s\n", "file", "size", "novel bytes");
        for (const DemoBuild& build : plan.builds)
            std::printf("%-18s %15llu %15llu\n", build.key.c_str(), (unsigned long long)build.size,
                        (unsigned long long)build.novelBytes);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "moravel-demo-payload: %s\n", error.what());
        return 1;
    }
    return 0;
}
