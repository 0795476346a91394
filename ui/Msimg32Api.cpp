#include "ui/Msimg32Api.h"

namespace swt::msimg32 {

BOOL WINAPI TransparentBlt(HDC dest, int xDest, int yDest, int wDest, int hDest, HDC src, int xSrc, int ySrc,
                           int wSrc, int hSrc, UINT transparent) {
    return ::GdiTransparentBlt(dest, xDest, yDest, wDest, hDest, src, xSrc, ySrc, wSrc, hSrc, transparent);
}

BOOL WINAPI AlphaBlend(HDC dest, int xDest, int yDest, int wDest, int hDest, HDC src, int xSrc, int ySrc, int wSrc,
                       int hSrc, BLENDFUNCTION blend) {
    return ::GdiAlphaBlend(dest, xDest, yDest, wDest, hDest, src, xSrc, ySrc, wSrc, hSrc, blend);
}

BOOL WINAPI GradientFill(HDC dc, PTRIVERTEX vertices, ULONG vertexCount, PVOID mesh, ULONG meshCount, ULONG mode) {
    return ::GdiGradientFill(dc, vertices, vertexCount, mesh, meshCount, mode);
}

}  // namespace swt::msimg32
