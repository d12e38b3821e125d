// The one error type of the packer: a message for the user that names the file at fault.
#pragma once
#include <stdexcept>
#include <string>

namespace packer {

struct PackError : std::runtime_error {
    explicit PackError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace packer
