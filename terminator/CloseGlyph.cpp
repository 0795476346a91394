#include "terminator/CloseGlyph.h"

#include <cstdlib>

#include "base/DibSection.h"
#include "base/UniqueHandle.h"

namespace swt {

namespace {
constexpr COLORREF kSalmon = RGB(246, 160, 140);
constexpr COLORREF kDeepRed = RGB(197, 80, 54);
constexpr COLORREF kWhite = RGB(255, 255, 255);
// The darkest row: just below the middle row (9).
constexpr int kDeepRow = 10;
// The cross keeps this many pixels of red between its arm ends and the edges.
constexpr int kCrossInset = 4;

int Mix(int from, int to, int step, int steps) { return from + (to - from) * step / steps; }

COLORREF Shade(int y) {
    const int last = kCloseGlyphSize - 1;
    const int steps = y <= kDeepRow ? kDeepRow : last - kDeepRow;
    const int step = y <= kDeepRow ? y : last - y;  // 0 at an edge, steps at the deep row
    return RGB(Mix(GetRValue(kSalmon), GetRValue(kDeepRed), step, steps),
               Mix(GetGValue(kSalmon), GetGValue(kDeepRed), step, steps),
               Mix(GetBValue(kSalmon), GetBValue(kDeepRed), step, steps));
}
}  // namespace

CloseGlyphPixels DrawCloseGlyph() {
    CloseGlyphPixels p{};
    const int last = kCloseGlyphSize - 1;
    for (int y = 0; y < kCloseGlyphSize; ++y) {
        for (int x = 0; x < kCloseGlyphSize; ++x) {
            COLORREF c = Shade(y);
            const bool inCross = x >= kCrossInset && x <= last - kCrossInset && y >= kCrossInset &&
                                 y <= last - kCrossInset && (std::abs(x - y) <= 1 || std::abs(x + y - last) <= 1);
            if (inCross) c = kWhite;
            const bool corner = (x == 0 || x == last) && (y == 0 || y == last);
            if (corner) c = kCloseGlyphTransparent;
            p[y * kCloseGlyphSize + x] = c;
        }
    }
    return p;
}

HBITMAP CreateCloseGlyphBitmap() {
    void* bits = nullptr;
    UniqueBitmap bitmap = CreateDibSection(nullptr, kCloseGlyphSize, kCloseGlyphSize, 24, &bits);
    if (!bitmap || !bits) return nullptr;
    const CloseGlyphPixels pixels = DrawCloseGlyph();
    const int stride = (kCloseGlyphSize * 3 + 3) & ~3;
    auto* rows = static_cast<BYTE*>(bits);
    for (int y = 0; y < kCloseGlyphSize; ++y) {
        BYTE* row = rows + y * stride;
        for (int x = 0; x < kCloseGlyphSize; ++x) {
            const COLORREF c = GlyphPixel(pixels, x, y);
            row[x * 3 + 0] = GetBValue(c);
            row[x * 3 + 1] = GetGValue(c);
            row[x * 3 + 2] = GetRValue(c);
        }
    }
    ::GdiFlush();
    return bitmap.release();
}

}  // namespace swt
