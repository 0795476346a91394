#include "ui/WinControl.h"

#include <commctrl.h>

#include <algorithm>
#include <exception>

#include "base/Error.h"
#include "base/ScopeGuard.h"
#include "ui/Application.h"
#include "ui/Menus.h"
#include "ui/WindowClass.h"

namespace swt {

namespace {

constexpr const wchar_t* kControlProp = L"SwtControl";

}  // namespace

TWinControl::TWinControl() = default;

TWinControl::~TWinControl() {
    DestroyControls();
    DestroyHandle();
}

void TWinControl::DestroyControls() {
    // Children first: their windows go before ours, and none of them outlives its parent.
    while (!controls_.empty()) {
        std::unique_ptr<TControl> last = std::move(controls_.back());
        controls_.pop_back();
        ForgetChild(last.get());
        last.reset();
    }
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
    if (!p.SystemClass) RegisterWindowClass(TWindowClass{p.ClassName, &TWinControl::StdWndProc, p.ClassStyle});
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
        if (reinterpret_cast<HWND>(l) != hwnd_) {
            mouseTarget_ = nullptr;
            CaptureLost();
        }
        break;
    case WM_SETCURSOR:
        if (reinterpret_cast<HWND>(w) == hwnd_) {
            POINT p{};
            ::GetCursorPos(&p);
            ::ScreenToClient(hwnd_, &p);
            if (CursorQuery(LOWORD(l), p.x, p.y)) return TRUE;
        }
        break;
    case WM_SETFOCUS:
        FocusIn();
        break;
    case WM_KILLFOCUS:
        FocusOut();
        break;
    case WM_THEMECHANGED:
        ThemeChanged();
        Invalidate();
        break;
    case WM_SYSCOLORCHANGE:
        // Sent to top-level windows only: passed down to every windowed control.
        NotifySysColorChanged();
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
    // A control that was a form of its own brings the content layouts its batch held.
    if (c->IsWindowed() && static_cast<TWinControl*>(c)->contentLayoutsDeferred_)
        LayoutRootControl().contentLayoutsDeferred_ = true;
    if (c->parentFont_) c->TakeParentFont(Font());
    if (hwnd_ && c->IsWindowed()) static_cast<TWinControl*>(c)->CreateHandle();
    c->Invalidate();
    RequestLayout();
}

void TWinControl::AppendControl(std::unique_ptr<TControl> child) {
    int bottom = 0;
    for (const auto& c : controls_) bottom = std::max(bottom, c->Top() + c->Height());
    child->SetBounds(child->Left(), bottom, child->Width(), child->Height());
    InsertControl(std::move(child));
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
    TAlignBatch batch(*this);
    TControl::ChangeScale(M, D);
    ChangeScaleInside(M, D);
}

void TWinControl::ChangeScaleInside(int M, int D) {
    SetBorderWidth(::MulDiv(borderWidth_, M, D));
    for (auto& c : controls_) c->ChangeScale(M, D);
}

void TWinControl::NotifyDpiChanged(int oldDpi, int newDpi) {
    DpiChanged(oldDpi, newDpi);
    for (auto& c : controls_)
        if (c->IsWindowed()) static_cast<TWinControl*>(c.get())->NotifyDpiChanged(oldDpi, newDpi);
}

void TWinControl::NotifySysColorChanged() {
    SysColorChanged();
    Invalidate();
    for (auto& c : controls_)
        if (c->IsWindowed()) static_cast<TWinControl*>(c.get())->NotifySysColorChanged();
}

bool TWinControl::Focused() const { return hwnd_ && ::GetFocus() == hwnd_; }

void TWinControl::SetFocus() {
    if (HWND h = Handle()) ::SetFocus(h);
}

TAlignBatch::TAlignBatch(TControl& c) : exceptions_(std::uncaught_exceptions()) {
    TControl* root = &c;
    while (root->Parent()) root = root->Parent();
    if (root->IsWindowed()) {
        root_ = static_cast<TWinControl*>(root);
        root_->DisableAlign();
    }
}

TAlignBatch::~TAlignBatch() noexcept(false) {
    if (!root_) return;
    if (std::uncaught_exceptions() > exceptions_)
        root_->ReleaseAlign();
    else
        root_->EnableAlign();
}

void TWinControl::EnableAlign() {
    if (alignDisabled_ > 0 && --alignDisabled_ == 0 && alignPending_) {
        alignPending_ = false;
        Realign();
    }
}

void TWinControl::LayoutRoot() {
    if (inLayout_) return;
    if (alignDisabled_ > 0) {
        alignPending_ = true;
        return;
    }
    Realign();
}

TWinControl& TWinControl::LayoutRootControl() {
    TControl* root = this;
    while (root->Parent()) root = root->Parent();
    return *static_cast<TWinControl*>(root);
}

void TWinControl::Realign() {
    TWinControl& root = LayoutRootControl();
    if (root.alignDisabled_ > 0) {
        root.alignPending_ = true;
        return;
    }
    // Bounds set by the layout pass do not start another one.
    if (root.inLayout_) return;
    root.RunDeferredContentLayouts();
    root.alignPending_ = false;
    root.inLayout_ = true;
    ScopeExit done([&root] { root.inLayout_ = false; });
    TLayoutNode n;
    root.BuildLayoutNode(n);
    LayoutTree(n);
    root.ApplyLayoutNode(n);
}

bool TWinControl::DeferContentLayout() {
    TWinControl& root = LayoutRootControl();
    if (root.alignDisabled_ == 0 || root.runningContentLayouts_) return false;
    contentLayoutDeferred_ = true;
    root.contentLayoutsDeferred_ = true;
    root.alignPending_ = true;
    return true;
}

void TWinControl::RunDeferredContentLayouts() {
    if (!contentLayoutsDeferred_) return;
    // A measured content may change the control's size (an automatic height): the layout pass
    // that follows takes it, so the requests it raises wait.
    ++alignDisabled_;
    runningContentLayouts_ = true;
    ScopeExit done([this] {
        runningContentLayouts_ = false;
        --alignDisabled_;
    });
    RunContentLayoutsBelow();
    // Cleared only when every one has run: after a failure the next layout goes on with the rest.
    contentLayoutsDeferred_ = false;
}

void TWinControl::RunContentLayoutsBelow() {
    if (contentLayoutDeferred_) {
        contentLayoutDeferred_ = false;
        ContentLayout();
    }
    for (size_t i = 0; i < controls_.size(); ++i)
        if (controls_[i]->IsWindowed()) static_cast<TWinControl*>(controls_[i].get())->RunContentLayoutsBelow();
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
    WindowDc frame(hwnd_, WindowDc::WholeWindow);
    HDC dc = frame.get();
    if (!dc) return;
    ::ExcludeClipRect(dc, cr.left, cr.top, cr.right, cr.bottom);
    UniqueBrush b(::CreateSolidBrush(BackgroundRGB()));
    ::FillRect(dc, &ring, b.get());
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
    ::SetWindowPos(hwnd_, nullptr, Left(), Top(), Width(), Height(), SWP_NOZORDER | SWP_NOACTIVATE);
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
