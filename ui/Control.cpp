#include "ui/Control.h"

#include <windowsx.h>
#include <commctrl.h>

#include <algorithm>
#include <set>

#include "support/Error.h"
#include "ui/Application.h"
#include "ui/Form.h"
#include "ui/Menus.h"

namespace swt {

namespace {

constexpr const wchar_t* kControlProp = L"SwtControl";

// The window being laid out, so that bounds set by the layout pass do not start another one.
bool g_inLayout = false;

void RegisterWindowClass(const std::wstring& name, UINT style, WNDPROC proc) {
    static std::set<std::wstring> registered;
    if (registered.count(name)) return;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    if (::GetClassInfoExW(::GetModuleHandleW(nullptr), name.c_str(), &wc)) {
        registered.insert(name);
        return;
    }
    wc = WNDCLASSEXW{};
    wc.cbSize = sizeof wc;
    wc.style = style;
    wc.lpfnWndProc = proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = name.c_str();
    if (!::RegisterClassExW(&wc)) throw Error(L"Fensterklasse " + name + L" kann nicht registriert werden");
    registered.insert(name);
}

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

// ---------------------------------------------------------------- TControl

TControl::TControl() {
    font_.OnChange = [this] {
        if (!fontFromParent_) parentFont_ = false;
        FontChanged();
    };
}

TControl::~TControl() { Application().ControlDestroyed(this); }

TForm* TControl::ParentForm() const {
    for (const TControl* c = this; c; c = c->parent_)
        if (auto* f = dynamic_cast<const TForm*>(c)) return const_cast<TForm*>(f);
    return nullptr;
}

void TControl::SetBounds(int left, int top, int width, int height) {
    const TRect r = TRect::Bounds(left, top, std::max(0, width), std::max(0, height));
    if (r == bounds_) return;
    const TRect old = bounds_;
    bounds_ = r;
    BoundsChanged(old);
    RequestLayout();
}

POINT TControl::ClientToScreen(POINT p) const {
    if (!parent_) return p;
    return parent_->ClientToScreen(POINT{p.x + bounds_.Left, p.y + bounds_.Top});
}

void TControl::SetAlign(TAlign a) {
    if (Change(align_, a)) RequestLayout();
}

void TControl::SetAlignWithMargins(bool v) {
    if (Change(alignWithMargins_, v)) RequestLayout();
}

void TControl::SetMargins(const TMargins& m) {
    if (Change(margins_, m)) RequestLayout();
}

void TControl::SetAutoSize(bool v) {
    if (Change(autoSize_, v)) RequestLayout();
}

void TControl::SetVisible(bool v) {
    if (v == visible_) return;
    visible_ = v;
    VisibleChanged();
    if (!IsWindowed() && parent_ && parent_->HandleAllocated()) {
        RECT r = bounds_.ToRECT();
        ::InvalidateRect(parent_->hwnd_, &r, FALSE);
    }
    RequestLayout();
}

bool TControl::Showing() const {
    if (!visible_) return false;
    if (parent_) return parent_->Showing();
    if (IsWindowed()) {
        auto* w = static_cast<const TWinControl*>(this);
        return w->HandleAllocated() && ::IsWindowVisible(w->hwnd_);
    }
    return false;
}

void TControl::SetEnabled(bool v) {
    if (v == enabled_) return;
    enabled_ = v;
    if (IsWindowed()) {
        auto* w = static_cast<TWinControl*>(this);
        if (w->HandleAllocated()) ::EnableWindow(w->hwnd_, v);
    }
    Invalidate();
}

void TControl::SetColor(TColor c) {
    parentColor_ = false;
    if (c == color_) return;
    color_ = c;
    Invalidate();
}

void TControl::SetParentColor(bool v) { SetRepaint(parentColor_, v); }

TColor TControl::EffectiveColor() const {
    if (parentColor_ && parent_) return parent_->EffectiveColor();
    if (color_ == clDefault) return DefaultColor();
    return color_;
}

COLORREF TControl::BackgroundRGB() const { return ColorToRGB(EffectiveColor(), ::GetSysColor(COLOR_BTNFACE)); }

void TControl::SetParentFont(bool v) {
    if (v == parentFont_) return;
    parentFont_ = v;
    if (v && parent_) TakeParentFont(parent_->Font());
}

void TControl::TakeParentFont(const TFont& f) {
    fontFromParent_ = true;
    try {
        font_.Assign(f);
    } catch (...) {
        fontFromParent_ = false;
        throw;
    }
    fontFromParent_ = false;
}

bool TControl::ShowHint() const {
    if (parentShowHint_ && parent_) return parent_->ShowHint();
    return showHint_;
}

void TControl::Invalidate() {
    if (parent_ && parent_->HandleAllocated()) {
        RECT r = bounds_.ToRECT();
        ::InvalidateRect(parent_->hwnd_, &r, FALSE);
    }
}

void TControl::Repaint() {
    Invalidate();
    if (parent_ && parent_->HandleAllocated()) ::UpdateWindow(parent_->hwnd_);
}

void TControl::BuildLayoutNode(TLayoutNode& n) {
    n.Align = align_;
    n.AlignWithMargins = alignWithMargins_;
    n.Margins = margins_;
    n.Bounds = bounds_;
    n.Visible = visible_;
    n.AutoSize = autoSize_;
    n.Owner = this;
    if (HasContentSize()) n.Measure = [this](int width) { return ContentSize(width); };
}

void TControl::ApplyLayoutNode(const TLayoutNode& n) {
    if (n.Bounds == bounds_) return;
    const TRect old = bounds_;
    bounds_ = n.Bounds;
    BoundsChanged(old);
}

void TControl::RequestLayout() {
    TControl* root = this;
    while (root->parent_) root = root->parent_;
    if (root->IsWindowed()) static_cast<TWinControl*>(root)->LayoutRoot();
}

void TControl::ChangeScale(int M, int D) {
    if (M == D || D <= 0) return;
    auto sc = [&](int v) { return ::MulDiv(v, M, D); };
    const TRect& b = bounds_;
    SetBounds(sc(b.Left), sc(b.Top), sc(b.Width()), sc(b.Height()));
    const TMargins m = margins_;
    SetMargins(TMargins{sc(m.Left), sc(m.Top), sc(m.Right), sc(m.Bottom)});
    if (!parentFont_) {
        font_.SetHeight(sc(font_.Height()));
    }
}

void TControl::BoundsChanged(const TRect& old) {
    if (parent_ && parent_->HandleAllocated()) {
        RECT a = old.ToRECT(), b = bounds_.ToRECT();
        ::InvalidateRect(parent_->hwnd_, &a, FALSE);
        ::InvalidateRect(parent_->hwnd_, &b, FALSE);
    }
}

void TControl::FontChanged() {
    RequestLayout();
    Invalidate();
}

void TControl::DoMouseDown(TMouseButton b, TShiftState s, int x, int y) {
    if (OnMouseDown) OnMouseDown(*this, b, s, x, y);
}

void TControl::DoMouseUp(TMouseButton b, TShiftState s, int x, int y) {
    if (OnMouseUp) OnMouseUp(*this, b, s, x, y);
}

void TControl::DoClick() {
    if (OnClick) OnClick(*this);
}

void TControl::DoDblClick() {
    if (OnDblClick) OnDblClick(*this);
}

void TControl::DoMouseMove(TShiftState s, int x, int y) {
    if (OnMouseMove) OnMouseMove(*this, s, x, y);
}

void TControl::DoMouseEnter() {
    mouseIn_ = true;
    if (OnMouseEnter) OnMouseEnter(*this);
}

void TControl::DoMouseLeave() {
    mouseIn_ = false;
    if (OnMouseLeave) OnMouseLeave(*this);
}

// ---------------------------------------------------------------- TWinControl

TWinControl::TWinControl() = default;

TWinControl::~TWinControl() {
    // Children first: their windows go before ours, and none of them outlives its parent.
    while (!controls_.empty()) {
        std::unique_ptr<TControl> last = std::move(controls_.back());
        controls_.pop_back();
        last.reset();
    }
    DestroyHandle();
}

TWinControl* TWinControl::FromHandle(HWND h) {
    return h ? static_cast<TWinControl*>(::GetPropW(h, kControlProp)) : nullptr;
}

HWND TWinControl::Handle() {
    if (!hwnd_) {
        if (parent_ && !parent_->HandleAllocated()) parent_->Handle();  // creates ours too
        if (!hwnd_) CreateHandle();
    }
    return hwnd_;
}

void TWinControl::CreateParams(TCreateParams& p) {
    p.ClassName = kControlClass;
    p.Style = WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | (Visible() ? WS_VISIBLE : 0);
    p.X = Left();
    p.Y = Top();
    p.Width = Width();
    p.Height = Height();
    p.Parent = Parent() ? Parent()->Handle() : nullptr;
}

void TWinControl::CreateHandle() {
    if (hwnd_) return;
    TCreateParams p;
    CreateParams(p);
    if (!p.SystemClass) RegisterWindowClass(p.ClassName, p.ClassStyle, &TWinControl::StdWndProc);
    HWND h = ::CreateWindowExW(p.ExStyle, p.ClassName.c_str(), p.Caption.c_str(), p.Style, p.X, p.Y, p.Width,
                               p.Height, p.Parent, nullptr, ::GetModuleHandleW(nullptr), this);
    if (!h) throw Error(L"Fenster der Klasse " + p.ClassName + L" kann nicht erzeugt werden");
    if (p.SystemClass) {
        hwnd_ = h;
        ::SetPropW(h, kControlProp, this);
        ::SetWindowSubclass(h, &TWinControl::SubclassProc, 1, reinterpret_cast<DWORD_PTR>(this));
        subclassed_ = true;
    }
    for (auto& c : controls_)
        if (c->IsWindowed()) static_cast<TWinControl*>(c.get())->CreateHandle();
    HandleCreated();
}

void TWinControl::DestroyHandle() {
    if (!hwnd_) return;
    HWND h = hwnd_;
    ::DestroyWindow(h);  // WM_NCDESTROY clears hwnd_
    hwnd_ = nullptr;
}

LRESULT CALLBACK TWinControl::StdWndProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
    TWinControl* self = nullptr;
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(l);
        self = static_cast<TWinControl*>(cs->lpCreateParams);
        if (self) {
            self->hwnd_ = h;
            ::SetPropW(h, kControlProp, self);
        }
    } else {
        self = FromHandle(h);
    }
    if (!self) return ::DefWindowProcW(h, msg, w, l);
    return self->Dispatch(msg, w, l);
}

LRESULT CALLBACK TWinControl::SubclassProc(HWND h, UINT msg, WPARAM w, LPARAM l, UINT_PTR, DWORD_PTR data) {
    auto* self = reinterpret_cast<TWinControl*>(data);
    return self->Dispatch(msg, w, l);
}

LRESULT TWinControl::Dispatch(UINT msg, WPARAM w, LPARAM l) {
    LRESULT r = 0;
    const HWND h = hwnd_;
    try {
        r = WndProc(msg, w, l);
    } catch (...) {
        // A failed paint counts as done, so that the error is shown once and not on every repaint.
        if (msg == WM_PAINT && h) ::ValidateRect(h, nullptr);
        // An error that reaches a window procedure goes to the standard error display.
        Application().HandleException(std::current_exception());
        r = 0;
    }
    if (msg == WM_NCDESTROY) {
        ::RemovePropW(h, kControlProp);
        if (subclassed_) ::RemoveWindowSubclass(h, &TWinControl::SubclassProc, 1);
        subclassed_ = false;
        if (hwnd_ == h) hwnd_ = nullptr;
    }
    return r;
}

LRESULT TWinControl::DefaultHandler(UINT msg, WPARAM w, LPARAM l) {
    if (subclassed_) return ::DefSubclassProc(hwnd_, msg, w, l);
    return ::DefWindowProcW(hwnd_, msg, w, l);
}

LRESULT TWinControl::WndProc(UINT msg, WPARAM w, LPARAM l) {
    switch (msg) {
    case WM_NCCALCSIZE:
        if (!subclassed_ && borderWidth_ > 0) {
            const LRESULT r = DefaultHandler(msg, w, l);
            RECT* rc = w ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(l)->rgrc[0] : reinterpret_cast<RECT*>(l);
            rc->left += borderWidth_;
            rc->top += borderWidth_;
            rc->right = std::max(rc->left, rc->right - borderWidth_);
            rc->bottom = std::max(rc->top, rc->bottom - borderWidth_);
            return r;
        }
        break;
    case WM_NCPAINT:
        if (!subclassed_ && borderWidth_ > 0) {
            const LRESULT r = DefaultHandler(msg, w, l);
            PaintBorder();
            return r;
        }
        break;
    case WM_ERASEBKGND:
        if (!subclassed_) return 1;
        break;
    case WM_PAINT:
        if (!subclassed_) {
            OnPaintMessage();
            return 0;
        }
        break;
    case WM_PRINTCLIENT:
        if (!subclassed_) {
            PaintWindow(reinterpret_cast<HDC>(w));
            return 0;
        }
        break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
        // The right button's release goes on to the default handler, which raises WM_CONTEXTMENU.
        if (HandleMouse(msg, w, l) && !subclassed_ && msg != WM_RBUTTONUP) return 0;
        break;
    case WM_CAPTURECHANGED:
        if (reinterpret_cast<HWND>(l) != hwnd_) mouseTarget_ = nullptr;
        break;
    case WM_MOUSEMOVE:
        HandleMouseMove(w, l);
        break;
    case WM_MOUSELEAVE:
        HandleMouseLeave();
        break;
    case WM_CONTEXTMENU:
        if (HandleContextMenu(l)) return 0;
        break;
    case WM_MEASUREITEM:
    case WM_DRAWITEM:
        if (TPopupMenu::OwnerDraw(msg, l)) return TRUE;
        break;
    }
    return DefaultHandler(msg, w, l);
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
        TControl* target = ControlAtPos(x, y);
        if (!target) target = this;
        if (!target->Enabled()) return true;
        const bool dbl = msg == WM_LBUTTONDBLCLK || msg == WM_RBUTTONDBLCLK || msg == WM_MBUTTONDBLCLK;
        // A double click gives DblClick; its button-up is no click.
        if (button == TMouseButton::mbLeft && !dbl) {
            mouseTarget_ = target;
            if (!subclassed_) ::SetCapture(hwnd_);
        }
        const int ox = target == this ? 0 : target->Left(), oy = target == this ? 0 : target->Top();
        if (msg == WM_LBUTTONDBLCLK) target->DoDblClick();
        if (hwnd_ && (target == this || ContainsControl(target))) target->DoMouseDown(button, shift, x - ox, y - oy);
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
        target = ControlAtPos(x, y);
        if (!target) target = this;
    }
    if (!target) return true;
    const int ox = target == this ? 0 : target->Left(), oy = target == this ? 0 : target->Top();
    target->DoMouseUp(button, shift, x - ox, y - oy);
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
    TControl* target = child ? child : this;
    const int ox = child ? child->Left() : 0, oy = child ? child->Top() : 0;
    target->DoMouseMove(ShiftFromKeys(w), x - ox, y - oy);
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
        if (TControl* c = ControlAtPos(client.x, client.y)) target = c;
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

TControl* TWinControl::ControlAtPos(int x, int y) const {
    for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
        TControl* c = it->get();
        if (c->IsWindowed() || !c->Visible()) continue;
        if (c->BoundsRect().Contains(x, y)) return c;
    }
    return nullptr;
}

bool TWinControl::ContainsControl(const TControl* c) const {
    for (auto& p : controls_)
        if (p.get() == c) return true;
    return false;
}

void TWinControl::OnPaintMessage() {
    PaintGuard pg(hwnd_);
    if (!pg.dc()) return;
    RECT rc;
    ::GetClientRect(hwnd_, &rc);
    if (doubleBuffered_ && rc.right > 0 && rc.bottom > 0) {
        UniqueMemDc mem(::CreateCompatibleDC(pg.dc()));
        UniqueBitmap bmp(::CreateCompatibleBitmap(pg.dc(), rc.right, rc.bottom));
        if (mem && bmp) {
            SelectGuard sel(mem.get(), bmp.get());
            PaintWindow(mem.get());
            ::BitBlt(pg.dc(), 0, 0, rc.right, rc.bottom, mem.get(), 0, 0, SRCCOPY);
            return;
        }
    }
    PaintWindow(pg.dc());
}

void TWinControl::PaintWindow(HDC dc) {
    RECT rc;
    if (hwnd_)
        ::GetClientRect(hwnd_, &rc);
    else
        rc = ClientRect().ToRECT();
    if (EffectiveColor() != clNone) {
        UniqueBrush b(::CreateSolidBrush(BackgroundRGB()));
        ::FillRect(dc, &rc, b.get());
    }
    PaintFrame(dc);
    {
        SavedDc saved(dc);
        Paint(dc);
    }
    for (auto& c : controls_) {
        if (c->IsWindowed() || !c->Visible()) continue;
        const TRect& b = c->BoundsRect();
        if (b.Width() <= 0 || b.Height() <= 0) continue;
        SavedDc saved(dc);
        ::IntersectClipRect(dc, b.Left, b.Top, b.Right, b.Bottom);
        ::OffsetViewportOrgEx(dc, b.Left, b.Top, nullptr);
        c->Paint(dc);
    }
}

void TWinControl::ForgetChild(TControl* c) {
    if (mouseTarget_ == c) mouseTarget_ = nullptr;
    if (hoverChild_ == c) hoverChild_ = nullptr;
}

void TWinControl::InsertControl(std::unique_ptr<TControl> child) {
    TControl* c = child.get();
    if (c->parent_) throw Error(L"Steuerelement hat schon ein übergeordnetes Element");
    controls_.push_back(std::move(child));
    c->parent_ = this;
    if (c->parentFont_) c->TakeParentFont(Font());
    if (hwnd_ && c->IsWindowed()) static_cast<TWinControl*>(c)->CreateHandle();
    c->Invalidate();
    RequestLayout();
}

void TWinControl::RemoveControl(TControl* child) {
    auto it = std::find_if(controls_.begin(), controls_.end(), [&](auto& p) { return p.get() == child; });
    if (it == controls_.end()) return;
    ForgetChild(child);
    std::unique_ptr<TControl> owned = std::move(*it);
    controls_.erase(it);
    owned->Invalidate();
    owned.reset();
    RequestLayout();
}

void TWinControl::SetBorderWidth(int w) {
    w = std::max(0, w);
    if (w == borderWidth_) return;
    borderWidth_ = w;
    if (hwnd_)
        ::SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0,
                       SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    Invalidate();
    RequestLayout();
}

void TWinControl::SetDoubleBuffered(bool v) { doubleBuffered_ = v; }

void TWinControl::ChangeScale(int M, int D) {
    if (M == D || D <= 0) return;
    DisableAlign();
    try {
        TControl::ChangeScale(M, D);
        SetBorderWidth(::MulDiv(borderWidth_, M, D));
        for (auto& c : controls_) c->ChangeScale(M, D);
    } catch (...) {
        EnableAlign();
        throw;
    }
    EnableAlign();
}

void TWinControl::EnableAlign() {
    if (alignDisabled_ > 0 && --alignDisabled_ == 0 && alignPending_) {
        alignPending_ = false;
        Realign();
    }
}

void TWinControl::LayoutRoot() {
    if (g_inLayout) return;
    if (alignDisabled_ > 0) {
        alignPending_ = true;
        return;
    }
    Realign();
}

void TWinControl::Realign() {
    TControl* rootCtl = this;
    while (rootCtl->Parent()) rootCtl = rootCtl->Parent();
    auto* root = static_cast<TWinControl*>(rootCtl);
    if (root->alignDisabled_ > 0) {
        root->alignPending_ = true;
        return;
    }
    if (g_inLayout) return;
    g_inLayout = true;
    try {
        TLayoutNode n;
        root->BuildLayoutNode(n);
        LayoutTree(n);
        root->ApplyLayoutNode(n);
    } catch (...) {
        g_inLayout = false;
        throw;
    }
    g_inLayout = false;
}

TMargins TWinControl::Padding() const { return TMargins{0, 0, 0, 0}; }

TRect TWinControl::ClientRect() const {
    return TRect{0, 0, std::max(0, Width() - 2 * borderWidth_), std::max(0, Height() - 2 * borderWidth_)};
}

POINT TWinControl::ClientToScreen(POINT p) const {
    if (hwnd_) {
        ::ClientToScreen(hwnd_, &p);
        return p;
    }
    return TControl::ClientToScreen(POINT{p.x + borderWidth_, p.y + borderWidth_});
}

void TWinControl::PaintBorder() {
    if (borderWidth_ <= 0 || !hwnd_) return;
    RECT wr, cr;
    ::GetWindowRect(hwnd_, &wr);
    ::GetClientRect(hwnd_, &cr);
    ::MapWindowPoints(hwnd_, nullptr, reinterpret_cast<POINT*>(&cr), 2);
    ::OffsetRect(&cr, -wr.left, -wr.top);
    RECT ring = cr;
    ::InflateRect(&ring, borderWidth_, borderWidth_);
    HDC dc = ::GetWindowDC(hwnd_);
    if (!dc) return;
    ::ExcludeClipRect(dc, cr.left, cr.top, cr.right, cr.bottom);
    UniqueBrush b(::CreateSolidBrush(BackgroundRGB()));
    ::FillRect(dc, &ring, b.get());
    ::ReleaseDC(hwnd_, dc);
}

void TWinControl::BuildLayoutNode(TLayoutNode& n) {
    TControl::BuildLayoutNode(n);
    n.Padding = Padding();
    n.BorderWidth = borderWidth_;
    n.Children.resize(controls_.size());
    for (size_t i = 0; i < controls_.size(); ++i) controls_[i]->BuildLayoutNode(n.Children[i]);
}

void TWinControl::ApplyLayoutNode(const TLayoutNode& n) {
    TControl::ApplyLayoutNode(n);
    for (size_t i = 0; i < controls_.size() && i < n.Children.size(); ++i) controls_[i]->ApplyLayoutNode(n.Children[i]);
}

void TWinControl::BoundsChanged(const TRect& old) {
    UpdateWindowBounds();
    Invalidate();
}

void TWinControl::UpdateWindowBounds() {
    if (!hwnd_) return;
    settingBounds_ = true;
    ::SetWindowPos(hwnd_, nullptr, Left(), Top(), Width(), Height(), SWP_NOZORDER | SWP_NOACTIVATE);
    settingBounds_ = false;
}

void TWinControl::FontChanged() {
    for (auto& c : controls_)
        if (c->ParentFont()) c->TakeParentFont(Font());
    TControl::FontChanged();
}

void TWinControl::VisibleChanged() {
    if (hwnd_ && Parent()) ::ShowWindow(hwnd_, Visible() ? SW_SHOWNA : SW_HIDE);
}

void TWinControl::Invalidate() {
    if (hwnd_) ::RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN);
}

void TWinControl::Repaint() {
    if (hwnd_)
        ::RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void TWinControl::BringToFront() {
    if (hwnd_) ::SetWindowPos(hwnd_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

}  // namespace swt
