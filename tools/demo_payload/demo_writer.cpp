#include "tools/demo_payload/demo_writer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "tools/demo_payload/license_text.h"

namespace {

struct Output {
    std::string path;
    std::FILE* file = nullptr;

    explicit Output(std::string name) : path(std::move(name)) {
        file = std::fopen(path.c_str(), "wb");
        if (file == nullptr) fail();
        std::setvbuf(file, nullptr, _IOFBF, 1 << 20);
    }
    ~Output() {
        if (file != nullptr) std::fclose(file);
    }
    [[noreturn]] void fail() const { throw std::runtime_error(path + ": cannot write: " + std::strerror(errno)); }
    void put(const uint8_t* bytes, uint64_t count) {
        if (count != 0 && std::fwrite(bytes, 1, count, file) != count) fail();
    }
    void close() {
        std::FILE* f = file;
        file = nullptr;
        if (std::fclose(f) != 0) fail();
    }
};

}  // namespace

DemoPlan writeDemoPayload(const std::string& outDir, double scale) {
    std::error_code error;
    std::filesystem::create_directories(outDir + "/bin", error);
    if (error) throw std::runtime_error(outDir + "/bin: cannot create folder: " + error.message());
    DemoPlan plan = planDemoPayload(scale);
    std::vector<uint8_t> resource = makeResource(plan);
    for (int i = 0; i < PAYLOAD_ENTRY_COUNT; ++i) {
        Output out(outDir + "/" + plan.builds[i].key);
        produceBuild(plan, i, resource, [&out](const uint8_t* bytes, uint64_t count) { out.put(bytes, count); });
        out.close();
    }
    // The license last: the build takes it as the sign that the folder is complete.
    Output license(outDir + "/license.txt");
    license.put(demoLicenseText.data(), demoLicenseText.size());
    license.close();
    return plan;
}
