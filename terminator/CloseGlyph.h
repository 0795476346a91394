// The countdown window's close glyph: a 19 x 19 picture drawn in code, no resource file.
#pragma once
#include <windows.h>

#include <array>
#include <cstdint>

namespace swt {

inline constexpr int kCloseGlyphSize = 19;
// The glyph's transparent colour, found in its corner pixels; the header shows through there.
inline constexpr COLORREF kCloseGlyphTransparent = RGB(255, 0, 255);

// Pixels row by row from the top, as COLORREF (0x00BBGGRR): a white diagonal cross about three
// pixels thick on a red square shaded from light salmon at the top and bottom edges to deep red
// just below the middle, with magenta corners.
using CloseGlyphPixels = std::array<COLORREF, kCloseGlyphSize * kCloseGlyphSize>;
CloseGlyphPixels DrawCloseGlyph();

inline COLORREF GlyphPixel(const CloseGlyphPixels& p, int x, int y) { return p[y * kCloseGlyphSize + x]; }

// The glyph as a 24-bit device-independent bitmap; null when it cannot be created. The caller owns it.
HBITMAP CreateCloseGlyphBitmap();

}  // namespace swt
