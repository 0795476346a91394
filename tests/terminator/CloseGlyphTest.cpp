// The close glyph drawn in code: the parts the window relies on (transparent corners, the cross, the shade).
#include <gtest/gtest.h>

#include <cstdlib>

#include "terminator/CloseGlyph.h"

namespace {

TEST(CloseGlyph, CornersAreTheTransparentColourAndTheCrossIsWhiteOnRed) {
    const swt::CloseGlyphPixels p = swt::DrawCloseGlyph();
    const int last = swt::kCloseGlyphSize - 1;
    // The bottom-left pixel decides the transparent colour; all four corners are magenta, nothing else is.
    EXPECT_EQ(swt::GlyphPixel(p, 0, last), swt::kCloseGlyphTransparent);
    int magenta = 0;
    for (COLORREF c : p) magenta += c == swt::kCloseGlyphTransparent;
    EXPECT_EQ(magenta, 4);
    for (auto [x, y] : {std::pair{0, 0}, {last, 0}, {0, last}, {last, last}})
        EXPECT_EQ(swt::GlyphPixel(p, x, y), swt::kCloseGlyphTransparent) << x << "," << y;

    // The cross: white along both diagonals through the centre, three pixels across.
    const COLORREF white = RGB(255, 255, 255);
    EXPECT_EQ(swt::GlyphPixel(p, 9, 9), white);
    for (int y = 5; y <= last - 5; ++y) {
        SCOPED_TRACE(y);
        EXPECT_EQ(swt::GlyphPixel(p, y - 1, y), white);
        EXPECT_EQ(swt::GlyphPixel(p, y, y), white);
        EXPECT_EQ(swt::GlyphPixel(p, y + 1, y), white);
        if (std::abs(2 * y + 2 - last) > 1) {  // off the other arm
            EXPECT_NE(swt::GlyphPixel(p, y + 2, y), white);
        }
        EXPECT_EQ(swt::GlyphPixel(p, last - y, y), white);
    }

    // Red everywhere off the cross: deepest just below the middle, lighter towards top and bottom.
    auto red = [&](int y) { return GetRValue(swt::GlyphPixel(p, 1, y)); };
    auto green = [&](int y) { return GetGValue(swt::GlyphPixel(p, 1, y)); };
    EXPECT_EQ(swt::GlyphPixel(p, 1, 10), RGB(197, 80, 54));
    for (int y = 0; y < 10; ++y) EXPECT_GT(green(y), green(y + 1)) << y;
    for (int y = 10; y < last; ++y) EXPECT_LT(green(y), green(y + 1)) << y;
    for (int y = 0; y <= last; ++y) EXPECT_GT(red(y), green(y) + 60) << y;
}

TEST(CloseGlyph, BitmapIs19By19WithThePixels) {
    HBITMAP bitmap = swt::CreateCloseGlyphBitmap();
    ASSERT_NE(bitmap, nullptr);
    BITMAP info{};
    ASSERT_TRUE(::GetObjectW(bitmap, sizeof info, &info));
    EXPECT_EQ(info.bmWidth, 19);
    EXPECT_EQ(info.bmHeight, 19);
    EXPECT_EQ(info.bmBitsPixel, 24);
    HDC dc = ::CreateCompatibleDC(nullptr);
    HGDIOBJ old = ::SelectObject(dc, bitmap);
    EXPECT_EQ(::GetPixel(dc, 0, 18), RGB(255, 0, 255));
    EXPECT_EQ(::GetPixel(dc, 9, 9), RGB(255, 255, 255));
    EXPECT_EQ(::GetPixel(dc, 1, 10), RGB(197, 80, 54));
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
    ::DeleteObject(bitmap);
}

}  // namespace
