// The window's three status pictures: drawn in code, 16 x 16 with alpha.
#include <gtest/gtest.h>

#include "updater/StatusImages.h"

namespace swt {
namespace {

TEST(StatusImages, ThreeDistinctPicturesOpaqueInsideTransparentAtTheCorners) {
    const TStatusImage all[] = {siKill, siClose, siForeground};
    for (TStatusImage image : all) {
        SCOPED_TRACE(static_cast<int>(image));
        const auto px = StatusImagePixels(image);
        EXPECT_EQ(px[0] >> 24, 0u);                                // corner
        EXPECT_EQ(px[8 * kStatusImageSize + 3] >> 24, 255u);       // inside the disc
        EXPECT_TRUE(StatusImageIcon(image));
        for (TStatusImage other : all)
            if (other != image) EXPECT_NE(px, StatusImagePixels(other));
    }
}

}  // namespace
}  // namespace swt
