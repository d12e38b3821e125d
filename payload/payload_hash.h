// payloadHash: the low 32 bits of 64-bit FNV-1a. Those bits depend only on the low 32 bits of every step,
// so the hash runs in 32-bit arithmetic from 0x84222325 with the prime's low word 0x1b3. It is not the
// 32-bit FNV-1a (different basis and prime). "" gives 0x84222325, "abc" gives 0x0541574b.
#pragma once
#include <stdint.h>

uint32_t payloadHash(const uint8_t* bytes, uint64_t length);

// Continues a hash over further bytes: payloadHash(a ++ b) == payloadHashContinue(payloadHash(a), b).
uint32_t payloadHashContinue(uint32_t hash, const uint8_t* bytes, uint64_t length);
