#include "updater/StatusImages.h"

#include <algorithm>
#include <cmath>

namespace swt {

namespace {

// Coverage (0..1) of a pixel by a shape given as a signed distance (negative inside).
double Coverage(double distance) { return std::clamp(0.5 - distance, 0.0, 1.0); }

double DistanceToSegment(double px, double py, double ax, double ay, double bx, double by) {
    const double dx = bx - ax, dy = by - ay;
    const double t = std::clamp(((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
    return std::hypot(px - (ax + t * dx), py - (ay + t * dy));
}

uint32_t Blend(uint32_t under, uint32_t rgb, double alpha) {
    const double a0 = (under >> 24) / 255.0;
    const double a = alpha + a0 * (1 - alpha);
    if (a <= 0) return 0;
    auto channel = [&](int shift) {
        const double c0 = (under >> shift) & 0xFF, c = (rgb >> shift) & 0xFF;
        return static_cast<uint32_t>(std::lround((c * alpha + c0 * a0 * (1 - alpha)) / a)) << shift;
    };
    return static_cast<uint32_t>(std::lround(a * 255)) << 24 | channel(16) | channel(8) | channel(0);
}

}  // namespace

std::array<uint32_t, kStatusImageSize * kStatusImageSize> StatusImagePixels(TStatusImage image) {
    std::array<uint32_t, kStatusImageSize * kStatusImageSize> px{};
    // Kill: a red disc with a white cross; close: an amber disc with a white bar; bring to front:
    // a blue disc with a white arrow pointing up.
    const uint32_t disc = image == siKill ? 0xD03030 : image == siClose ? 0xE89A1C : 0x2F74D0;
    for (int y = 0; y < kStatusImageSize; ++y)
        for (int x = 0; x < kStatusImageSize; ++x) {
            const double cx = x + 0.5, cy = y + 0.5;
            uint32_t& p = px[static_cast<size_t>(y * kStatusImageSize + x)];
            p = Blend(p, disc, Coverage(std::hypot(cx - 8, cy - 8) - 7.5));
            double mark = 1e9;
            if (image == siKill) {
                mark = std::min(DistanceToSegment(cx, cy, 5, 5, 11, 11), DistanceToSegment(cx, cy, 11, 5, 5, 11)) - 1.1;
            } else if (image == siClose) {
                mark = DistanceToSegment(cx, cy, 4.5, 8, 11.5, 8) - 1.3;
            } else {
                mark = std::min({DistanceToSegment(cx, cy, 8, 4.5, 8, 12), DistanceToSegment(cx, cy, 8, 4.5, 4.5, 8),
                                 DistanceToSegment(cx, cy, 8, 4.5, 11.5, 8)}) -
                       1.1;
            }
            p = Blend(p, 0xFFFFFF, Coverage(mark) * Coverage(std::hypot(cx - 8, cy - 8) - 7.5));
        }
    return px;
}

UniqueIcon StatusImageIcon(TStatusImage image) {
    const auto pixels = StatusImagePixels(image);
    BITMAPV5HEADER h{};
    h.bV5Size = sizeof h;
    h.bV5Width = kStatusImageSize;
    h.bV5Height = -kStatusImageSize;
    h.bV5Planes = 1;
    h.bV5BitCount = 32;
    h.bV5Compression = BI_BITFIELDS;
    h.bV5RedMask = 0x00FF0000;
    h.bV5GreenMask = 0x0000FF00;
    h.bV5BlueMask = 0x000000FF;
    h.bV5AlphaMask = 0xFF000000;
    void* bits = nullptr;
    WindowDc screen(nullptr);
    UniqueBitmap color(::CreateDIBSection(screen.get(), reinterpret_cast<BITMAPINFO*>(&h), DIB_RGB_COLORS, &bits,
                                          nullptr, 0));
    UniqueBitmap mask(::CreateBitmap(kStatusImageSize, kStatusImageSize, 1, 1, nullptr));
    if (!color || !mask || !bits) return {};
    std::copy(pixels.begin(), pixels.end(), static_cast<uint32_t*>(bits));
    ICONINFO info{};
    info.fIcon = TRUE;
    info.hbmColor = color.get();
    info.hbmMask = mask.get();
    return UniqueIcon(::CreateIconIndirect(&info));
}

}  // namespace swt
