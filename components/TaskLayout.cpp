#include "components/TaskLayout.h"

#include <algorithm>
#include <windows.h>

namespace swt {

std::vector<TRect> LayoutLinkRows(const TLinkRowInput& in, const std::vector<TSize>& measured) {
    std::vector<TRect> rects(measured.size());
    int y = in.Top;
    for (size_t i = 0; i < measured.size(); ++i) {
        const int w = measured[i].cx, h = measured[i].cy;
        TRect r;
        if (i > 0 && in.Enumeration && rects[i - 1].Right + kLinkGap + w < in.Right) {
            r = rects[i - 1];
            r.Left = rects[i - 1].Right + kLinkGap;
        } else {
            r.Left = in.Left;
            r.Top = y;
            r.Bottom = y + h + in.LinkSpacing;
            y += h + in.LinkSpacing;
        }
        r.Right = r.Left + w;
        rects[i] = r;
    }
    return rects;
}

bool IsBlankLink(const std::wstring& text) {
    return std::all_of(text.begin(), text.end(), [](wchar_t c) { return c <= L' '; });
}

bool ContinuesRow(const std::vector<TRect>& rects, size_t i, bool enumeration) {
    return enumeration && i > 0 && i < rects.size() && rects[i].Left > rects[i - 1].Left;
}

int AutoHeightFor(int paddingTop, int imageHeight, int descriptionBottom, const std::vector<TRect>& links,
                  int paddingBottom, int minimum) {
    const int textBottom = links.empty() ? descriptionBottom : links.back().Bottom;
    const int content = std::max(paddingTop + imageHeight, textBottom);
    return std::max(content + paddingBottom, minimum);
}

TRect CloseButtonRect(int clientWidth, int height, int glyphWidth, int glyphHeight) {
    const int width = glyphHeight > 0 ? ::MulDiv(height, glyphWidth, glyphHeight) : 0;
    const int right = clientWidth - 3;
    return TRect{right - width, 3, right, 3 + height};
}

int HitTestTask(const THitInput& in, int x, int y) {
    if (in.CloseButton && in.CloseRect.Contains(x, y)) return kHotCloseButton;
    if (in.CaptionRect.Contains(x, y)) return kHotCaption;
    if (in.LinkRects && in.Links) return HitLink(*in.LinkRects, *in.Links, x, y);
    return kHotNone;
}

int HitLink(const std::vector<TRect>& rects, const std::vector<std::wstring>& links, int x, int y) {
    int hot = kHotNone;
    const size_t n = std::min(rects.size(), links.size());
    for (size_t i = 0; i < n; ++i)
        if (rects[i].Contains(x, y) && !IsBlankLink(links[i])) hot = static_cast<int>(i);
    return hot;
}

}  // namespace swt
