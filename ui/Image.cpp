#include "ui/Image.h"

#include <algorithm>

#include "base/DibSection.h"
#include "ui/Msimg32Api.h"

namespace swt {

TBitmap::~TBitmap() {
    if (dc_ && oldBmp_) ::SelectObject(dc_.get(), oldBmp_);
}

void TBitmap::SetSize(int width, int height) {
    if (dc_ && oldBmp_) ::SelectObject(dc_.get(), oldBmp_);
    oldBmp_ = nullptr;
    dc_.reset();
    bmp_.reset();
    bits_ = nullptr;
    w_ = std::max(0, width);
    h_ = std::max(0, height);
    stride_ = ((w_ * 3) + 3) & ~3;
    if (w_ > 0 && h_ > 0) {
        void* bits = nullptr;
        bmp_ = CreateDibSection(nullptr, w_, h_, 24, &bits, DibRows::BottomUp);  // as GDI keeps it
        if (bmp_) bits_ = static_cast<uint8_t*>(bits);
        else w_ = h_ = 0;
    }
    Changed();
}

HDC TBitmap::Dc() {
    if (!dc_ && bmp_) {
        dc_.reset(::CreateCompatibleDC(nullptr));
        if (dc_) oldBmp_ = ::SelectObject(dc_.get(), bmp_.get());
    }
    return dc_.get();
}

uint8_t* TBitmap::PixelPtr(int x, int y) const {
    if (!bits_ || x < 0 || y < 0 || x >= w_ || y >= h_) return nullptr;
    return bits_ + static_cast<size_t>(h_ - 1 - y) * static_cast<size_t>(stride_) + static_cast<size_t>(x) * 3;
}

COLORREF TBitmap::Pixel(int x, int y) const {
    ::GdiFlush();
    const uint8_t* p = PixelPtr(x, y);
    return p ? RGB(p[2], p[1], p[0]) : CLR_INVALID;
}

void TBitmap::SetPixel(int x, int y, COLORREF c) {
    ::GdiFlush();
    if (uint8_t* p = PixelPtr(x, y)) {
        p[0] = GetBValue(c);
        p[1] = GetGValue(c);
        p[2] = GetRValue(c);
    }
}

void TBitmap::Fill(const TRect& r, COLORREF c) {
    ::GdiFlush();
    for (int y = std::max(0, r.Top); y < std::min(h_, r.Bottom); ++y)
        for (int x = std::max(0, r.Left); x < std::min(w_, r.Right); ++x) SetPixel(x, y, c);
    Changed();
}

void TBitmap::SetTransparent(bool v) {
    if (v == transparent_) return;
    transparent_ = v;
    Changed();
}

void TBitmap::SetTransparentColor(TColor c) {
    if (c == transparentColor_) return;
    transparentColor_ = c;
    Changed();
}

COLORREF TBitmap::EffectiveTransparentColor() const {
    if (transparentColor_ == clDefault) return Empty() ? RGB(0, 0, 0) : Pixel(0, h_ - 1);
    return ColorToRGB(transparentColor_);
}

void TBitmap::Draw(HDC dc, const TRect& r) {
    HDC src = Dc();
    if (!src || r.Width() <= 0 || r.Height() <= 0) return;
    ::GdiFlush();
    if (transparent_)
        msimg32::TransparentBlt(dc, r.Left, r.Top, r.Width(), r.Height(), src, 0, 0, w_, h_, EffectiveTransparentColor());
    else if (r.Width() == w_ && r.Height() == h_)
        ::BitBlt(dc, r.Left, r.Top, w_, h_, src, 0, 0, SRCCOPY);
    else
        ::StretchBlt(dc, r.Left, r.Top, r.Width(), r.Height(), src, 0, 0, w_, h_, SRCCOPY);
}

void TBitmap::Changed() {
    if (OnChange) OnChange();
}

TImage::TImage() {
    SetBounds(0, 0, 105, 105);
    picture_.OnChange = [this] {
        Invalidate();
        if (AutoSize()) RequestLayout();
    };
}

void TImage::SetCenter(bool v) { SetRepaint(center_, v); }

void TImage::SetStretch(bool v) { SetRepaint(stretch_, v); }

TSize TImage::ContentSize(int) { return TSize{picture_.Width(), picture_.Height()}; }

void TImage::Paint(HDC dc) {
    if (picture_.Empty()) return;
    TRect r = TRect::Bounds(0, 0, picture_.Width(), picture_.Height());
    if (stretch_) {
        r = TRect{0, 0, Width(), Height()};
    } else if (center_) {
        r = TRect::Bounds((Width() - picture_.Width()) / 2, (Height() - picture_.Height()) / 2, picture_.Width(),
                          picture_.Height());
    }
    picture_.Draw(dc, r);
}

}  // namespace swt
