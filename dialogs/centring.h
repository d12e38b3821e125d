// Where a window goes so that it is centred in a work area: the arithmetic of centreOnWorkArea, without Windows.
#pragma once
#include <stdint.h>

// Screen coordinates in RECT's order (left, top, right, bottom).
struct ScreenBounds {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

struct ScreenPoint {
    int32_t x;
    int32_t y;
};

// The new top-left corner: (work.left + work.right - window.left - window.right) / 2, and the same vertically,
// in wrapping 32-bit arithmetic, the division truncating toward zero. It centres a window whose corner is at 0, 0.
ScreenPoint centredPosition(const ScreenBounds& work, const ScreenBounds& window);
