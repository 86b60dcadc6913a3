#include "ui/UiHarness.h"

namespace orvanta {
namespace {

using namespace test;

// The window shows the program's icon: the renders of ui/orvanta.svg, linked into the
// interface as resources, at every size from a menu's 16 pixels to a task switcher's 256,
// each the drawing (a blue tile with rounded corners) and not an empty picture.
TEST_F(UiTest, WindowShowsTheProgramsIcon) {
    const QIcon icon = window->windowIcon();
    const QList<QSize> sizes = icon.availableSizes();
    for (const int side : {16, 22, 24, 32, 48, 64, 128, 256}) {
        SCOPED_TRACE(side);
        ASSERT_TRUE(sizes.contains(QSize(side, side)));
        const QImage image = icon.pixmap(QSize(side, side), 1.0).toImage();
        ASSERT_EQ(image.size(), QSize(side, side));
        EXPECT_LT(qAlpha(image.pixel(0, 0)), 16);  // the corner rounded off
        const QColor tile = image.pixelColor(side / 2, 1);
        EXPECT_EQ(tile.alpha(), 255);
        EXPECT_GT(tile.blue(), tile.red() + 64);
    }
}

}  // namespace
}  // namespace orvanta
