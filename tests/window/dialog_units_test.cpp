// SPDX-License-Identifier: GPL-2.0-or-later
// Dialog units against numbers worked out by hand, so that the window tests'
// expected places rest on more than the conversion they check.
#include <gtest/gtest.h>
#include <QRect>

#include "ui/window/dialog_units.h"

namespace chipbox::window {
namespace {

// A quarter of the base width across, an eighth of its height down; each
// edge rounded to the nearest pixel, halves away from zero.
TEST(DialogUnits, EachEdgeIsRoundedToTheNearestPixel) {
    struct Case {
        DialogBaseUnits base;
        QRect units, pixels;
    };
    const Case cases[] = {
        // 182 x 75 units at 6 x 13: 273 x 121.875
        {{6, 13}, {0, 0, 182, 75}, {0, 0, 273, 122}},
        // left 17.5, top 100, right 96.25, bottom 126
        {{7, 16}, {10, 50, 45, 13}, {18, 100, 78, 26}},
        // left 281.25, top 8.125, right 343.75, bottom 30.875
        {{5, 13}, {225, 5, 50, 14}, {281, 8, 63, 23}},
        // left -4.5, top -8.125, right -1.5, bottom -4.875
        {{6, 13}, {-3, -5, 2, 2}, {-5, -8, 3, 3}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MapDialogRect(c.units, c.base), c.pixels)
            << c.units.x() << ',' << c.units.y() << ' ' << c.base.width << 'x' << c.base.height;
}

// Neighbours whose units meet meet in pixels too, however the edges round.
TEST(DialogUnits, RectanglesThatMeetInUnitsMeetInPixels) {
    const DialogBaseUnits base{7, 15};
    for (int x = 0; x < 40; ++x) {
        const QRect left = MapDialogRect({x, 3, 13, 9}, base);
        const QRect right = MapDialogRect({x + 13, 12, 5, 7}, base);
        EXPECT_EQ(left.right() + 1, right.left()) << x;
        EXPECT_EQ(left.bottom() + 1, right.top()) << x;
    }
}

}  // namespace
}  // namespace chipbox::window
