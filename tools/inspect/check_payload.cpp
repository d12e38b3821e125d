// moravel-inspect verify and extract: the directory as a whole, the license, each entry with the installer's
// own lookup (entry_jobs.cpp does the work of each), the report, and for extract the files put in place.
#include <cstdio>
#include <filesystem>
#include <vector>

#include "payload/payload_format.h"
#include "tools/inspect/inspect.h"
#include "tools/inspect/inspect_steps.h"
#include "tools/packer/license_check.h"
#include "tools/shared/host_files.h"
#include "tools/shared/tool_messages.h"

using tools::groupedDigits;

namespace {

// Checks every entry and the license; VERIFY compares them with folder's files unless folder is empty,
// EXTRACT writes them under folder once all have passed.
InspectResult checkPayload(const PayloadImageView& image, CheckMode mode, const std::string& folder, unsigned threads) {
    const bool compares = mode == CheckMode::VERIFY && !folder.empty();
    const bool extracts = mode == CheckMode::EXTRACT;
    InspectResult result;
    bool corrupted = false, unreadable = false;
    auto fail = [&](const std::string& line, bool isCorruption) {
        result.errors += line + "\n";
        (isCorruption ? corrupted : unreadable) = true;
    };
    for (const std::string& fault : directoryFaults(image.regions)) fail(fault, true);

    const uint64_t licenseBytes = uint64_t(image.licenseEnd - image.licenseBegin);
    // The license has no hash; what the packer would refuse in it is a corruption all the same.
    const packer::LicenseFault license = packer::checkLicenseText({image.licenseBegin, licenseBytes});
    if (!license.ok)
        fail(PAYLOAD_LICENSE_FILE ": corrupted: line " + std::to_string(license.line) + ", column " +
                 std::to_string(license.column) + ": " + license.reason, true);
    if (compares) {
        bool cannotRead = false;
        const std::string d = folderDifference(image.licenseBegin, licenseBytes, folder + "/" PAYLOAD_LICENSE_FILE, cannotRead);
        if (!d.empty()) fail(cannotRead ? d : PAYLOAD_LICENSE_FILE ": " + d, !cannotRead);
    }
    std::string licenseTemporary;
    if (extracts) {
        for (const char* key : PAYLOAD_ENTRY_KEYS) {
            const std::filesystem::path parent = (std::filesystem::path(folder) / key).parent_path();
            std::error_code error;
            std::filesystem::create_directories(parent, error);
            if (error) {
                fail(parent.string() + ": cannot create folder: " + error.message(), false);
                break;
            }
        }
        std::string fault;
        licenseTemporary = folder + "/." PAYLOAD_LICENSE_FILE ".partial";
        if (!unreadable && !tools::writeNewFile(licenseTemporary, {image.licenseBegin, licenseBytes}, fault)) fail(fault, false);
    }

    std::vector<EntryJob> jobs(PAYLOAD_ENTRY_COUNT);
    for (int i = 0; i < PAYLOAD_ENTRY_COUNT; ++i) {
        jobs[i].key = PAYLOAD_ENTRY_KEYS[i];
        // The installer's own lookup: what it finds is what it would install.
        const EntryLookup found = lookupEntry(image.regions, jobs[i].key, jobs[i].header);
        if (found != LOOKUP_FOUND) {
            jobs[i].header = nullptr;
            jobs[i].corrupted = true;
            jobs[i].fault = std::string("corrupted: ") + tools::lookupFault(found);
        }
    }
    if (!unreadable) runEntryJobs(jobs, image, mode, folder, threads);

    uint64_t total = 0;
    for (const EntryJob& job : jobs) {
        if (job.corrupted || job.unreadable) {
            fail(std::string(job.key) + ": " + job.fault, job.corrupted);
            continue;
        }
        if (job.header == nullptr || unreadable) continue;
        const uint32_t size = readEntrySize(job.header);
        total += size;
        char line[160];
        std::snprintf(line, sizeof line, "%-18s %15s bytes  hash %s  verified%s\n", job.key, groupedDigits(size).c_str(),
                      tools::hex32(readEntryHash(job.header)).c_str(), compares ? ", same as the folder's" : "");
        result.out += line;
    }

    std::error_code ignored;
    if (corrupted || unreadable) {
        for (const EntryJob& job : jobs)
            if (!job.temporary.empty()) std::filesystem::remove(job.temporary, ignored);
        if (!licenseTemporary.empty()) std::filesystem::remove(licenseTemporary, ignored);
        result.code = corrupted ? INSPECT_CORRUPTED : INSPECT_UNREADABLE;
        return result;
    }
    if (extracts) {
        std::vector<std::pair<std::string, std::string>> renames = {{licenseTemporary, folder + "/" PAYLOAD_LICENSE_FILE}};
        for (const EntryJob& job : jobs) renames.emplace_back(job.temporary, folder + "/" + job.key);
        for (const auto& [from, to] : renames) {
            if (::rename(from.c_str(), to.c_str()) != 0) {
                result.errors += tools::systemError(to, "cannot replace") + "\n";
                result.code = INSPECT_UNREADABLE;
                return result;
            }
        }
        result.out += "extracted " PAYLOAD_LICENSE_FILE " and the 5 entries (" + groupedDigits(total) + " bytes) to " +
                      folder + "\n";
        return result;
    }
    result.out += "verified: " PAYLOAD_LICENSE_FILE " (" + groupedDigits(licenseBytes) + " bytes) and the 5 entries (" +
                  groupedDigits(total) + " bytes), every hash as the directory gives it";
    result.out += compares ? ", every byte as in " + folder + "\n" : "\n";
    return result;
}

}  // namespace

InspectResult verifyPayload(const PayloadImageView& image, const std::string& folder, unsigned threads) {
    return checkPayload(image, CheckMode::VERIFY, folder, threads);
}

InspectResult extractPayload(const PayloadImageView& image, const std::string& outFolder, unsigned threads) {
    return checkPayload(image, CheckMode::EXTRACT, outFolder, threads);
}
