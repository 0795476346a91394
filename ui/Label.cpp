#include "ui/Label.h"

#include <algorithm>

namespace swt {

TLabel::TLabel() {
    SetBounds(0, 0, 65, 13);
    SetParentColor(true);
    SetAutoSize(true);
}

void TLabel::SetCaption(const std::wstring& c) {
    if (c == caption_) return;
    caption_ = c;
    TextChanged();
    Invalidate();
    if (AutoSize()) RequestLayout();
}

void TLabel::TextChanged() { extents_.clear(); }

void TLabel::FontChanged() {
    TextChanged();
    TGraphicControl::FontChanged();
}

void TLabel::SetLayout(TTextLayout l) { SetRepaint(layout_, l); }

void TLabel::SetAlignment(TAlignment a) { SetRepaint(alignment_, a); }

void TLabel::SetWordWrap(bool v) {
    if (v != wordWrap_) TextChanged();
    SetRelayout(wordWrap_, v);
}

void TLabel::SetTransparent(bool v) { SetRepaint(transparent_, v); }

void TLabel::SetShowAccelChar(bool v) {
    if (v != showAccelChar_) TextChanged();
    SetRelayout(showAccelChar_, v);
}

UINT TLabel::DrawFlags() const {
    UINT f = DT_EXPANDTABS;
    if (!showAccelChar_) f |= DT_NOPREFIX;
    if (wordWrap_) f |= DT_WORDBREAK;
    switch (alignment_) {
    case TAlignment::taLeftJustify: f |= DT_LEFT; break;
    case TAlignment::taRightJustify: f |= DT_RIGHT; break;
    case TAlignment::taCenter: f |= DT_CENTER; break;
    }
    return f;
}

TSize TLabel::TextExtent(int width) const {
    if (width < 0 && wordWrap_) width = Width();
    // Without word wrap the width does not matter.
    const int key = wordWrap_ ? std::max(0, width) : -1;
    for (const TExtent& e : extents_)
        if (e.Width == key) return e.Size;
    // One measuring context for every label of the thread.
    thread_local UniqueMemDc dc(::CreateCompatibleDC(nullptr));
    if (!dc) return TSize{Width(), Height()};
    SelectGuard font(dc.get(), Font().Handle());
    // An empty caption still takes the height of one line.
    std::wstring text = caption_.empty() ? std::wstring(L" ") : caption_;
    RECT r{0, 0, wordWrap_ ? std::max(0, width) : 0, 0};
    ::DrawTextW(dc.get(), text.c_str(), static_cast<int>(text.size()), &r, DrawFlags() | DT_CALCRECT);
    const TSize size{r.right - r.left, r.bottom - r.top};
    if (extents_.size() >= 4) extents_.erase(extents_.begin());
    extents_.push_back(TExtent{key, size});
    return size;
}

void TLabel::Paint(HDC dc) {
    RECT r{0, 0, Width(), Height()};
    if (!transparent_ && EffectiveColor() != clNone) {
        UniqueBrush b(::CreateSolidBrush(BackgroundRGB()));
        ::FillRect(dc, &r, b.get());
    }
    if (caption_.empty()) return;
    SelectGuard font(dc, Font().Handle());
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, Enabled() ? ColorToRGB(Font().Color(), ::GetSysColor(COLOR_WINDOWTEXT))
                                 : ::GetSysColor(COLOR_GRAYTEXT));
    if (layout_ != TTextLayout::tlTop) {
        RECT calc{0, 0, Width(), 0};
        ::DrawTextW(dc, caption_.c_str(), static_cast<int>(caption_.size()), &calc, DrawFlags() | DT_CALCRECT);
        const int th = calc.bottom - calc.top;
        r.top = layout_ == TTextLayout::tlCenter ? (Height() - th) / 2 : Height() - th;
    }
    ::DrawTextW(dc, caption_.c_str(), static_cast<int>(caption_.size()), &r, DrawFlags());
}

}  // namespace swt
