#include "components/TaskButton.h"

#include <optional>

#include "components/kx_Scale.h"
#include "base/ScopeGuard.h"
#include "ui/ThemeApi.h"

namespace swt {

namespace {
constexpr int kPartContentLink = 10;  // CPANEL_CONTENTLINK
constexpr UINT kLinkThemeMeasureFlags = DT_CALCRECT | DT_WORDBREAK | DT_END_ELLIPSIS;  // 0x8410
}  // namespace

Tkx_TaskButton::Tkx_TaskButton() = default;

void Tkx_TaskButton::SetAutoHeight(bool v) {
    if (Change(autoHeight_, v)) UpdateLayout();
}

void Tkx_TaskButton::SetLinks(const std::vector<std::wstring>& links) {
    links_ = links;
    UpdateLayout();
}

void Tkx_TaskButton::SetLinkSpacing(int v) {
    if (Change(linkSpacing_, v)) UpdateLayout();
}

void Tkx_TaskButton::SetLinkStyle(tkx_LinkEnumeration s) {
    if (Change(linkStyle_, s)) UpdateLayout();
}

void Tkx_TaskButton::UpdateLayout() {
    if (FLayoutLock != 0 || DeferContentLayout()) return;
    if (!HasBuffer()) {
        BaseLayout();
        return;
    }
    FLinkRects.assign(links_.size(), TRect{});
    BaseLayout();
    if (!autoHeight_) return;
    const int h = AutoHeightFor(DrawInnerPadding().Top(), GetImageHeight(), FDescriptionRect.Bottom, FLinkRects,
                                DrawInnerPadding().Bottom(), GetWorkScaler()->Scale(8));
    if (h == Height()) return;
    // Layout requests raised while the height changes (size message, resize, alignment) are
    // ignored: this pass already measured everything.
    ++FLayoutLock;
    ScopeExit unlock([this] { --FLayoutLock; });
    SetHeight(h);
}

void Tkx_TaskButton::LayoutLinks(HTHEME theme) {
    if (FLinkRects.empty()) return;
    const int X = TextLeft(), R = TextRight();
    const RECT bounds{X, DrawInnerPadding().Top(), R, Height()};
    std::vector<TSize> sizes(links_.size());
    // The theme measures on the control's own device context; classic measuring on the canvas.
    std::optional<WindowDc> own;
    HDC themeDc = Canvas();
    if (theme && hwnd_) {
        own.emplace(hwnd_);
        if (*own) themeDc = own->get();
    }
    for (size_t i = 0; i < links_.size(); ++i) {
        const std::wstring& text = links_[i];
        RECT r = bounds;
        if (theme) {
            RECT extent{};
            uxtheme::GetThemeTextExtent(theme, themeDc, kPartContentLink, 1, text.c_str(),
                                        static_cast<int>(text.size()), kLinkThemeMeasureFlags, &bounds, &extent);
            r = extent;
        } else {
            // The description font the base layout left on the canvas.
            ::DrawTextW(Canvas(), text.c_str(), static_cast<int>(text.size()), &r, DT_CALCRECT | DT_WORDBREAK);
        }
        sizes[i] = TSize{r.right - r.left, r.bottom - r.top};
        FLinkHeight = sizes[i].cy;
    }
    TLinkRowInput in;
    in.Left = FCaptionRect.Left;
    in.Right = R;
    in.Top = FDescriptionRect.Bottom + HeaderSpacing();
    in.LinkSpacing = linkSpacing_;
    in.Enumeration = linkStyle_ == tkx_LinkEnumeration::kx_LinkEnumeration_enumeration;
    FLinkRects = LayoutLinkRows(in, sizes);
}

void Tkx_TaskButton::PaintLinks(HTHEME theme) {
    if (links_.empty()) return;
    HDC dc = Canvas();
    const bool enumeration = linkStyle_ == tkx_LinkEnumeration::kx_LinkEnumeration_enumeration;
    const size_t n = std::min(links_.size(), FLinkRects.size());
    for (size_t i = 0; i < n; ++i) {
        const std::wstring& text = links_[i];
        if (IsBlankLink(text)) continue;
        if (ContinuesRow(FLinkRects, i, enumeration)) {
            RECT sep{FLinkRects[i - 1].Right, FLinkRects[i].Top, FLinkRects[i].Left, FLinkRects[i].Bottom + 50};
            if (theme) {
                uxtheme::DrawThemeText(theme, dc, kPartContentLink, 1, L"|", 1, DT_CENTER, 0, &sep);
            } else {
                SetDescriptionFont(false);
                ::DrawTextW(dc, L"|", 1, &sep, DT_CENTER);
            }
        }
        const bool hot = FHotIndex == static_cast<int>(i);
        RECT r = FLinkRects[i].ToRECT();
        if (theme) {
            const int state = hot ? (LeftButtonDown() ? 3 : 2) : 1;
            uxtheme::DrawThemeText(theme, dc, kPartContentLink, state, text.c_str(), static_cast<int>(text.size()),
                                   DT_WORDBREAK, 0, &r);
        } else {
            SetDescriptionFont(hot);
            ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_WORDBREAK);
        }
    }
}

void Tkx_TaskButton::HitTestLinks(int x, int y) {
    if (FHotIndex != kHotNone) return;
    FHotIndex = HitLink(FLinkRects, links_, x, y);
}

void Tkx_TaskButton::PaintControl(HDC dc) {
    if (FLinkRects.size() != links_.size()) UpdateLayout();
    Tkx_CustomStyleBox::PaintControl(dc);
}

void Tkx_TaskButton::DoClick() {
    if (DrawCloseButton() && FHotIndex == kHotCloseButton && CloseButtonClick) {
        CloseButtonClick(*this);
        return;
    }
    if (OnLinkClick) {
        OnLinkClick(*this, FHotIndex >= 0 ? FHotIndex : -1);
        return;
    }
    Tkx_CustomStyleBox::DoClick();
}

void Tkx_TaskButton::ChangeScale(int M, int D) {
    Tkx_CustomStyleBox::ChangeScale(M, D);
    const Tkx_ScalerWork* scaler = GetWorkScaler();
    if (scaler->IsScaled()) SetSpacingRaw(scaler->Scale(HeaderSpacing()), scaler->Scale(ImageSpacing()));
    UpdateLayout();
}

}  // namespace swt
