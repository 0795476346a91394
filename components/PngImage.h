// An in-memory picture with 8-bit red, green and blue channels and an optional 8-bit alpha
// channel (0 transparent ... 255 opaque). Nothing here reads or writes PNG data: the picture is
// filled from a bitmap, given an alpha channel, drawn, measured and copied.
#pragma once
#include <windows.h>

#include <cstdint>
#include <vector>

#include "ui/Types.h"

namespace swt {

class TPngImage {
public:
    TPngImage() = default;
    TPngImage(int width, int height) { SetSize(width, height); }

    int Width() const { return w_; }
    int Height() const { return h_; }
    bool Empty() const { return w_ <= 0 || h_ <= 0; }
    bool HasAlpha() const { return !alpha_.empty(); }

    // New size: black, no alpha channel.
    void SetSize(int width, int height);
    // Size and colours of a bitmap (any depth, read as 24-bit RGB); no alpha channel. False when
    // the bitmap cannot be read (the picture is then empty).
    bool AssignBitmap(HBITMAP bitmap);
    // Adds an alpha channel, all opaque (255); an existing one is kept.
    void CreateAlpha();
    // One row of alpha bytes (Width of them); null without an alpha channel.
    uint8_t* AlphaScanline(int y);
    const uint8_t* AlphaScanline(int y) const;

    COLORREF Pixel(int x, int y) const;
    void SetPixel(int x, int y, COLORREF c);
    // 255 without an alpha channel.
    uint8_t Alpha(int x, int y) const;

    // Draws at its own size with (x, y) as top-left, blended through its alpha channel.
    void Draw(HDC dc, int x, int y) const;
    // Draws opaque, stretched into r (no alpha).
    void StretchDraw(HDC dc, const RECT& r) const;

    bool operator==(const TPngImage&) const = default;

private:
    int w_ = 0, h_ = 0;
    std::vector<uint32_t> bgrx_;   // top-down rows, 0x00RRGGBB as a 32-bit DIB reads it
    std::vector<uint8_t> alpha_;   // top-down rows, empty without alpha
};

}  // namespace swt
