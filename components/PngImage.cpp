#include "components/PngImage.h"

#include <algorithm>

#include "base/DibSection.h"
#include "base/UniqueHandle.h"

namespace swt {

void TPngImage::SetSize(int width, int height) {
    w_ = std::max(0, width);
    h_ = std::max(0, height);
    if (w_ == 0 || h_ == 0) w_ = h_ = 0;
    bgrx_.assign(static_cast<size_t>(w_) * h_, 0);
    alpha_.clear();
}

bool TPngImage::AssignBitmap(HBITMAP bitmap) {
    SetSize(0, 0);
    BITMAP bm{};
    if (!bitmap || !::GetObjectW(bitmap, sizeof bm, &bm) || bm.bmWidth <= 0 || bm.bmHeight <= 0) return false;
    std::vector<uint32_t> bits(static_cast<size_t>(bm.bmWidth) * bm.bmHeight);
    BITMAPINFO bi = DibInfo(bm.bmWidth, bm.bmHeight, 32);
    WindowDc screen(nullptr);
    if (::GetDIBits(screen.get(), bitmap, 0, static_cast<UINT>(bm.bmHeight), bits.data(), &bi, DIB_RGB_COLORS) <= 0)
        return false;
    w_ = bm.bmWidth;
    h_ = bm.bmHeight;
    for (auto& p : bits) p &= 0x00FFFFFFu;
    bgrx_ = std::move(bits);
    return true;
}

void TPngImage::CreateAlpha() {
    if (alpha_.empty() && !Empty()) alpha_.assign(bgrx_.size(), 255);
}

uint8_t* TPngImage::AlphaScanline(int y) {
    if (alpha_.empty() || y < 0 || y >= h_) return nullptr;
    return alpha_.data() + static_cast<size_t>(y) * w_;
}

const uint8_t* TPngImage::AlphaScanline(int y) const { return const_cast<TPngImage*>(this)->AlphaScanline(y); }

COLORREF TPngImage::Pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= w_ || y >= h_) return 0;
    const uint32_t p = bgrx_[static_cast<size_t>(y) * w_ + x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

void TPngImage::SetPixel(int x, int y, COLORREF c) {
    if (x < 0 || y < 0 || x >= w_ || y >= h_) return;
    bgrx_[static_cast<size_t>(y) * w_ + x] =
        static_cast<uint32_t>(GetRValue(c)) << 16 | static_cast<uint32_t>(GetGValue(c)) << 8 | GetBValue(c);
}

uint8_t TPngImage::Alpha(int x, int y) const {
    if (alpha_.empty() || x < 0 || y < 0 || x >= w_ || y >= h_) return 255;
    return alpha_[static_cast<size_t>(y) * w_ + x];
}

void TPngImage::Draw(HDC dc, int x, int y) const {
    if (Empty() || !dc) return;
    BITMAPINFO bi = DibInfo(w_, h_, 32);
    if (alpha_.empty()) {
        ::SetDIBitsToDevice(dc, x, y, w_, h_, 0, 0, 0, h_, bgrx_.data(), &bi, DIB_RGB_COLORS);
        return;
    }
    // Blended by hand over what the target already shows: read it, mix, write it back.
    void* bits = nullptr;
    UniqueBitmap section(::CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    UniqueMemDc mem(::CreateCompatibleDC(dc));
    if (!section || !bits || !mem) return;
    SelectGuard sel(mem.get(), section.get());
    ::BitBlt(mem.get(), 0, 0, w_, h_, dc, x, y, SRCCOPY);
    ::GdiFlush();
    auto* dst = static_cast<uint32_t*>(bits);
    for (size_t i = 0; i < bgrx_.size(); ++i) {
        const uint32_t a = alpha_[i];
        if (a == 0) continue;
        const uint32_t s = bgrx_[i];
        if (a == 255) {
            dst[i] = s;
            continue;
        }
        const uint32_t d = dst[i];
        auto mix = [&](int shift) {
            const uint32_t sc = (s >> shift) & 0xFF, dc2 = (d >> shift) & 0xFF;
            return ((sc * a + dc2 * (255 - a) + 127) / 255) << shift;
        };
        dst[i] = mix(16) | mix(8) | mix(0);
    }
    ::BitBlt(dc, x, y, w_, h_, mem.get(), 0, 0, SRCCOPY);
}

void TPngImage::StretchDraw(HDC dc, const RECT& r) const {
    if (Empty() || !dc) return;
    BITMAPINFO bi = DibInfo(w_, h_, 32);
    const int oldMode = ::SetStretchBltMode(dc, HALFTONE);
    ::SetBrushOrgEx(dc, 0, 0, nullptr);
    ::StretchDIBits(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, 0, 0, w_, h_, bgrx_.data(), &bi,
                    DIB_RGB_COLORS, SRCCOPY);
    ::SetStretchBltMode(dc, oldMode);
}

}  // namespace swt
