#include "dialogs/centring.h"

// Sum and differences wrap in 32 bits as the machine's own arithmetic would, without signed overflow.
static int32_t halfOfSpan(int32_t a, int32_t b, int32_t c, int32_t d) {
    return int32_t(uint32_t(a) + uint32_t(b) - uint32_t(c) - uint32_t(d)) / 2;
}

ScreenPoint centredPosition(const ScreenBounds& work, const ScreenBounds& window) {
    return {halfOfSpan(work.left, work.right, window.left, window.right),
            halfOfSpan(work.top, work.bottom, window.top, window.bottom)};
}
