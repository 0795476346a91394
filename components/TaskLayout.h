// The task button's geometry as pure functions of measured sizes: link rows, automatic height,
// the close-button rectangle and the hit test. Layout passes store what these return; painting
// and the hit test read the same stored rectangles.
#pragma once
#include <string>
#include <vector>

#include "ui/Types.h"

namespace swt {

// Hot element codes: nothing, the caption, the close button; 0 or more is a link index.
inline constexpr int kHotNone = -1;
inline constexpr int kHotCaption = -100;
inline constexpr int kHotCloseButton = -101;

// Gap between two links of a row; it holds the "|" separator and is not scaled.
inline constexpr int kLinkGap = 15;

struct TLinkRowInput {
    int Left = 0;        // where a row starts (the caption's left edge)
    int Right = 0;       // the text column's right edge: a continued link must end before it
    int Top = 0;         // first row's top (description bottom + header spacing)
    int LinkSpacing = 0; // extra space under each row, part of the row's rectangles
    bool Enumeration = false;
};

// One rectangle per measured link (cx = width, cy = height), blank ones included. In enumeration
// style a link continues the previous row while previous.Right + 15 + width < Right.
std::vector<TRect> LayoutLinkRows(const TLinkRowInput& in, const std::vector<TSize>& measured);

// Whether a link text is blank (only blanks): it keeps its place but is never drawn or hot.
bool IsBlankLink(const std::wstring& text);

// Whether link i continues the row of link i - 1 (a separator goes between them).
bool ContinuesRow(const std::vector<TRect>& rects, size_t i, bool enumeration);

// max(paddingTop + imageHeight, content bottom) + paddingBottom, at least `minimum`. The content
// bottom is the last link's Bottom when there are links, else the description's Bottom.
int AutoHeightFor(int paddingTop, int imageHeight, int descriptionBottom, const std::vector<TRect>& links,
                  int paddingBottom, int minimum);

// Top 3, right edge clientWidth - 3, the given height, and the glyph's aspect for the width.
TRect CloseButtonRect(int clientWidth, int height, int glyphWidth, int glyphHeight);

// The last non-blank link whose rectangle holds the point (a later match overrides an earlier
// one), or kHotNone.
int HitLink(const std::vector<TRect>& rects, const std::vector<std::wstring>& links, int x, int y);

struct THitInput {
    bool CloseButton = false;
    TRect CloseRect;
    TRect CaptionRect;
    const std::vector<TRect>* LinkRects = nullptr;
    const std::vector<std::wstring>* Links = nullptr;
};
// First match wins: the close button (when shown), the caption, else the last non-blank link
// containing the point; kHotNone when nothing is hit.
int HitTestTask(const THitInput& in, int x, int y);

}  // namespace swt
