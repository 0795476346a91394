#include "components/StyleBox.h"

#include <windowsx.h>
#include <vssym32.h>

#include <algorithm>
#include <cstdlib>

#include "components/ColorHLS.h"
#include "components/TaskCloseGlyph.h"
#include "components/kx_Scale.h"
#include "base/DibSection.h"
#include "base/ScopeGuard.h"
#include "ui/ImageList.h"
#include "ui/Msimg32Api.h"
#include "ui/ThemeApi.h"

namespace swt {

namespace {

constexpr UINT kCaptionMeasureFlags = DT_CALCRECT | DT_WORDBREAK;                       // 0x410
constexpr UINT kDescriptionThemeMeasureFlags = DT_CALCRECT | DT_WORDBREAK | DT_WORD_ELLIPSIS;  // 0x40410
constexpr int kPartSectionTitleLink = 11;  // CPANEL_SECTIONTITLELINK
constexpr int kPartBodyText = 6;           // CPANEL_BODYTEXT
constexpr int kPartWindowCloseButton = 18; // WP_CLOSEBUTTON

// The application is active when the foreground window belongs to this process.
bool ApplicationActive() {
    HWND fg = ::GetForegroundWindow();
    if (!fg) return false;
    DWORD pid = 0;
    ::GetWindowThreadProcessId(fg, &pid);
    return pid == ::GetCurrentProcessId();
}

// The theme of one class for one pass; null when the class does not open.
UniqueTheme OpenTheme(HWND w, const wchar_t* cls) { return UniqueTheme(uxtheme::OpenThemeData(w, cls)); }

// The "CONTROLPANEL" theme every task button measures and draws its texts with, opened once for
// the process and kept until the theme changes. Where the class does not open (Wine), asking
// again costs about 0.6 ms each time, a good part of a row's layout and paint.
struct ControlPanelCache {
    bool looked = false;
    UniqueTheme theme;
};
ControlPanelCache& ControlPanel() {
    static ControlPanelCache cache;
    return cache;
}

// A vertical two-colour gradient over r (GradientFill, vertical rectangle mode).
void FillVerticalGradient(HDC dc, const RECT& r, COLORREF top, COLORREF bottom) {
    TRIVERTEX v[2] = {};
    v[0].x = r.left;
    v[0].y = r.top;
    v[0].Red = static_cast<COLOR16>(GetRValue(top) << 8);
    v[0].Green = static_cast<COLOR16>(GetGValue(top) << 8);
    v[0].Blue = static_cast<COLOR16>(GetBValue(top) << 8);
    v[1].x = r.right;
    v[1].y = r.bottom;
    v[1].Red = static_cast<COLOR16>(GetRValue(bottom) << 8);
    v[1].Green = static_cast<COLOR16>(GetGValue(bottom) << 8);
    v[1].Blue = static_cast<COLOR16>(GetBValue(bottom) << 8);
    GRADIENT_RECT gr{0, 1};
    msimg32::GradientFill(dc, v, 2, &gr, 1, GRADIENT_FILL_RECT_V);
}

}  // namespace

Tkx_CustomStyleBox::Tkx_CustomStyleBox() {
    SetParentColor(true);
    SetBounds(0, 0, 150, 100);
    backgroundMargins_.OnChange = [this] { MarginsChanged(); };
    innerPadding_.OnChange = [this] { MarginsChanged(); };
    bufferDc_.reset(::CreateCompatibleDC(nullptr));
    if (bufferDc_) {
        ::SetBkMode(bufferDc_.get(), TRANSPARENT);
        bufferOld_ = ::GetCurrentObject(bufferDc_.get(), OBJ_BITMAP);
    }
}

Tkx_CustomStyleBox::~Tkx_CustomStyleBox() {
    if (bufferDc_) {
        // Fonts and the bitmap leave the canvas before they are deleted.
        ::SelectObject(bufferDc_.get(), ::GetStockObject(SYSTEM_FONT));
        if (bufferOld_) ::SelectObject(bufferDc_.get(), bufferOld_);
    }
}

// ---------------------------------------------------------------- setters

void Tkx_CustomStyleBox::SetDrawButtonStyle(bool v) { SetLayoutField(drawButtonStyle_, v); }
void Tkx_CustomStyleBox::SetDrawCloseButton(bool v) { SetLayoutField(drawCloseButton_, v); }
void Tkx_CustomStyleBox::SetDrawGradientColor(TColor c) { SetLayoutField(drawGradientColor_, c); }
void Tkx_CustomStyleBox::SetDrawingStyle(Tkx_DrawingStyle s) { SetLayoutField(drawingStyle_, s); }
void Tkx_CustomStyleBox::SetCaption(const std::wstring& s) { SetLayoutField(caption_, s); }
void Tkx_CustomStyleBox::SetCaptionDescription(const std::wstring& s) { SetLayoutField(description_, s); }
void Tkx_CustomStyleBox::SetDrawHighlightBackground(bool v) { SetLayoutField(drawHighlight_, v); }
void Tkx_CustomStyleBox::SetImageSpacing(int v) { SetLayoutField(imageSpacing_, v); }
void Tkx_CustomStyleBox::SetHeaderSpacing(int v) { SetLayoutField(headerSpacing_, v); }
void Tkx_CustomStyleBox::SetImageIndex(int i) { SetLayoutField(imageIndex_, i); }
void Tkx_CustomStyleBox::SetIconSource(Tkx_IconSource s) { SetLayoutField(iconSource_, s); }

void Tkx_CustomStyleBox::SetImages(TImageList* list) {
    images_ = list;
    iconSource_ = Tkx_IconSource::kx_IconSourceImageList;
    UpdateLayout();
}

void Tkx_CustomStyleBox::SetImage(const TPngImage& picture) { SetImage(TPngImage(picture)); }

void Tkx_CustomStyleBox::SetImage(TPngImage&& picture) {
    image_ = std::move(picture);
    iconSource_ = Tkx_IconSource::kx_IconSourcePNGImage;
    UpdateLayout();
}

// ---------------------------------------------------------------- measuring

int Tkx_CustomStyleBox::GetImageWidth() const {
    if (iconSource_ == Tkx_IconSource::kx_IconSourceImageList) return images_ ? images_->Width() : 0;
    return image_.Width();
}

int Tkx_CustomStyleBox::GetImageHeight() const {
    if (iconSource_ == Tkx_IconSource::kx_IconSourceImageList) return images_ ? images_->Height() : 0;
    return image_.Height();
}

bool Tkx_CustomStyleBox::UseThemedDrawing() const {
    return drawingStyle_ == Tkx_DrawingStyle::kx_DrawingStyleThemed && uxtheme::IsAppThemed() &&
           uxtheme::IsThemeActive();
}

TRect Tkx_CustomStyleBox::GetCloseButtonRect(bool small) const {
    const TPngImage& glyph = CloseGlyph();
    const int height = GetWorkScaler()->Scale(small ? 16 : 18);
    return CloseButtonRect(ClientWidth(), height, glyph.Width(), glyph.Height());
}

void Tkx_CustomStyleBox::ForceFontSize() {
    if (Font().Size() != 8) Font().SetSize(8);
}

HFONT Tkx_CustomStyleBox::CachedFont(bool bold, int cellHeight, bool underline) {
    for (auto& f : fonts_)
        if (f.font && f.bold == bold && f.cellHeight == cellHeight && f.underline == underline) return f.font.get();
    LOGFONTW lf = Font().ToLogFont();
    if (cellHeight) lf.lfHeight = cellHeight;
    if (bold) lf.lfWeight = FW_BOLD;
    lf.lfUnderline = underline ? TRUE : FALSE;
    FontSlot& slot = fonts_[nextFontSlot_];
    nextFontSlot_ = (nextFontSlot_ + 1) % 4;
    // The slot's font may be the one selected now: put the system font in its place first.
    if (bufferDc_) ::SelectObject(bufferDc_.get(), ::GetStockObject(SYSTEM_FONT));
    slot.font.reset(::CreateFontIndirectW(&lf));
    slot.bold = bold;
    slot.cellHeight = cellHeight;
    slot.underline = underline;
    return slot.font.get();
}

void Tkx_CustomStyleBox::SetCaptionFont() {
    if (!bufferDc_) return;
    // Cell height: the font's character height plus 8 pixels, bold.
    const int cell = std::abs(Font().Height()) + 8;
    ::SelectObject(bufferDc_.get(), CachedFont(true, cell, false));
    ::SetTextColor(bufferDc_.get(), ColorToRGB(FontColor == clDefault ? clNavy : FontColor));
}

void Tkx_CustomStyleBox::SetDescriptionFont(bool underline) {
    if (!bufferDc_) return;
    ::SelectObject(bufferDc_.get(), CachedFont(false, 0, underline));
    TColor c = clNavy;
    if (FontColor != clDefault) {
        const THLSColor navy = ColorToHLS(clNavy);
        const THLSColor font = ColorToHLS(FontColor);
        c = BlendColors(HLSToColor(THLSColor{navy.H, navy.S, font.L}), clNavy, 0.75);
    }
    ::SetTextColor(bufferDc_.get(), ColorToRGB(c));
}

void Tkx_CustomStyleBox::EnsureBuffer() {
    if (!bufferDc_) return;
    const int w = std::max(1, Width()), h = std::max(1, Height());
    if (buffer_ && w == bufferW_ && h == bufferH_) return;
    void* bits = nullptr;
    UniqueBitmap bmp = CreateDibSection(bufferDc_.get(), w, h, 32, &bits);
    if (!bmp) return;
    ::SelectObject(bufferDc_.get(), bmp.get());
    buffer_ = std::move(bmp);  // the old bitmap is no longer selected
    bufferW_ = w;
    bufferH_ = h;
}

// ---------------------------------------------------------------- layout

void Tkx_CustomStyleBox::UpdateLayout() {
    if (!DeferContentLayout()) BaseLayout();
}

void Tkx_CustomStyleBox::BaseLayout() {
    if (!bufferDc_ || inLayout_) return;
    inLayout_ = true;
    ScopeExit endLayout([this] { inLayout_ = false; });
    ForceFontSize();
    EnsureBuffer();
    const int X = TextLeft(), R = TextRight(), H = Height();
    HTHEME theme = UseThemedDrawing() ? ControlPanelTheme() : nullptr;
    lastLayoutThemed_ = theme != nullptr;
    if (theme) {
        const int T = innerPadding_.Top() - 3;
        WindowDc own(hwnd_);  // the control's own device context (the screen's before the window exists)
        HDC dc = own ? own.get() : bufferDc_.get();
        RECT bounds{X, T, R, H}, extent{};
        uxtheme::GetThemeTextExtent(theme, dc, kPartSectionTitleLink, 1, caption_.c_str(),
                                    static_cast<int>(caption_.size()), kCaptionMeasureFlags, &bounds, &extent);
        FCaptionRect = TRect{X, T, R, T + (extent.bottom - extent.top)};
        bounds = RECT{X, FCaptionRect.Bottom + headerSpacing_, R, H};
        extent = RECT{};
        uxtheme::GetThemeTextExtent(theme, dc, kPartBodyText, 1, description_.c_str(),
                                    static_cast<int>(description_.size()), kDescriptionThemeMeasureFlags, &bounds,
                                    &extent);
        FDescriptionRect = TRect{extent.left, extent.top, R, extent.bottom};
        LayoutLinks(theme);
    } else {
        const int T = innerPadding_.Top();
        SetCaptionFont();
        RECT r{X, T, R, H};
        ::DrawTextW(bufferDc_.get(), caption_.c_str(), static_cast<int>(caption_.size()), &r, kCaptionMeasureFlags);
        FCaptionRect = TRect{X, T, R, T + (r.bottom - r.top)};
        SetDescriptionFont(false);
        r = RECT{X, FCaptionRect.Bottom + headerSpacing_, R, H};
        ::DrawTextW(bufferDc_.get(), description_.c_str(), static_cast<int>(description_.size()), &r,
                    kCaptionMeasureFlags);
        FDescriptionRect = TRect{r.left, r.top, r.right, r.bottom};
        LayoutLinks(nullptr);
    }
    Invalidate();
}

// ---------------------------------------------------------------- painting

bool Tkx_CustomStyleBox::PointerInside() const {
    if (!hwnd_ || !ApplicationActive()) return false;
    POINT p;
    if (!::GetCursorPos(&p) || !::ScreenToClient(hwnd_, &p)) return false;
    return ClientRect().Contains(p.x, p.y);
}

void Tkx_CustomStyleBox::PaintControl(HDC dc) {
    // A bitmap left at the size of an earlier pass (the height changed under the layout lock)
    // is brought to the control's size; nothing is measured here.
    EnsureBuffer();
    if (!bufferDc_ || !buffer_) return;
    const bool inside = PointerInside();
    if (!inside) FHotIndex = kHotNone;
    PaintBackground(drawHighlight_ && inside);
    PaintImage(inside);
    {
        HTHEME theme = UseThemedDrawing() ? ControlPanelTheme() : nullptr;
        PaintText(theme);
        PaintLinks(theme);
    }
    if (drawCloseButton_) PaintCloseButton(FHotIndex == kHotCloseButton);
    if (hwnd_ && ::GetFocus() == hwnd_) {
        RECT r = ClientRect().ToRECT();
        ::DrawFocusRect(bufferDc_.get(), &r);
    }
    FlushBuffer(dc);
}

void Tkx_CustomStyleBox::FlushBuffer(HDC dc) {
    if (dc && bufferDc_) ::BitBlt(dc, 0, 0, Width(), Height(), bufferDc_.get(), 0, 0, SRCCOPY);
}

void Tkx_CustomStyleBox::GetHighlightThemePart(bool hot, const wchar_t*& className, int& part, int& state) const {
    if (drawButtonStyle_) {
        className = L"button";
        part = BP_PUSHBUTTON;  // 1
    } else {
        className = L"menu";
        part = MENU_POPUPITEM;  // 14
    }
    state = hot ? 2 : 1;
}

void Tkx_CustomStyleBox::PaintBackground(bool highlight) {
    HDC dc = bufferDc_.get();
    FontColor = clDefault;
    bool defaultDraw = true;
    if (OnDrawBackground) OnDrawBackground(*this, dc, highlight, defaultDraw, drawCloseButton_);
    if (!defaultDraw) return;
    RECT client = ClientRect().ToRECT();
    {
        UniqueBrush fill(::CreateSolidBrush(BackgroundRGB()));
        ::FillRect(dc, &client, fill.get());
    }
    ForceFontSize();
    ::SelectObject(dc, CachedFont(false, 0, false));
    if (FontColor != clDefault) ::SetTextColor(dc, ColorToRGB(FontColor));
    const bool themed = UseThemedDrawing();
    if (drawGradientColor_ != clNone && (!drawButtonStyle_ || !themed)) {
        THLSColor end = ColorToHLS(drawGradientColor_);
        end.L = static_cast<uint8_t>(std::max(0, end.L - 10));
        FillVerticalGradient(dc, client, RGB(255, 255, 255), ColorToRGB(HLSToColor(end)));
    }
    if (!highlight) FHotIndex = kHotNone;
    lastHighlightThemed_ = false;
    if (!drawHighlight_) return;
    RECT r{-backgroundMargins_.Left(), -backgroundMargins_.Top(), client.right + backgroundMargins_.Right(),
           client.bottom + backgroundMargins_.Bottom()};
    if (themed) {
        const wchar_t* cls = nullptr;
        int part = 0, state = 0;
        GetHighlightThemePart(highlight, cls, part, state);
        UniqueTheme theme = OpenTheme(hwnd_, cls);
        if (theme) {
            uxtheme::DrawThemeBackground(theme.get(), dc, part, state, &r, nullptr);
            lastHighlightThemed_ = true;
            return;
        }
    }
    if (highlight) ::DrawEdge(dc, &r, EDGE_RAISED, BF_RECT);
}

void Tkx_CustomStyleBox::PaintImage(bool) {
    const int x = innerPadding_.Left(), y = innerPadding_.Top() + 2;
    if (iconSource_ == Tkx_IconSource::kx_IconSourceImageList) {
        if (images_) images_->Draw(bufferDc_.get(), x, y, imageIndex_, true);
    } else {
        image_.Draw(bufferDc_.get(), x, y);
    }
}

void Tkx_CustomStyleBox::PaintText(HTHEME theme) {
    HDC dc = bufferDc_.get();
    if (!theme) {
        ::SetBkMode(dc, TRANSPARENT);
        if (!caption_.empty()) {
            SetCaptionFont();
            if (FHotIndex == kHotCaption)
                ::SelectObject(dc, CachedFont(true, std::abs(Font().Height()) + 8, true));
            RECT r = FCaptionRect.ToRECT();
            ::DrawTextW(dc, caption_.c_str(), static_cast<int>(caption_.size()), &r, DT_WORDBREAK);
        }
        if (!description_.empty()) {
            SetDescriptionFont(false);
            ::SetTextColor(dc, ColorToRGB(FontColor == clDefault ? clWindowText : FontColor));
            RECT r = FDescriptionRect.ToRECT();
            ::DrawTextW(dc, description_.c_str(), static_cast<int>(description_.size()), &r,
                        DT_WORDBREAK | DT_WORD_ELLIPSIS);
        }
        return;
    }
    RECT cr = FCaptionRect.ToRECT(), dr = FDescriptionRect.ToRECT();
    const int captionState = FHotIndex == kHotCaption ? 2 : 1;
    if (FontColor == clDefault) {
        if (!caption_.empty())
            uxtheme::DrawThemeText(theme, dc, kPartSectionTitleLink, captionState, caption_.c_str(),
                                   static_cast<int>(caption_.size()), DT_WORDBREAK, 0, &cr);
        if (!description_.empty())
            uxtheme::DrawThemeText(theme, dc, kPartBodyText, 1, description_.c_str(),
                                   static_cast<int>(description_.size()), DT_WORDBREAK, 0, &dr);
        return;
    }
    SelectGuard font(dc, CachedFont(false, 0, false));
    const COLORREF oldColor = ::SetTextColor(dc, ColorToRGB(FontColor));
    ScopeExit restoreColor([dc, oldColor] { ::SetTextColor(dc, oldColor); });
    DTTOPTS opts{};
    opts.dwSize = sizeof opts;  // 72 on 64-bit Windows
    opts.dwFlags = DTT_TEXTCOLOR;
    opts.crText = ColorToRGB(FontColor);
    if (!caption_.empty())
        uxtheme::DrawThemeTextEx(theme, dc, kPartSectionTitleLink, captionState, caption_.c_str(),
                                 static_cast<int>(caption_.size()), DT_WORDBREAK, &cr, &opts);
    if (!description_.empty())
        uxtheme::DrawThemeTextEx(theme, dc, kPartBodyText, 1, description_.c_str(),
                                 static_cast<int>(description_.size()), DT_WORDBREAK, &dr, &opts);
}

void Tkx_CustomStyleBox::PaintCloseButton(bool) {
    lastCloseThemed_ = false;
    if (UseThemedDrawing()) {
        UniqueTheme theme = OpenTheme(hwnd_, L"Window");
        if (theme) {
            const RECT r = GetCloseButtonRect(false).ToRECT();
            uxtheme::DrawThemeBackground(theme.get(), bufferDc_.get(), kPartWindowCloseButton,
                                         FHotIndex == kHotCloseButton ? 2 : 1, &r, nullptr);
            lastCloseThemed_ = true;
            return;
        }
    }
    CloseGlyph().StretchDraw(bufferDc_.get(), GetCloseButtonRect(true).ToRECT());
}

// ---------------------------------------------------------------- window and input

LRESULT Tkx_CustomStyleBox::WndProc(UINT msg, WPARAM w, LPARAM l) {
    switch (msg) {
    case WM_ERASEBKGND:
        return 0;  // nothing is erased: the paint covers every pixel
    case WM_PAINT: {
        PaintGuard pg(hwnd_);
        if (pg.dc()) PaintControl(pg.dc());
        return 0;
    }
    case WM_PRINTCLIENT:
        PaintControl(reinterpret_cast<HDC>(w));
        return 0;
    case WM_SIZE: {
        const LRESULT r = TCustomControl::WndProc(msg, w, l);
        if (LOWORD(l) != bufferW_ || HIWORD(l) != bufferH_) UpdateLayout();
        return r;
    }
    default:
        return TCustomControl::WndProc(msg, w, l);
    }
}

void Tkx_CustomStyleBox::CaptureLost() {
    // Someone else took the capture (a button release, a menu): the pointer is no longer tracked
    // as inside; the next move inside takes it again.
    if (!FMouseIn) return;
    FMouseIn = false;
    Invalidate();
}

HTHEME Tkx_CustomStyleBox::ControlPanelTheme() const {
    ControlPanelCache& cache = ControlPanel();
    if (!cache.looked) {
        cache.theme.reset(uxtheme::OpenThemeData(hwnd_, L"CONTROLPANEL"));
        cache.looked = true;
    }
    return cache.theme.get();
}

// Another theme or other system colours measure and draw differently: lay out again.
void Tkx_CustomStyleBox::ThemeChanged() {
    ControlPanelCache& cache = ControlPanel();
    cache.theme.reset();
    cache.looked = false;
    UpdateLayout();
}

void Tkx_CustomStyleBox::SysColorChanged() {
    UpdateLayout();
    Invalidate();
}

void Tkx_CustomStyleBox::BoundsChanged(const TRect& old) {
    TCustomControl::BoundsChanged(old);
    if (Width() != bufferW_ || Height() != bufferH_) UpdateLayout();
}

void Tkx_CustomStyleBox::FontChanged() {
    for (auto& f : fonts_) {
        if (bufferDc_) ::SelectObject(bufferDc_.get(), ::GetStockObject(SYSTEM_FONT));
        f.font.reset();
    }
    TCustomControl::FontChanged();
    UpdateLayout();
}


void Tkx_CustomStyleBox::DoMouseDown(TMouseButton b, TShiftState s, int x, int y) {
    if (b == TMouseButton::mbLeft) leftDown_ = true;
    TCustomControl::DoMouseDown(b, s, x, y);
    Invalidate();
}

void Tkx_CustomStyleBox::DoMouseUp(TMouseButton b, TShiftState s, int x, int y) {
    if (b == TMouseButton::mbLeft) leftDown_ = false;
    TCustomControl::DoMouseUp(b, s, x, y);
    Repaint();
}

void Tkx_CustomStyleBox::DoMouseEnter() {
    TCustomControl::DoMouseEnter();
    Invalidate();
}

void Tkx_CustomStyleBox::DoMouseLeave() {
    TCustomControl::DoMouseLeave();
    Invalidate();
}

void Tkx_CustomStyleBox::DoMouseMove(TShiftState s, int x, int y) {
    TCustomControl::DoMouseMove(s, x, y);
    const int previous = FHotIndex;
    FHotIndex = kHotNone;
    const bool active = ApplicationActive();
    if (active && ClientRect().Contains(x, y)) {
        if (!FMouseIn) {
            FMouseIn = true;
            // Holding the capture while inside brings the move that leaves the control.
            if (hwnd_) ::SetCapture(hwnd_);
            Repaint();
        }
    } else if (FMouseIn) {
        FMouseIn = false;
        if (hwnd_ && ::GetCapture() == hwnd_) ::ReleaseCapture();
        Repaint();
    }
    if (!active) return;
    THitInput hit;
    hit.CloseButton = drawCloseButton_;
    if (drawCloseButton_) hit.CloseRect = GetCloseButtonRect(false);
    hit.CaptionRect = FCaptionRect;
    FHotIndex = HitTestTask(hit, x, y);
    if (FHotIndex == kHotNone) HitTestLinks(x, y);
    if (FHotIndex != previous) Repaint();
}

void Tkx_CustomStyleBox::DoClick() {
    if (drawCloseButton_ && FHotIndex == kHotCloseButton && CloseButtonClick) {
        CloseButtonClick(*this);
        return;
    }
    TCustomControl::DoClick();
}

}  // namespace swt
