#include "ui/ScrollBox.h"

#include <algorithm>

namespace swt {

TScrollBox::TScrollBox() {
    SetBounds(0, 0, 185, 41);
    SetParentColor(true);
    SetAutoSize(true);
    SetDoubleBuffered(true);
}

void TScrollBox::ScrollTo(int y) {
    y = std::max(0, y);
    if (y == scrollY_) return;
    scrollY_ = y;
    // The layout clamps the position to the content and moves the children.
    Realign();
    if (HandleAllocated()) ::UpdateWindow(hwnd_);
}

void TScrollBox::ScrollByWheel(int delta) {
    wheelRest_ += delta;
    const int notches = wheelRest_ / WHEEL_DELTA;
    wheelRest_ -= notches * WHEEL_DELTA;
    if (notches != 0 && scrolled_) ScrollTo(scrollY_ - notches * 3 * kLineStep);
}

void TScrollBox::BuildLayoutNode(TLayoutNode& n) {
    TWinControl::BuildLayoutNode(n);
    n.Scrolls = true;
    n.ScrollBarWidth = ::GetSystemMetrics(SM_CXVSCROLL);
    n.ScrollY = scrollY_;
}

void TScrollBox::ApplyLayoutNode(const TLayoutNode& n) {
    const bool moved = n.Scrolled != scrolled_ || (n.Scrolled ? n.ScrollY : 0) != scrollY_;
    scrolled_ = n.Scrolled;
    scrollY_ = n.Scrolled ? n.ScrollY : 0;
    contentHeight_ = n.ContentHeight;
    TWinControl::ApplyLayoutNode(n);
    UpdateScrollBar();
    if (moved) Invalidate();
}

void TScrollBox::HandleCreated() { UpdateScrollBar(); }

void TScrollBox::UpdateScrollBar() {
    if (!HandleAllocated()) return;
    ::ShowScrollBar(hwnd_, SB_VERT, scrolled_);
    if (!scrolled_) return;
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMin = 0;
    si.nMax = std::max(0, contentHeight_ - 1);
    si.nPage = static_cast<UINT>(std::max(0, Height()));
    si.nPos = scrollY_;
    ::SetScrollInfo(hwnd_, SB_VERT, &si, TRUE);
}

LRESULT TScrollBox::WndProc(UINT msg, WPARAM w, LPARAM l) {
    switch (msg) {
    case WM_VSCROLL: {
        SCROLLINFO si{};
        si.cbSize = sizeof si;
        si.fMask = SIF_TRACKPOS;
        ::GetScrollInfo(hwnd_, SB_VERT, &si);
        const int page = std::max(kLineStep, Height() - kLineStep);
        switch (LOWORD(w)) {
        case SB_LINEUP: ScrollTo(scrollY_ - kLineStep); break;
        case SB_LINEDOWN: ScrollTo(scrollY_ + kLineStep); break;
        case SB_PAGEUP: ScrollTo(scrollY_ - page); break;
        case SB_PAGEDOWN: ScrollTo(scrollY_ + page); break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: ScrollTo(si.nTrackPos); break;
        case SB_TOP: ScrollTo(0); break;
        case SB_BOTTOM: ScrollTo(contentHeight_); break;
        default: break;
        }
        return 0;
    }
    case WM_MOUSEWHEEL:
        if (!scrolled_) break;  // on to the parent
        ScrollByWheel(GET_WHEEL_DELTA_WPARAM(w));
        return 0;
    }
    return TWinControl::WndProc(msg, w, l);
}

}  // namespace swt
