#include "components/ColorHLS.h"

#include <algorithm>
#include <cmath>

namespace swt {

namespace {
// Nearest whole number, halves to the even neighbour (the default floating-point rounding).
int RoundEven(double v) { return static_cast<int>(std::nearbyint(v)); }

COLORREF Rgb(TColor c) { return ColorToRGB(c, RGB(0, 0, 0)); }
}  // namespace

THLSColor ColorToHLS(TColor color) {
    const COLORREF c = Rgb(color);
    const double r = GetRValue(c) / 255.0, g = GetGValue(c) / 255.0, b = GetBValue(c) / 255.0;
    const double mx = std::max({r, g, b}), mn = std::min({r, g, b});
    const double l = (mx + mn) / 2;
    THLSColor out;
    if (mx == mn) {
        out.L = static_cast<uint8_t>(RoundEven(l * 240));
        return out;
    }
    const double d = mx - mn;
    const double s = l <= 0.5 ? d / (mx + mn) : d / (2 - mx - mn);
    double h = 0;
    // When two channels share the maximum the later test wins: blue over green over red.
    if (r == mx) h = (g - b) / d;
    if (g == mx) h = 2 + (b - r) / d;
    if (b == mx) h = 4 + (r - g) / d;
    int hue = RoundEven(h * 40);
    if (h * 40 < 0) hue += 240;
    out.H = static_cast<uint8_t>(hue);
    out.S = static_cast<uint8_t>(RoundEven(s * 240));
    out.L = static_cast<uint8_t>(RoundEven(l * 240));
    return out;
}

TColor HLSToColor(THLSColor hls) {
    const double hd = hls.H * 360.0 / 240.0, s = hls.S / 240.0, l = hls.L / 240.0;
    if (s == 0) {
        const int v = RoundEven(l * 255);
        return RGB(v, v, v);
    }
    const double m2 = l <= 0.5 ? l * (1 + s) : l + s - l * s;
    const double m1 = 2 * l - m2;
    auto value = [&](double x) {
        if (x > 360) x -= 360;
        else if (x < 0) x += 360;
        double v;
        if (x < 60) v = m1 + (m2 - m1) * x / 60;
        else if (x < 180) v = m2;
        else if (x < 240) v = m1 + (m2 - m1) * (240 - x) / 60;
        else v = m1;
        return std::clamp(RoundEven(v * 255), 0, 255);
    };
    return RGB(value(hd + 120), value(hd), value(hd - 120));
}

TColor BlendColors(TColor a, TColor b, double x) {
    const COLORREF ca = Rgb(a), cb = Rgb(b);
    auto channel = [&](int va, int vb) {
        const float v = static_cast<float>(va + (vb - va) * (1 - x));
        if (v > 255) return 255;
        if (v < 0) return 0;
        return static_cast<int>(std::nearbyint(v));
    };
    return RGB(channel(GetRValue(ca), GetRValue(cb)), channel(GetGValue(ca), GetGValue(cb)),
               channel(GetBValue(ca), GetBValue(cb)));
}

}  // namespace swt
