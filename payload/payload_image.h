// The PayloadImage's addresses, defined by the object the packer generates (or by a test's own payload).
#pragma once
#include <stdint.h>

extern "C" {
extern const uint8_t payloadDescriptor[];  // the section's descriptor (payload_format.h)
extern const uint8_t licenseTextBegin[];
extern const uint8_t licenseTextEnd[];
extern const uint8_t chunkStoreBegin[];
extern const uint8_t chunkStoreEnd[];
extern const uint8_t directoryBegin[];
extern const uint8_t directoryEnd[];
}
