#include "components/DrawApi.h"

#include <string>

namespace swt::drawapi {

namespace {

HMODULE LoadSystemLibrary(const wchar_t* name) {
    HMODULE m = ::LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (m) return m;
    // Systems without the search flags: the full path in the system folder.
    wchar_t dir[MAX_PATH];
    const UINT n = ::GetSystemDirectoryW(dir, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return nullptr;
    const std::wstring path = std::wstring(dir, n) + L"\\" + name;
    return ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

template <typename F>
F Lookup(HMODULE m, const char* name) {
    return m ? reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(m, name))) : nullptr;
}

struct Uxtheme {
    HMODULE module = LoadSystemLibrary(L"uxtheme.dll");  // kept for the process's life
    decltype(&::IsAppThemed) isAppThemed = Lookup<decltype(&::IsAppThemed)>(module, "IsAppThemed");
    decltype(&::IsThemeActive) isThemeActive = Lookup<decltype(&::IsThemeActive)>(module, "IsThemeActive");
    decltype(&::OpenThemeData) open = Lookup<decltype(&::OpenThemeData)>(module, "OpenThemeData");
    decltype(&::CloseThemeData) close = Lookup<decltype(&::CloseThemeData)>(module, "CloseThemeData");
    decltype(&::DrawThemeBackground) background =
        Lookup<decltype(&::DrawThemeBackground)>(module, "DrawThemeBackground");
    decltype(&::DrawThemeText) text = Lookup<decltype(&::DrawThemeText)>(module, "DrawThemeText");
    decltype(&::DrawThemeTextEx) textEx = Lookup<decltype(&::DrawThemeTextEx)>(module, "DrawThemeTextEx");
    decltype(&::GetThemeTextExtent) extent = Lookup<decltype(&::GetThemeTextExtent)>(module, "GetThemeTextExtent");
};

const Uxtheme& Ux() {
    static const Uxtheme ux;
    return ux;
}

using GradientFillFn = BOOL(WINAPI*)(HDC, PTRIVERTEX, ULONG, PVOID, ULONG, ULONG);
GradientFillFn GradientFillProc() {
    static const GradientFillFn fn = Lookup<GradientFillFn>(LoadSystemLibrary(L"msimg32.dll"), "GradientFill");
    return fn;
}

}  // namespace

bool ThemesActive() {
    const Uxtheme& u = Ux();
    return u.isAppThemed && u.isThemeActive && u.isAppThemed() && u.isThemeActive();
}

HTHEME OpenThemeData(HWND window, const wchar_t* classList) {
    return Ux().open ? Ux().open(window, classList) : nullptr;
}

void CloseThemeData(HTHEME theme) {
    if (theme && Ux().close) Ux().close(theme);
}

HRESULT DrawThemeBackground(HTHEME theme, HDC dc, int part, int state, const RECT* rect, const RECT* clip) {
    return Ux().background ? Ux().background(theme, dc, part, state, rect, clip) : E_NOTIMPL;
}

HRESULT DrawThemeText(HTHEME theme, HDC dc, int part, int state, const wchar_t* text, int length, DWORD flags,
                      const RECT* rect) {
    return Ux().text ? Ux().text(theme, dc, part, state, text, length, flags, 0, rect) : E_NOTIMPL;
}

HRESULT DrawThemeTextEx(HTHEME theme, HDC dc, int part, int state, const wchar_t* text, int length, DWORD flags,
                        RECT* rect, const DTTOPTS* options) {
    return Ux().textEx ? Ux().textEx(theme, dc, part, state, text, length, flags, rect, options) : E_NOTIMPL;
}

HRESULT GetThemeTextExtent(HTHEME theme, HDC dc, int part, int state, const wchar_t* text, int length, DWORD flags,
                           const RECT* bounds, RECT* extent) {
    return Ux().extent ? Ux().extent(theme, dc, part, state, text, length, flags, bounds, extent) : E_NOTIMPL;
}

bool FillVerticalGradient(HDC dc, const RECT& r, COLORREF top, COLORREF bottom) {
    GradientFillFn fill = GradientFillProc();
    if (!fill) return false;
    TRIVERTEX v[2] = {};
    v[0].x = r.left;
    v[0].y = r.top;
    v[0].Red = static_cast<COLOR16>(GetRValue(top) << 8);
    v[0].Green = static_cast<COLOR16>(GetGValue(top) << 8);
    v[0].Blue = static_cast<COLOR16>(GetBValue(top) << 8);
    v[1].x = r.right;
    v[1].y = r.bottom;
    v[1].Red = static_cast<COLOR16>(GetRValue(bottom) << 8);
    v[1].Green = static_cast<COLOR16>(GetGValue(bottom) << 8);
    v[1].Blue = static_cast<COLOR16>(GetBValue(bottom) << 8);
    GRADIENT_RECT gr{0, 1};
    return fill(dc, v, 2, &gr, 1, GRADIENT_FILL_RECT_V) != FALSE;
}

}  // namespace swt::drawapi
