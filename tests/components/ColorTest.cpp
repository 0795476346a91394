// The HLS colour model on the 0-240 scale and the colour blend.
#include <gtest/gtest.h>

#include <cstdlib>

#include "components/ColorHLS.h"

using namespace swt;

namespace {

std::string Text(THLSColor c) {
    return std::to_string(c.H) + "/" + std::to_string(c.S) + "/" + std::to_string(c.L);
}

TEST(ColorHLS, KnownColours) {
    struct Case { TColor c; THLSColor hls; };
    const Case cases[] = {
        {RGB(0, 0, 128), {160, 240, 60}},    // navy
        {RGB(255, 255, 255), {0, 0, 240}},
        {RGB(0, 0, 0), {0, 0, 0}},
        {RGB(128, 128, 128), {0, 0, 120}},   // 120.47
        {RGB(255, 0, 0), {0, 240, 120}},
        {RGB(0, 128, 0), {80, 240, 60}},
        {RGB(255, 0, 255), {200, 240, 120}}, // red and blue share the maximum: blue wins
        {RGB(255, 255, 0), {40, 240, 120}},  // red and green share it: green wins
        {RGB(255, 0, 128), {220, 240, 120}}, // negative sector: 240 added
    };
    for (const Case& c : cases) EXPECT_EQ(ColorToHLS(c.c), c.hls) << std::hex << c.c << " got " << Text(ColorToHLS(c.c));
}

TEST(ColorHLS, SystemColoursResolveFirst) {
    EXPECT_EQ(ColorToHLS(clWindowText), ColorToHLS(::GetSysColor(COLOR_WINDOWTEXT)));
    EXPECT_EQ(ColorToHLS(clBtnFace), ColorToHLS(::GetSysColor(COLOR_BTNFACE)));
}

TEST(ColorHLS, BackToRgb) {
    struct Case { THLSColor hls; TColor c; };
    const Case cases[] = {
        {{160, 240, 60}, RGB(0, 0, 128)},  // 127.5 to the even neighbour
        {{0, 0, 240}, RGB(255, 255, 255)},
        {{0, 0, 120}, RGB(128, 128, 128)},
        {{80, 240, 60}, RGB(0, 128, 0)},
        {{0, 240, 120}, RGB(255, 0, 0)},
    };
    for (const Case& c : cases) EXPECT_EQ(HLSToColor(c.hls), c.c) << Text(c.hls) << " got " << std::hex << HLSToColor(c.hls);
}

// A colour taken to HLS and back lands within one step of the 0-240 scale: its luminance within
// one step, and each channel within 3 (hue, saturation and luminance each quantised to about
// 255/240 of a channel).
TEST(ColorHLS, RoundTripsOverAGridStayWithinOneStep) {
    for (int r = 0; r <= 255; r += 15)
        for (int g = 0; g <= 255; g += 15)
            for (int b = 0; b <= 255; b += 15) {
                const THLSColor a = ColorToHLS(RGB(r, g, b));
                const COLORREF back = HLSToColor(a);
                const int d = std::max({std::abs(GetRValue(back) - r), std::abs(GetGValue(back) - g),
                                        std::abs(GetBValue(back) - b)});
                ASSERT_LE(d, 3) << r << "," << g << "," << b << ": " << Text(a);
                ASSERT_LE(std::abs(ColorToHLS(back).L - a.L), 1) << r << "," << g << "," << b;
                // Greys stay grey.
                if (r == g && g == b) ASSERT_TRUE(GetRValue(back) == GetGValue(back) && GetGValue(back) == GetBValue(back));
            }
}

TEST(ColorHLS, BlendWeightsAndClamping) {
    const TColor a = RGB(200, 100, 0), b = RGB(0, 100, 200);
    struct Case { double x; TColor expected; };
    const Case cases[] = {
        {1.0, a},
        {0.0, b},
        {0.75, RGB(150, 100, 50)},
        {0.5, RGB(100, 100, 100)},
        {2.0, RGB(255, 100, 0)},   // 200 + (0 - 200) x (1 - 2) = 400 -> 255; 0 - 200 -> 0
        {-1.0, RGB(0, 100, 255)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BlendColors(a, b, c.x), c.expected) << c.x << " got " << std::hex << BlendColors(a, b, c.x);
    // Halves go to the even neighbour: 0.5 -> 0, 1.5 -> 2.
    EXPECT_EQ(BlendColors(RGB(1, 3, 0), RGB(0, 0, 0), 0.5), RGB(0, 2, 0));
    EXPECT_EQ(BlendColors(clWindowText, clWindowText, 0.3), ::GetSysColor(COLOR_WINDOWTEXT));
}

}  // namespace
