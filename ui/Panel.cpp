#include "ui/Panel.h"

#include <algorithm>

namespace swt {

void Frame3D(HDC dc, RECT& r, COLORREF topLeft, COLORREF bottomRight, int width) {
    UniqueBrush tl(::CreateSolidBrush(topLeft)), br(::CreateSolidBrush(bottomRight));
    for (int i = 0; i < width && r.right > r.left && r.bottom > r.top; ++i) {
        RECT top{r.left, r.top, r.right - 1, r.top + 1};
        RECT left{r.left, r.top, r.left + 1, r.bottom - 1};
        RECT right{r.right - 1, r.top, r.right, r.bottom};
        RECT bottom{r.left, r.bottom - 1, r.right, r.bottom};
        ::FillRect(dc, &top, tl.get());
        ::FillRect(dc, &left, tl.get());
        ::FillRect(dc, &right, br.get());
        ::FillRect(dc, &bottom, br.get());
        ::InflateRect(&r, -1, -1);
    }
}

TPanel::TPanel() {
    SetBounds(0, 0, 185, 41);
    SetColor(clDefault);
}

void TPanel::SetBevelOuter(TBevelCut b) { SetRelayout(bevelOuter_, b); }

void TPanel::SetBevelInner(TBevelCut b) { SetRelayout(bevelInner_, b); }

void TPanel::SetBevelWidth(int w) {
    w = std::max(1, w);
    if (w == bevelWidth_) return;
    bevelWidth_ = w;
    Invalidate();
    RequestLayout();
}

void TPanel::SetCaption(const std::wstring& c) { SetRepaint(caption_, c); }

TMargins TPanel::Padding() const {
    int inset = 0;
    if (bevelOuter_ != TBevelCut::bvNone) inset += bevelWidth_;
    if (bevelInner_ != TBevelCut::bvNone) inset += bevelWidth_;
    return TMargins{inset, inset, inset, inset};
}

void TPanel::PaintFrame(HDC dc) {
    RECT r = ClientRect().ToRECT();
    const COLORREF shadow = ::GetSysColor(COLOR_BTNSHADOW), light = ::GetSysColor(COLOR_BTNHIGHLIGHT);
    auto bevel = [&](TBevelCut cut) {
        if (cut == TBevelCut::bvLowered) Frame3D(dc, r, shadow, light, bevelWidth_);
        if (cut == TBevelCut::bvRaised) Frame3D(dc, r, light, shadow, bevelWidth_);
    };
    bevel(bevelOuter_);
    bevel(bevelInner_);
    if (!caption_.empty()) {
        SavedDc saved(dc);
        ::SelectObject(dc, Font().Handle());
        ::SetBkMode(dc, TRANSPARENT);
        ::SetTextColor(dc, ColorToRGB(Font().Color(), ::GetSysColor(COLOR_WINDOWTEXT)));
        ::DrawTextW(dc, caption_.c_str(), static_cast<int>(caption_.size()), &r,
                    DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    }
}

}  // namespace swt
