// The centring arithmetic: half the difference of the two spans, truncated toward zero.
#include <gtest/gtest.h>
#include "dialogs/centring.h"

TEST(Centring, PlacesTheCornerFromWorkAreaAndWindow) {
    struct Case { ScreenBounds work, window; ScreenPoint expected; };
    const Case cases[] = {
        {{0, 0, 1920, 1040}, {0, 0, 600, 400}, {660, 320}},
        {{0, 0, 1921, 1041}, {0, 0, 600, 400}, {660, 320}},          // odd sums: 660.5, 320.5
        {{-1921, -1041, 0, 0}, {0, 0, 600, 400}, {-1260, -720}},     // -1260.5, -720.5 toward zero
        {{-1920, 0, 0, 1080}, {0, 0, 600, 400}, {-1260, 340}},       // a monitor left of the primary
        {{0, 0, 1920, 1040}, {100, 50, 700, 450}, {560, 270}},       // the formula assumes a corner at 0, 0
        {{0, 0, 0, 0}, {0, 0, 601, 401}, {-300, -200}},              // GetMonitorInfoW failed: all zeros
        {{0, 0, 2147483647, 0}, {-10, 0, 0, 0}, {-1073741819, 0}},   // wraps like 32-bit registers
    };
    for (const Case& c : cases) {
        const ScreenPoint p = centredPosition(c.work, c.window);
        EXPECT_EQ(p.x, c.expected.x) << "work " << c.work.left << ".." << c.work.right;
        EXPECT_EQ(p.y, c.expected.y) << "work " << c.work.top << ".." << c.work.bottom;
    }
}
