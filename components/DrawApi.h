// The visual-style (uxtheme) and gradient (msimg32) calls the task button makes. Neither DLL is
// imported: both are loaded on first use from the system folder only. Without the DLL or the
// function every call fails quietly (null theme, E_NOTIMPL, FALSE), and the control draws
// classic.
#pragma once
#include <windows.h>
#include <uxtheme.h>

#include "support/UniqueHandle.h"

namespace swt::drawapi {

// Visual styles are on for this application (theme active and applied to its windows).
bool ThemesActive();
HTHEME OpenThemeData(HWND window, const wchar_t* classList);
void CloseThemeData(HTHEME theme);
HRESULT DrawThemeBackground(HTHEME theme, HDC dc, int part, int state, const RECT* rect, const RECT* clip);
HRESULT DrawThemeText(HTHEME theme, HDC dc, int part, int state, const wchar_t* text, int length, DWORD flags,
                      const RECT* rect);
HRESULT DrawThemeTextEx(HTHEME theme, HDC dc, int part, int state, const wchar_t* text, int length, DWORD flags,
                        RECT* rect, const DTTOPTS* options);
HRESULT GetThemeTextExtent(HTHEME theme, HDC dc, int part, int state, const wchar_t* text, int length, DWORD flags,
                           const RECT* bounds, RECT* extent);
// A vertical two-colour gradient over r (GradientFill, vertical rectangle mode).
bool FillVerticalGradient(HDC dc, const RECT& r, COLORREF top, COLORREF bottom);

namespace detail {
inline void CloseThemeHandle(HTHEME t) noexcept { drawapi::CloseThemeData(t); }
}  // namespace detail
// A theme handle closed through this seam.
using ThemeHandle = UniqueHandle<swt::detail::SimpleTraits<HTHEME, detail::CloseThemeHandle>>;

}  // namespace swt::drawapi
