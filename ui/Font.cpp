#include "ui/Font.h"

#include <algorithm>

namespace swt {

TFontData& DefaultFontData() {
    static TFontData data;
    return data;
}

int ScreenPixelsPerInch() {
    static const int ppi = [] {
        WindowDc dc(nullptr);
        const int v = dc ? ::GetDeviceCaps(dc.get(), LOGPIXELSY) : 0;
        return v > 0 ? v : 96;
    }();
    return ppi;
}

TFont::TFont() : d_(DefaultFontData()) {}
TFont::TFont(const TFontData& data) : d_(data) {}

void TFont::Changed() {
    handle_.reset();
    if (OnChange) OnChange();
}

void TFont::SetName(const std::wstring& name) { SetField(d_.Name, name); }

void TFont::SetHeight(int height) { SetField(d_.Height, height); }

int TFont::Size() const { return -::MulDiv(d_.Height, 72, ScreenPixelsPerInch()); }

void TFont::SetSize(int points) { SetHeight(-::MulDiv(points, ScreenPixelsPerInch(), 72)); }

void TFont::SetStyle(TFontStyles style) { SetField(d_.Style, style); }

void TFont::SetCharset(BYTE charset) { SetField(d_.Charset, charset); }

void TFont::SetQuality(BYTE quality) { SetField(d_.Quality, quality); }

void TFont::SetColor(TColor color) {
    if (color == d_.Color) return;
    d_.Color = color;
    // The colour is not part of the GDI font; keep the handle.
    if (OnChange) OnChange();
}

void TFont::Assign(const TFont& other) { Assign(other.d_); }

void TFont::Assign(const TFontData& data) {
    if (data.Name == d_.Name && data.Height == d_.Height && data.Style == d_.Style &&
        data.Charset == d_.Charset && data.Quality == d_.Quality && data.Color == d_.Color)
        return;
    d_ = data;
    Changed();
}

LOGFONTW TFont::ToLogFont() const {
    LOGFONTW lf{};
    lf.lfHeight = d_.Height;
    lf.lfWeight = (d_.Style & fsBold) ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = (d_.Style & fsItalic) ? 1 : 0;
    lf.lfUnderline = (d_.Style & fsUnderline) ? 1 : 0;
    lf.lfStrikeOut = (d_.Style & fsStrikeOut) ? 1 : 0;
    lf.lfCharSet = d_.Charset;
    lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
    lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    lf.lfQuality = d_.Quality;
    lf.lfPitchAndFamily = DEFAULT_PITCH;
    const size_t n = std::min(d_.Name.size(), size_t(LF_FACESIZE - 1));
    std::copy_n(d_.Name.c_str(), n, lf.lfFaceName);
    lf.lfFaceName[n] = 0;
    return lf;
}

HFONT TFont::Handle() const {
    if (!handle_) {
        const LOGFONTW lf = ToLogFont();
        handle_.reset(::CreateFontIndirectW(&lf));
    }
    return handle_.get();
}

}  // namespace swt
