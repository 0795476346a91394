#include "ui/ThemeApi.h"

#include "base/SystemLibrary.h"

namespace swt::uxtheme {

namespace {
constexpr HRESULT kMissing = HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);

constinit TSystemLibrary library{L"uxtheme.dll"};
constinit TSystemProc<decltype(::OpenThemeData)> openThemeData{library, "OpenThemeData"};
constinit TSystemProc<decltype(::CloseThemeData)> closeThemeData{library, "CloseThemeData"};
constinit TSystemProc<decltype(::IsThemeActive)> isThemeActive{library, "IsThemeActive"};
constinit TSystemProc<decltype(::IsAppThemed)> isAppThemed{library, "IsAppThemed"};
constinit TSystemProc<decltype(::DrawThemeBackground)> drawThemeBackground{library, "DrawThemeBackground"};
constinit TSystemProc<decltype(::DrawThemeText)> drawThemeText{library, "DrawThemeText"};
constinit TSystemProc<decltype(::DrawThemeTextEx)> drawThemeTextEx{library, "DrawThemeTextEx"};
constinit TSystemProc<decltype(::GetThemeTextExtent)> getThemeTextExtent{library, "GetThemeTextExtent"};
constinit TSystemProc<decltype(::GetThemePartSize)> getThemePartSize{library, "GetThemePartSize"};
constinit TSystemProc<decltype(::GetThemeColor)> getThemeColor{library, "GetThemeColor"};
constinit TSystemProc<decltype(::DrawThemeParentBackground)> drawThemeParentBackground{library,
                                                                                       "DrawThemeParentBackground"};
constinit TSystemProc<decltype(::GetThemeSysColor)> getThemeSysColor{library, "GetThemeSysColor"};
}  // namespace

bool Available() { return static_cast<bool>(openThemeData); }

HTHEME WINAPI OpenThemeData(HWND window, LPCWSTR classList) {
    if (auto f = openThemeData.get()) return f(window, classList);
    ::SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
}

HRESULT WINAPI CloseThemeData(HTHEME theme) {
    if (auto f = closeThemeData.get()) return f(theme);
    return kMissing;
}

BOOL WINAPI IsThemeActive() {
    if (auto f = isThemeActive.get()) return f();
    return FALSE;
}

BOOL WINAPI IsAppThemed() {
    if (auto f = isAppThemed.get()) return f();
    return FALSE;
}

HRESULT WINAPI DrawThemeBackground(HTHEME theme, HDC dc, int partId, int stateId, const RECT* rect,
                                   const RECT* clipRect) {
    if (auto f = drawThemeBackground.get()) return f(theme, dc, partId, stateId, rect, clipRect);
    return kMissing;
}

HRESULT WINAPI DrawThemeText(HTHEME theme, HDC dc, int partId, int stateId, LPCWSTR text, int charCount,
                             DWORD textFlags, DWORD textFlags2, const RECT* rect) {
    if (auto f = drawThemeText.get()) return f(theme, dc, partId, stateId, text, charCount, textFlags, textFlags2, rect);
    return kMissing;
}

HRESULT WINAPI DrawThemeTextEx(HTHEME theme, HDC dc, int partId, int stateId, LPCWSTR text, int charCount,
                               DWORD textFlags, RECT* rect, const DTTOPTS* options) {
    if (auto f = drawThemeTextEx.get()) return f(theme, dc, partId, stateId, text, charCount, textFlags, rect, options);
    return kMissing;
}

HRESULT WINAPI GetThemeTextExtent(HTHEME theme, HDC dc, int partId, int stateId, LPCWSTR text, int charCount,
                                  DWORD textFlags, const RECT* boundingRect, RECT* extentRect) {
    if (auto f = getThemeTextExtent.get())
        return f(theme, dc, partId, stateId, text, charCount, textFlags, boundingRect, extentRect);
    return kMissing;
}

HRESULT WINAPI GetThemePartSize(HTHEME theme, HDC dc, int partId, int stateId, RECT* rect, THEMESIZE size,
                                SIZE* result) {
    if (auto f = getThemePartSize.get()) return f(theme, dc, partId, stateId, rect, size, result);
    return kMissing;
}

HRESULT WINAPI GetThemeColor(HTHEME theme, int partId, int stateId, int propId, COLORREF* color) {
    if (auto f = getThemeColor.get()) return f(theme, partId, stateId, propId, color);
    return kMissing;
}

HRESULT WINAPI DrawThemeParentBackground(HWND window, HDC dc, const RECT* rect) {
    if (auto f = drawThemeParentBackground.get()) return f(window, dc, const_cast<RECT*>(rect));
    return kMissing;
}

COLORREF WINAPI GetThemeSysColor(HTHEME theme, int colorId) {
    if (auto f = getThemeSysColor.get()) return f(theme, colorId);
    return ::GetSysColor(colorId);
}

}  // namespace swt::uxtheme
