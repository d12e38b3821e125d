#include "tools/packer/payload_inputs.h"

#include <cerrno>
#include <sys/mman.h>
#include <unistd.h>

#include "tools/packer/license_check.h"
#include "tools/packer/pack_error.h"
#include "tools/packer/signal_cleanup.h"
#include "tools/shared/host_files.h"

namespace packer {

namespace {

using tools::systemError;

// Opens a regular file for reading and returns its descriptor and size (tools::openForReading).
int openRegular(const std::string& path, uint64_t& size) {
    tools::OpenFault fault;
    int fd = tools::openForReading(path, size, fault);
    if (fault == tools::OPEN_FAILED) throw PackError(systemError(path, errno == ENOENT ? "missing" : "cannot open"));
    if (fault == tools::STAT_FAILED) throw PackError(systemError(path, "cannot read"));
    if (fd < 0) throw PackError(path + ": cannot read: not a regular file");
    return fd;
}

}  // namespace

PayloadInputs::~PayloadInputs() {
    for (MappedFile& file : files) {
        if (file.size != 0 && file.data != nullptr) ::munmap(const_cast<uint8_t*>(file.data), file.size);
        if (file.fd >= 0) {
            unregisterInput(file.fd);
            ::close(file.fd);
        }
    }
}

std::unique_ptr<PayloadInputs> loadPayloadInputs(const std::string& payloadDir, const PackLimits& limits) {
    auto inputs = std::make_unique<PayloadInputs>();
    inputs->licensePath = payloadDir + "/license.txt";

    uint64_t licenseSize = 0;
    int licenseFd = openRegular(inputs->licensePath, licenseSize);
    if (licenseSize > limits.maxImageSize) {
        ::close(licenseFd);
        throw PackError(inputs->licensePath + ": " + std::to_string(licenseSize) + " bytes cannot fit in the " +
                        std::to_string(limits.maxImageSize) + " bytes of an installer's PayloadImage");
    }
    inputs->license.resize(licenseSize);
    uint64_t done = 0;
    while (done < licenseSize) {
        ssize_t n = ::read(licenseFd, inputs->license.data() + done, licenseSize - done);
        if (n <= 0) {
            std::string message = n == 0 ? inputs->licensePath + ": cannot read: file shrank while reading"
                                         : systemError(inputs->licensePath, "cannot read");
            ::close(licenseFd);
            throw PackError(message);
        }
        done += uint64_t(n);
    }
    ::close(licenseFd);
    LicenseFault fault = checkLicenseText(inputs->license);
    if (!fault.ok)
        throw PackError(inputs->licensePath + ":" + std::to_string(fault.line) + ":" + std::to_string(fault.column) +
                        ": " + fault.reason);

    for (int i = 0; i < PAYLOAD_ENTRY_COUNT; ++i) {
        MappedFile& file = inputs->files[i];
        file.path = payloadDir + "/" + PAYLOAD_ENTRY_KEYS[i];
        file.fd = openRegular(file.path, file.size);
        registerInput(file.path.c_str(), file.fd, file.size);
        if (file.size > limits.maxFileSize)
            throw PackError(file.path + ": " + std::to_string(file.size) + " bytes is more than the " +
                            std::to_string(limits.maxFileSize) + " bytes an entry can hold");
        if (file.size == 0) continue;
        // Not populated here: the threads that read the mappings take the faults side by side. WILLNEED
        // starts read-ahead for files that are not in the page cache yet.
        void* address = ::mmap(nullptr, file.size, PROT_READ, MAP_PRIVATE, file.fd, 0);
        if (address == MAP_FAILED) throw PackError(systemError(file.path, "cannot read"));
        ::madvise(address, file.size, MADV_WILLNEED);
        file.data = static_cast<const uint8_t*>(address);
    }
    return inputs;
}

}  // namespace packer
