// The visual-styles functions (uxtheme.dll), reached at run time from the system folder: the
// programs never import uxtheme (see support/SystemLibrary.h). Same signatures as the system's;
// call them qualified (uxtheme::OpenThemeData), since the system's declarations are in scope too.
// Without the library or one of its functions each call fails the way an unthemed system answers:
// no theme data, "not themed", an error HRESULT, the classic system colour.
#pragma once
#include <windows.h>
#include <uxtheme.h>

#include "base/UniqueHandle.h"

namespace swt {

namespace uxtheme {
HTHEME WINAPI OpenThemeData(HWND window, LPCWSTR classList);
HRESULT WINAPI CloseThemeData(HTHEME theme);
BOOL WINAPI IsThemeActive();
BOOL WINAPI IsAppThemed();
HRESULT WINAPI DrawThemeBackground(HTHEME theme, HDC dc, int partId, int stateId, const RECT* rect,
                                   const RECT* clipRect);
HRESULT WINAPI DrawThemeText(HTHEME theme, HDC dc, int partId, int stateId, LPCWSTR text, int charCount,
                             DWORD textFlags, DWORD textFlags2, const RECT* rect);
HRESULT WINAPI DrawThemeTextEx(HTHEME theme, HDC dc, int partId, int stateId, LPCWSTR text, int charCount,
                               DWORD textFlags, RECT* rect, const DTTOPTS* options);
HRESULT WINAPI GetThemeTextExtent(HTHEME theme, HDC dc, int partId, int stateId, LPCWSTR text, int charCount,
                                  DWORD textFlags, const RECT* boundingRect, RECT* extentRect);
HRESULT WINAPI GetThemePartSize(HTHEME theme, HDC dc, int partId, int stateId, RECT* rect, THEMESIZE size,
                                SIZE* result);
HRESULT WINAPI GetThemeColor(HTHEME theme, int partId, int stateId, int propId, COLORREF* color);
HRESULT WINAPI DrawThemeParentBackground(HWND window, HDC dc, const RECT* rect);
COLORREF WINAPI GetThemeSysColor(HTHEME theme, int colorId);

// Whether uxtheme.dll and its OpenThemeData could be reached.
bool Available();
}  // namespace uxtheme

namespace detail {
inline void CloseTheme(HTHEME t) noexcept { uxtheme::CloseThemeData(t); }
}  // namespace detail
using UniqueTheme = UniqueHandle<detail::SimpleTraits<HTHEME, detail::CloseTheme>>;

}  // namespace swt
