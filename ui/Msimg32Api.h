// The drawing functions of msimg32.dll, without msimg32: that library is not among those Windows
// always takes from its system folder, so importing it would load a copy planted beside the
// program (see support/SystemLibrary.h). gdi32 itself carries the same functions (msimg32 only
// forwards to them), so these wrappers call gdi32's. Same signatures as the system's; call them
// qualified (msimg32::TransparentBlt), since the system's declarations are in scope too.
#pragma once
#include <windows.h>

namespace swt::msimg32 {

BOOL WINAPI TransparentBlt(HDC dest, int xDest, int yDest, int wDest, int hDest, HDC src, int xSrc, int ySrc,
                           int wSrc, int hSrc, UINT transparent);
BOOL WINAPI AlphaBlend(HDC dest, int xDest, int yDest, int wDest, int hDest, HDC src, int xSrc, int ySrc, int wSrc,
                       int hSrc, BLENDFUNCTION blend);
BOOL WINAPI GradientFill(HDC dc, PTRIVERTEX vertices, ULONG vertexCount, PVOID mesh, ULONG meshCount, ULONG mode);

}  // namespace swt::msimg32
