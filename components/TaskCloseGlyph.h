// The task button's close glyph: an anti-aliased white cross on close red, drawn through GDI+.
// One picture is shared by every task button of the program: made at first use at the display
// scale of that moment and kept until the program ends.
#pragma once
#include "components/PngImage.h"

namespace swt {

inline constexpr COLORREF kCloseRed = RGB(232, 17, 35);

// round(baseWidth x f) x round(baseHeight x f) (halves to even) of close red with a white cross
// of pen width 1.7 x f; opaque (no alpha channel). Without GDI+ the cross is missing and the
// picture stays plain red.
TPngImage CreateCloseGlyph(int baseWidth, int baseHeight, double f);

// The shared glyph: CreateCloseGlyph(28, 16, work scaler's ScalePercent / 100) on first use.
const TPngImage& CloseGlyph();

}  // namespace swt
