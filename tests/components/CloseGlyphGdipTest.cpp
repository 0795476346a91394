// The GDI+ wrapper through its one use: the task button's close glyph.
#include <gtest/gtest.h>

#include "components/TaskCloseGlyph.h"
#include "components/VeltraGDIPOBJ.h"

using namespace swt;

namespace {

bool Whitish(COLORREF c) { return GetRValue(c) > 235 && GetGValue(c) > 200 && GetBValue(c) > 200; }

TEST(CloseGlyphGdip, WhiteCrossOnCloseRedAtEachScale) {
    GdiplusLibrary gdiplus;
    ASSERT_EQ(gdiplus.StartupStatus(), GpOk);
    struct Case { double f; int w, h; };
    for (const Case c : {Case{1.0, 28, 16}, {1.25, 35, 20}, {1.5, 42, 24}, {1.75, 49, 28}, {2.0, 56, 32}}) {
        const TPngImage g = CreateCloseGlyph(28, 16, c.f);
        ASSERT_EQ(g.Width(), c.w) << c.f;
        ASSERT_EQ(g.Height(), c.h) << c.f;
        EXPECT_FALSE(g.HasAlpha());
        for (auto [x, y] : {std::pair{0, 0}, {c.w - 1, 0}, {0, c.h - 1}, {c.w - 1, c.h - 1}, {2, c.h / 2}})
            EXPECT_EQ(g.Pixel(x, y), kCloseRed) << c.f << " at " << x << "," << y;
        // The lines cross at (w/2 - 0.5, h/2 - 0.5) and reach min(w, h)/3.5 from there.
        const double e = std::min(c.w, c.h) / 3.5;
        const int cx = c.w / 2, cy = c.h / 2;
        EXPECT_TRUE(Whitish(g.Pixel(cx, cy)) || Whitish(g.Pixel(cx - 1, cy - 1))) << c.f;
        const int ex = static_cast<int>(c.w / 2.0 - 0.5 + e * 0.7), ey = static_cast<int>(c.h / 2.0 - 0.5 + e * 0.7);
        EXPECT_TRUE(Whitish(g.Pixel(ex, ey)) || Whitish(g.Pixel(ex, ey + 1)) || Whitish(g.Pixel(ex + 1, ey)))
            << c.f << " arm at " << ex << "," << ey;
    }
}

TEST(CloseGlyphGdip, HalvesRoundToEven) {
    GdiplusLibrary gdiplus;
    // 28 x 1.125 = 31.5 -> 32, 16 x 1.125 = 18; 10 x 0.25 = 2.5 -> 2.
    EXPECT_EQ(CreateCloseGlyph(28, 16, 1.125).Width(), 32);
    EXPECT_EQ(CreateCloseGlyph(10, 10, 0.25).Width(), 2);
    EXPECT_EQ(CreateCloseGlyph(14, 10, 0.25).Width(), 4);  // 3.5 -> 4
}

// A graphics object that cannot be made keeps its status; drawing through it fails quietly.
TEST(CloseGlyphGdip, FailedObjectsKeepTheirStatus) {
    GdiplusLibrary gdiplus;
    std::unique_ptr<TGPPen> pen(new TGPPen(0xFFFFFFFF, 1.0f));
    EXPECT_EQ(pen->GetLastStatus(), GpOk);
    EXPECT_EQ(pen->SetWidth(1.7f), GpOk);
    std::unique_ptr<TGPGraphics> g(new TGPGraphics(nullptr));
    const GpStatus created = g->GetLastStatus();
    EXPECT_NE(created, GpOk);
    EXPECT_NE(g->SetSmoothingMode(SmoothingModeAntiAlias), GpOk);
    EXPECT_NE(g->DrawLine(*pen, 0, 0, 5, 5), GpOk);
    EXPECT_NE(g->GetLastStatus(), GpOk);
}

}  // namespace
