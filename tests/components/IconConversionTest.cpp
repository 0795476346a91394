// Icons of executables built for the tests, turned into pictures whose transparency survives;
// bitmaps with a fixed or automatic transparent colour; the copy of a picture.
#include <gtest/gtest.h>
#include <windows.h>

#include "components/XGraphic.h"
#include "tests/common/TestSupport.h"
#include "ui/Image.h"

using namespace swt;
using swt::test::BinPath;

namespace {

std::unique_ptr<TPngImage> FirstIconOf(const wchar_t* exe) {
    TIcon icon;
    if (!ExtractFileIcon(BinPath(exe), 0, icon)) return nullptr;
    return GraphicToPng(icon);
}

// Whether this system reads the icon's own alpha bytes (32-bit display, NT 5.1 or later).
bool AlphaReadable() {
    WindowDc screen(nullptr);
    return ::GetDeviceCaps(screen.get(), BITSPIXEL) == 32 && IsAlphaIconPlatform();
}

TEST(IconFile, CountAndExtract) {
    struct Case { std::wstring path; int count; bool extracts; };
    const Case cases[] = {
        {BinPath(L"icon_alpha.exe"), 1, true},
        {BinPath(L"icon_mask.exe"), 1, true},
        {BinPath(L"icon_none.exe"), 0, false},
        {BinPath(L"no_such_program.exe"), -1, false},
        {L"", -1, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GetIconCount(c.path), c.count) << std::string(c.path.begin(), c.path.end());
        TIcon icon;
        EXPECT_EQ(ExtractFileIcon(c.path, 0, icon), c.extracts);
        EXPECT_EQ(icon.Empty(), !c.extracts);
    }
    TIcon icon;
    EXPECT_FALSE(ExtractFileIcon(BinPath(L"icon_alpha.exe"), 1, icon)) << "index beyond the last icon";
}

TEST(IconToPng, AlphaChannelSurvivesWithPartialValues) {
    if (!AlphaReadable()) GTEST_SKIP() << "display below 32 bits per pixel";
    auto png = FirstIconOf(L"icon_alpha.exe");
    ASSERT_TRUE(png);
    ASSERT_EQ(png->Width(), 32);
    ASSERT_EQ(png->Height(), 32);
    ASSERT_TRUE(png->HasAlpha());
    // Alpha by column band of 8: 0, 128, 200, 255, on every row.
    const int bands[] = {0, 128, 200, 255};
    for (int y : {0, 15, 31})
        for (int x = 0; x < 32; x += 3) EXPECT_EQ(png->Alpha(x, y), bands[x / 8]) << x << "," << y;
    // The opaque band keeps its colour exactly.
    EXPECT_EQ(png->Pixel(28, 10), RGB(200, 40, 40));
}

TEST(IconToPng, AndMaskOnlyIconGetsTransparencyFromTheMask) {
    auto png = FirstIconOf(L"icon_mask.exe");
    ASSERT_TRUE(png);
    ASSERT_EQ(png->Width(), 32);
    ASSERT_TRUE(png->HasAlpha());
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const bool transparent = x + y < 16 || x >= 28;
            ASSERT_EQ(png->Alpha(x, y), transparent ? 0 : 255) << x << "," << y;
        }
    EXPECT_EQ(png->Pixel(20, 20), RGB(30, 90, 210));
}

// Without one transparent pixel an icon still gets an alpha channel on a 32-bit display of an
// alpha platform (all opaque); elsewhere it gets none.
TEST(IconToPng, OpaqueIconIsOpaque) {
    auto png = FirstIconOf(L"icon_opaque.exe");
    ASSERT_TRUE(png);
    EXPECT_EQ(png->HasAlpha(), AlphaReadable());
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) ASSERT_EQ(png->Alpha(x, y), 255) << x << "," << y;
    EXPECT_EQ(png->Pixel(5, 5), RGB(20, 150, 60));
}

TEST(IconToPng, EmptyIconGivesAnEmptyPicture) {
    TIcon none;
    auto png = GraphicToPng(none);
    ASSERT_TRUE(png);
    EXPECT_TRUE(png->Empty());
}

TEST(BitmapToPng, TransparentColourBecomesAlphaZero) {
    struct Case { const char* name; bool transparent; TColor fixed; int transparentCount; };
    // A 6 x 4 bitmap: green everywhere, the bottom-left pixel and one more pixel magenta, one blue.
    const Case cases[] = {
        {"automatic: bottom-left colour", true, clDefault, 2},
        {"fixed colour", true, RGB(0, 0, 255), 1},
        {"transparency off", false, clDefault, 0},
    };
    for (const Case& c : cases) {
        TBitmap bmp(6, 4);
        bmp.Fill(TRect{0, 0, 6, 4}, RGB(0, 160, 0));
        bmp.SetPixel(0, 3, RGB(255, 0, 255));
        bmp.SetPixel(4, 0, RGB(255, 0, 255));
        bmp.SetPixel(2, 2, RGB(0, 0, 255));
        bmp.SetTransparentColor(c.fixed);
        bmp.SetTransparent(c.transparent);
        auto png = GraphicToPng(bmp);
        ASSERT_EQ(png->Width(), 6) << c.name;
        EXPECT_EQ(png->HasAlpha(), c.transparentCount > 0) << c.name;
        int zero = 0;
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 6; ++x) {
                zero += png->Alpha(x, y) == 0;
                EXPECT_EQ(png->Pixel(x, y), bmp.Pixel(x, y)) << c.name << " " << x << "," << y;
            }
        EXPECT_EQ(zero, c.transparentCount) << c.name;
    }
}

TEST(PngToPng, CopyIsIdentical) {
    TPngImage src(3, 2);
    src.SetPixel(1, 1, RGB(1, 2, 3));
    src.CreateAlpha();
    src.AlphaScanline(1)[2] = 77;
    auto copy = GraphicToPng(src);
    EXPECT_EQ(*copy, src);
    src.SetPixel(0, 0, RGB(9, 9, 9));
    EXPECT_NE(copy->Pixel(0, 0), RGB(9, 9, 9)) << "the copy is its own";
}

TEST(PngImage, DrawBlendsThroughAlpha) {
    // White under a red picture whose alpha is 0, 128 and 255 in three columns.
    TPngImage red(3, 1);
    for (int x = 0; x < 3; ++x) red.SetPixel(x, 0, RGB(255, 0, 0));
    red.CreateAlpha();
    red.AlphaScanline(0)[0] = 0;
    red.AlphaScanline(0)[1] = 128;
    TBitmap target(5, 3);
    target.Fill(TRect{0, 0, 5, 3}, RGB(255, 255, 255));
    red.Draw(target.Dc(), 1, 1);
    ::GdiFlush();
    EXPECT_EQ(target.Pixel(1, 1), RGB(255, 255, 255));
    EXPECT_EQ(target.Pixel(2, 1), RGB(255, 127, 127));
    EXPECT_EQ(target.Pixel(3, 1), RGB(255, 0, 0));
    EXPECT_EQ(target.Pixel(0, 0), RGB(255, 255, 255)) << "outside untouched";
}

}  // namespace
