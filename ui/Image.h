// TBitmap: a 24-bit picture that code can draw on (GDI through Dc(), or pixel by pixel), with an
// optional transparent colour. TImage: shows a TBitmap, transparently when asked.
#pragma once
#include <windows.h>
#include <functional>

#include "base/UniqueHandle.h"
#include "ui/Control.h"

namespace swt {

class TBitmap {
public:
    TBitmap() = default;
    TBitmap(int width, int height) { SetSize(width, height); }
    TBitmap(const TBitmap&) = delete;
    TBitmap& operator=(const TBitmap&) = delete;
    ~TBitmap();

    // New size; the content becomes black.
    void SetSize(int width, int height);
    int Width() const { return w_; }
    int Height() const { return h_; }
    bool Empty() const { return w_ <= 0 || h_ <= 0; }
    HBITMAP Handle() const { return bmp_.get(); }
    // A memory DC with the bitmap selected, for drawing in code; valid until SetSize.
    HDC Dc();

    COLORREF Pixel(int x, int y) const;
    // Sets one pixel; call Changed() when done so that viewers repaint.
    void SetPixel(int x, int y, COLORREF c);
    // Fills a rectangle and tells the viewers.
    void Fill(const TRect& r, COLORREF c);

    // Drawn with TransparentColor left out when on.
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool v);
    // clDefault: the colour of the bottom-left pixel.
    TColor TransparentColor() const { return transparentColor_; }
    void SetTransparentColor(TColor c);
    COLORREF EffectiveTransparentColor() const;

    // Draws the picture into r of dc (stretched when sizes differ).
    void Draw(HDC dc, const TRect& r);

    // Call after drawing on Dc() so that viewers repaint; raised on every change.
    void Changed();
    std::function<void()> OnChange;

private:
    uint8_t* PixelPtr(int x, int y) const;

    int w_ = 0, h_ = 0, stride_ = 0;
    uint8_t* bits_ = nullptr;
    UniqueBitmap bmp_;
    UniqueMemDc dc_;
    HGDIOBJ oldBmp_ = nullptr;
    bool transparent_ = false;
    TColor transparentColor_ = clDefault;
};

class TImage : public TGraphicControl {
public:
    TImage();

    TBitmap& Picture() { return picture_; }
    const TBitmap& Picture() const { return picture_; }
    bool Transparent() const { return picture_.Transparent(); }
    void SetTransparent(bool v) { picture_.SetTransparent(v); }
    bool Center() const { return center_; }
    void SetCenter(bool v);
    bool Stretch() const { return stretch_; }
    void SetStretch(bool v);

protected:
    void Paint(HDC dc) override;
    bool HasContentSize() const override { return true; }
    TSize ContentSize(int width) override;

private:
    TBitmap picture_;
    bool center_ = false;
    bool stretch_ = false;
};

}  // namespace swt
