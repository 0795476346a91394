// Value types of the window layer: rectangles, margins, alignment and the 32-bit colour encoding.
#pragma once
#include <windows.h>
#include <cstdint>

namespace swt {

// Left, Top, Right, Bottom; Right and Bottom exclusive.
struct TRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    constexpr int Width() const { return Right - Left; }
    constexpr int Height() const { return Bottom - Top; }
    constexpr bool Contains(int x, int y) const { return x >= Left && x < Right && y >= Top && y < Bottom; }
    constexpr bool operator==(const TRect&) const = default;
    static constexpr TRect Bounds(int left, int top, int width, int height) {
        return TRect{left, top, left + width, top + height};
    }
    RECT ToRECT() const { return RECT{Left, Top, Right, Bottom}; }
};

struct TSize {
    int cx = 0, cy = 0;
    constexpr bool operator==(const TSize&) const = default;
};

// Space kept around a control aligned with margins.
struct TMargins {
    int Left = 3, Top = 3, Right = 3, Bottom = 3;
    constexpr bool operator==(const TMargins&) const = default;
};

enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

// Colour value: 0x00BBGGRR is an RGB colour; 0xFF0000nn is system colour nn (COLOR_*);
// clNone means no colour; clDefault means the control's own default.
using TColor = uint32_t;
inline constexpr TColor clNone = 0x1FFFFFFF;
inline constexpr TColor clDefault = 0x20000000;
inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clSilver = 0xC0C0C0;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clMaroon = 0x000080;
inline constexpr TColor clFuchsia = 0xFF00FF;
inline constexpr TColor SystemColor(int index) { return 0xFF000000u | static_cast<TColor>(index); }
inline constexpr TColor clScrollBar = SystemColor(COLOR_SCROLLBAR);
inline constexpr TColor clActiveCaption = SystemColor(COLOR_ACTIVECAPTION);
inline constexpr TColor clWindow = SystemColor(COLOR_WINDOW);
inline constexpr TColor clWindowText = SystemColor(COLOR_WINDOWTEXT);
inline constexpr TColor clCaptionText = SystemColor(COLOR_CAPTIONTEXT);
inline constexpr TColor clBtnFace = SystemColor(COLOR_BTNFACE);
inline constexpr TColor clBtnShadow = SystemColor(COLOR_BTNSHADOW);
inline constexpr TColor clBtnText = SystemColor(COLOR_BTNTEXT);
inline constexpr TColor clBtnHighlight = SystemColor(COLOR_BTNHIGHLIGHT);
inline constexpr TColor clHighlight = SystemColor(COLOR_HIGHLIGHT);
inline constexpr TColor clHotLight = SystemColor(COLOR_HOTLIGHT);
inline constexpr TColor clInfoBk = SystemColor(COLOR_INFOBK);

inline constexpr bool IsSystemColor(TColor c) { return (c & 0xFF000000u) == 0xFF000000u; }

// The RGB value a colour stands for now. clNone and clDefault give `fallback`.
COLORREF ColorToRGB(TColor c, COLORREF fallback = RGB(0, 0, 0));

}  // namespace swt
