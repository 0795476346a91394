#include "ui/BaseControl.h"

#include <algorithm>

#include "base/Error.h"
#include "base/ScopeGuard.h"
#include "ui/Application.h"
#include "ui/Form.h"
#include "ui/WinControl.h"

namespace swt {

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
    EnabledChanged();
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
    ScopeExit done([this] { fontFromParent_ = false; });
    font_.Assign(f);
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

}  // namespace swt
