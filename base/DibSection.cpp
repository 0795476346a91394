#include "base/DibSection.h"

namespace swt {

BITMAPINFO DibInfo(int width, int height, WORD bitCount, DibRows rows) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = rows == DibRows::TopDown ? -height : height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = bitCount;
    bi.bmiHeader.biCompression = BI_RGB;
    return bi;
}

UniqueBitmap CreateDibSection(HDC dc, int width, int height, WORD bitCount, void** bits, DibRows rows) {
    *bits = nullptr;
    const BITMAPINFO bi = DibInfo(width, height, bitCount, rows);
    UniqueBitmap bitmap(::CreateDIBSection(dc, &bi, DIB_RGB_COLORS, bits, nullptr, 0));
    if (!bitmap) *bits = nullptr;
    return bitmap;
}

}  // namespace swt
