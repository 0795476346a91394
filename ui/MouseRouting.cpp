// Mouse input of windowed controls: buttons, clicks, moves, enter/leave and the context menu,
// routed to the graphic child under the mouse (HitTest) or to the control itself.
#include "ui/WinControl.h"

#include <windowsx.h>

#include "ui/Menus.h"

namespace swt {

namespace {

TShiftState ShiftFromKeys(WPARAM w) {
    TShiftState s = 0;
    if (w & MK_SHIFT) s |= ssShift;
    if (w & MK_CONTROL) s |= ssCtrl;
    if (w & MK_LBUTTON) s |= ssLeft;
    if (w & MK_RBUTTON) s |= ssRight;
    if (w & MK_MBUTTON) s |= ssMiddle;
    if (::GetKeyState(VK_MENU) < 0) s |= ssAlt;
    return s;
}

}  // namespace

TWinControl::THit TWinControl::HitTest(int x, int y) {
    TControl* c = ControlAtPos(x, y);
    if (!c) c = this;
    const POINT p = ToChild(c, x, y);
    return THit{c, p.x, p.y};
}

POINT TWinControl::ToChild(const TControl* c, int x, int y) const {
    if (c == this || !c) return POINT{x, y};
    return POINT{x - c->Left(), y - c->Top()};
}

bool TWinControl::HandleMouse(UINT msg, WPARAM w, LPARAM l) {
    const int x = GET_X_LPARAM(l), y = GET_Y_LPARAM(l);
    const TShiftState shift = ShiftFromKeys(w);
    TMouseButton button = TMouseButton::mbLeft;
    bool down = false;
    switch (msg) {
    case WM_LBUTTONDOWN: case WM_LBUTTONDBLCLK: down = true; break;
    case WM_RBUTTONDOWN: case WM_RBUTTONDBLCLK: down = true; button = TMouseButton::mbRight; break;
    case WM_MBUTTONDOWN: case WM_MBUTTONDBLCLK: down = true; button = TMouseButton::mbMiddle; break;
    case WM_RBUTTONUP: button = TMouseButton::mbRight; break;
    case WM_MBUTTONUP: button = TMouseButton::mbMiddle; break;
    default: break;
    }
    if (down) {
        const THit hit = HitTest(x, y);
        TControl* target = hit.Control;
        if (!target->Enabled()) return true;
        const bool dbl = msg == WM_LBUTTONDBLCLK || msg == WM_RBUTTONDBLCLK || msg == WM_MBUTTONDBLCLK;
        // A double click gives DblClick; its button-up is no click.
        if (button == TMouseButton::mbLeft && !dbl) {
            mouseTarget_ = target;
            if (!subclassed_) ::SetCapture(hwnd_);
        }
        if (msg == WM_LBUTTONDBLCLK) target->DoDblClick();
        if (hwnd_ && (target == this || ContainsControl(target))) target->DoMouseDown(button, shift, hit.X, hit.Y);
        // The handler may have taken the capture away (a window drag) or removed the control.
        if (hwnd_ && ::GetCapture() != hwnd_ && !subclassed_) mouseTarget_ = nullptr;
        return true;
    }
    TControl* target = nullptr;
    if (button == TMouseButton::mbLeft) {
        target = mouseTarget_;
        mouseTarget_ = nullptr;
        if (!subclassed_ && ::GetCapture() == hwnd_) ::ReleaseCapture();
        if (target && target != this && !ContainsControl(target)) target = nullptr;
    } else {
        target = HitTest(x, y).Control;
    }
    if (!target) return true;
    const POINT local = ToChild(target, x, y);
    target->DoMouseUp(button, shift, local.x, local.y);
    if (button == TMouseButton::mbLeft && (target == this || ContainsControl(target))) {
        const TRect r = target == this ? ClientRect() : target->BoundsRect();
        if (r.Contains(x, y)) target->DoClick();
    }
    return true;
}

void TWinControl::HandleMouseMove(WPARAM w, LPARAM l) {
    const int x = GET_X_LPARAM(l), y = GET_Y_LPARAM(l);
    if (!trackingLeave_) {
        TRACKMOUSEEVENT tme{sizeof tme, TME_LEAVE, hwnd_, 0};
        trackingLeave_ = ::TrackMouseEvent(&tme) != FALSE;
        if (!MouseInControl()) DoMouseEnter();
    }
    TControl* child = ControlAtPos(x, y);
    if (child != hoverChild_) {
        TControl* old = hoverChild_;
        hoverChild_ = child;
        if (old && ContainsControl(old)) old->DoMouseLeave();
        if (child) child->DoMouseEnter();
    }
    const THit hit = HitTest(x, y);
    hit.Control->DoMouseMove(ShiftFromKeys(w), hit.X, hit.Y);
}

void TWinControl::HandleMouseLeave() {
    trackingLeave_ = false;
    if (hoverChild_) {
        TControl* old = hoverChild_;
        hoverChild_ = nullptr;
        if (ContainsControl(old)) old->DoMouseLeave();
    }
    if (MouseInControl()) DoMouseLeave();
}

bool TWinControl::HandleContextMenu(LPARAM l) {
    POINT screen{GET_X_LPARAM(l), GET_Y_LPARAM(l)};
    TControl* target = this;
    if (screen.x == -1 && screen.y == -1) {
        // From the keyboard: the menu at the control's top-left corner.
        screen = ClientToScreen(POINT{0, 0});
    } else {
        POINT client = screen;
        ::ScreenToClient(hwnd_, &client);
        target = HitTest(client.x, client.y).Control;
    }
    for (TControl* c = target; c; c = c->Parent()) {
        if (TPopupMenu* m = c->PopupMenu()) {
            m->SetPopupComponent(target);
            m->Popup(screen.x, screen.y, hwnd_);
            return true;
        }
        // A windowed parent has its own window: the message goes up to it by itself.
        if (c != target && c->IsWindowed()) break;
    }
    return false;
}

}  // namespace swt
