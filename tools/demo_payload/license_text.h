// The demo payload's license text: this product's own end-user license, CR LF line breaks.
#pragma once
#include <span>

extern const std::span<const unsigned char> demoLicenseText;
