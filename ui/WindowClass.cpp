#include "ui/WindowClass.h"

#include "base/Error.h"

namespace swt {

void RegisterWindowClass(const TWindowClass& c) {
    const HINSTANCE module = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    if (::GetClassInfoExW(module, c.Name.c_str(), &wc)) return;
    wc = WNDCLASSEXW{};
    wc.cbSize = sizeof wc;
    wc.style = c.Style;
    wc.lpfnWndProc = c.Proc;
    wc.hInstance = module;
    wc.hCursor = c.Cursor ? c.Cursor : ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hIcon = c.Icon;
    wc.lpszClassName = c.Name.c_str();
    if (!::RegisterClassExW(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        throw Error(L"Fensterklasse " + c.Name + L" kann nicht registriert werden");
}

}  // namespace swt
