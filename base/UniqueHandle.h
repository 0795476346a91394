// Move-only owners for every Win32 handle kind, and the select-and-restore and paint guards.
// Every handle the programs open goes into one of these, so early exits never leak.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <utility>

namespace swt {

// Owner of one handle value; Traits gives the "none" value and the release call.
template <typename Traits>
class UniqueHandle {
public:
    using pointer = typename Traits::pointer;

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(pointer h) noexcept : h_(h) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& o) noexcept : h_(o.release()) {}
    UniqueHandle& operator=(UniqueHandle&& o) noexcept {
        if (this != &o) reset(o.release());
        return *this;
    }
    ~UniqueHandle() { reset(); }

    pointer get() const noexcept { return h_; }
    explicit operator bool() const noexcept { return Traits::valid(h_); }
    pointer release() noexcept { return std::exchange(h_, Traits::invalid()); }
    void reset(pointer h = Traits::invalid()) noexcept {
        pointer old = std::exchange(h_, h);
        if (Traits::valid(old)) Traits::close(old);
    }
    // For out-parameters of creating calls: releases the current handle first.
    pointer* put() noexcept {
        reset();
        return &h_;
    }

private:
    pointer h_ = Traits::invalid();
};

namespace detail {
template <typename P, auto Close>
struct SimpleTraits {
    using pointer = P;
    static constexpr P invalid() noexcept { return nullptr; }
    static bool valid(P h) noexcept { return h != nullptr; }
    static void close(P h) noexcept { Close(h); }
};
struct FileHandleTraits {
    using pointer = HANDLE;
    static HANDLE invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static bool valid(HANDLE h) noexcept { return h != INVALID_HANDLE_VALUE && h != nullptr; }
    static void close(HANDLE h) noexcept { ::CloseHandle(h); }
};
struct HandleTraits {
    using pointer = HANDLE;
    static HANDLE invalid() noexcept { return nullptr; }
    static bool valid(HANDLE h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) noexcept { ::CloseHandle(h); }
};
inline void CloseKey(HKEY k) noexcept { ::RegCloseKey(k); }
inline void DeleteGdiObject(HGDIOBJ o) noexcept { ::DeleteObject(o); }
inline void DeleteDc(HDC dc) noexcept { ::DeleteDC(dc); }
inline void DestroyIconHandle(HICON i) noexcept { ::DestroyIcon(i); }
inline void DestroyWindowHandle(HWND w) noexcept { ::DestroyWindow(w); }
inline void FreeLibraryHandle(HMODULE m) noexcept { ::FreeLibrary(m); }
inline void DestroyMenuHandle(HMENU m) noexcept { ::DestroyMenu(m); }
inline void DestroyImageList(HIMAGELIST l) noexcept { ::ImageList_Destroy(l); }

// A device context of a window (GetDC or GetWindowDC): released to that window.
struct WindowDcTraits {
    struct pointer {
        HWND window = nullptr;
        HDC dc = nullptr;
    };
    static pointer invalid() noexcept { return {}; }
    static bool valid(const pointer& p) noexcept { return p.dc != nullptr; }
    static void close(const pointer& p) noexcept { ::ReleaseDC(p.window, p.dc); }
};
struct FindTraits : FileHandleTraits {
    static void close(HANDLE h) noexcept { ::FindClose(h); }
};
}  // namespace detail

// Process, thread, event, token, mapping: 0 means none.
using UniqueHandleT = UniqueHandle<detail::HandleTraits>;
// CreateFileW and snapshot results: INVALID_HANDLE_VALUE means none.
using UniqueFile = UniqueHandle<detail::FileHandleTraits>;
using UniqueKey = UniqueHandle<detail::SimpleTraits<HKEY, detail::CloseKey>>;
using UniqueGdiObject = UniqueHandle<detail::SimpleTraits<HGDIOBJ, detail::DeleteGdiObject>>;
using UniqueBitmap = UniqueHandle<detail::SimpleTraits<HBITMAP, detail::DeleteGdiObject>>;
using UniqueFont = UniqueHandle<detail::SimpleTraits<HFONT, detail::DeleteGdiObject>>;
using UniqueBrush = UniqueHandle<detail::SimpleTraits<HBRUSH, detail::DeleteGdiObject>>;
using UniquePen = UniqueHandle<detail::SimpleTraits<HPEN, detail::DeleteGdiObject>>;
using UniqueRgn = UniqueHandle<detail::SimpleTraits<HRGN, detail::DeleteGdiObject>>;
using UniqueMemDc = UniqueHandle<detail::SimpleTraits<HDC, detail::DeleteDc>>;
using UniqueIcon = UniqueHandle<detail::SimpleTraits<HICON, detail::DestroyIconHandle>>;
using UniqueWindow = UniqueHandle<detail::SimpleTraits<HWND, detail::DestroyWindowHandle>>;
using UniqueModule = UniqueHandle<detail::SimpleTraits<HMODULE, detail::FreeLibraryHandle>>;
using UniqueFind = UniqueHandle<detail::FindTraits>;
using UniqueMenu = UniqueHandle<detail::SimpleTraits<HMENU, detail::DestroyMenuHandle>>;
using UniqueImageList = UniqueHandle<detail::SimpleTraits<HIMAGELIST, detail::DestroyImageList>>;

// A device context obtained by GetDC (client area) or GetWindowDC (whole window, frame
// included), released to its window.
class WindowDc : public UniqueHandle<detail::WindowDcTraits> {
public:
    enum Area { Client, WholeWindow };
    explicit WindowDc(HWND w, Area area = Client) noexcept
        : UniqueHandle(pointer{w, area == WholeWindow ? ::GetWindowDC(w) : ::GetDC(w)}) {}
    HDC get() const noexcept { return UniqueHandle::get().dc; }
};

// BeginPaint/EndPaint for one WM_PAINT.
class PaintGuard {
public:
    explicit PaintGuard(HWND w) noexcept : w_(w) { dc_ = ::BeginPaint(w, &ps_); }
    PaintGuard(const PaintGuard&) = delete;
    PaintGuard& operator=(const PaintGuard&) = delete;
    ~PaintGuard() { ::EndPaint(w_, &ps_); }
    HDC dc() const noexcept { return dc_; }
    const RECT& rect() const noexcept { return ps_.rcPaint; }

private:
    HWND w_;
    PAINTSTRUCT ps_{};
    HDC dc_;
};

// Selects a GDI object into a DC and puts the previous one back at scope end.
class SelectGuard {
public:
    SelectGuard(HDC dc, HGDIOBJ obj) noexcept : dc_(dc), old_(obj ? ::SelectObject(dc, obj) : nullptr) {}
    SelectGuard(const SelectGuard&) = delete;
    SelectGuard& operator=(const SelectGuard&) = delete;
    ~SelectGuard() {
        if (old_) ::SelectObject(dc_, old_);
    }

private:
    HDC dc_;
    HGDIOBJ old_;
};

// SaveDC/RestoreDC around a block that changes several DC settings.
class SavedDc {
public:
    explicit SavedDc(HDC dc) noexcept : dc_(dc), id_(::SaveDC(dc)) {}
    SavedDc(const SavedDc&) = delete;
    SavedDc& operator=(const SavedDc&) = delete;
    ~SavedDc() {
        if (id_) ::RestoreDC(dc_, id_);
    }

private:
    HDC dc_;
    int id_;
};

}  // namespace swt
