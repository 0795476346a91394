#include "ui/Layout.h"

#include <algorithm>

namespace swt {

TMargins EffectiveMargins(const TLayoutNode& n) {
    if (!n.AlignWithMargins || n.Align == TAlign::alNone) return TMargins{0, 0, 0, 0};
    return n.Margins;
}

TRect AlignNodes(const TRect& client, std::span<TLayoutNode> nodes) {
    TRect r = client;
    auto pass = [&](TAlign which) {
        for (TLayoutNode& n : nodes) {
            if (!n.Visible || n.Align != which) continue;
            const TMargins m = EffectiveMargins(n);
            const int w = std::max(0, n.Bounds.Width());
            const int h = std::max(0, n.Bounds.Height());
            const int innerW = std::max(0, r.Width() - m.Left - m.Right);
            const int innerH = std::max(0, r.Height() - m.Top - m.Bottom);
            switch (which) {
            case TAlign::alTop:
                n.Bounds = TRect::Bounds(r.Left + m.Left, r.Top + m.Top, innerW, h);
                r.Top += h + m.Top + m.Bottom;
                break;
            case TAlign::alBottom:
                n.Bounds = TRect::Bounds(r.Left + m.Left, r.Bottom - m.Bottom - h, innerW, h);
                r.Bottom -= h + m.Top + m.Bottom;
                break;
            case TAlign::alLeft:
                n.Bounds = TRect::Bounds(r.Left + m.Left, r.Top + m.Top, w, innerH);
                r.Left += w + m.Left + m.Right;
                break;
            case TAlign::alRight:
                n.Bounds = TRect::Bounds(r.Right - m.Right - w, r.Top + m.Top, w, innerH);
                r.Right -= w + m.Left + m.Right;
                break;
            case TAlign::alClient:
                n.Bounds = TRect::Bounds(r.Left + m.Left, r.Top + m.Top, innerW, innerH);
                break;
            case TAlign::alNone:
                break;
            }
            if (r.Bottom < r.Top) r.Bottom = r.Top;
            if (r.Right < r.Left) r.Right = r.Left;
        }
    };
    pass(TAlign::alTop);
    pass(TAlign::alBottom);
    pass(TAlign::alLeft);
    pass(TAlign::alRight);
    pass(TAlign::alClient);
    return r;
}

TContentExtent ContentExtent(std::span<const TLayoutNode> nodes) {
    TContentExtent e;
    int stackH = 0;                // tops and bottoms
    int sideW = 0, sideH = 0;      // lefts, rights and the client node
    int freeRight = 0, freeBottom = 0;
    bool anySide = false;
    for (const TLayoutNode& n : nodes) {
        if (!n.Visible) continue;
        const TMargins m = EffectiveMargins(n);
        const int w = std::max(0, n.Bounds.Width()) + m.Left + m.Right;
        const int h = std::max(0, n.Bounds.Height()) + m.Top + m.Bottom;
        switch (n.Align) {
        case TAlign::alTop:
        case TAlign::alBottom:
            stackH += h;
            e.HasHeight = true;
            break;
        case TAlign::alLeft:
        case TAlign::alRight:
        case TAlign::alClient:
            sideW += w;
            sideH = std::max(sideH, h);
            anySide = true;
            break;
        case TAlign::alNone:
            freeRight = std::max(freeRight, n.Bounds.Right);
            freeBottom = std::max(freeBottom, n.Bounds.Bottom);
            e.HasWidth = e.HasHeight = true;
            break;
        }
    }
    if (anySide) e.HasWidth = e.HasHeight = true;
    // Nothing visible inside: the content needs no height (a box of rows shrinks to nothing).
    if (!e.HasHeight && !e.HasWidth) e.HasHeight = true;
    e.Width = std::max(sideW, freeRight);
    e.Height = std::max(stackH + sideH, freeBottom);
    return e;
}

TSize AutoSizeLeaf(const TLayoutNode& n, int alignedWidth) {
    TSize cur{n.Bounds.Width(), n.Bounds.Height()};
    if (!n.Measure) return cur;
    switch (n.Align) {
    case TAlign::alTop:
    case TAlign::alBottom:
        return TSize{alignedWidth, n.Measure(alignedWidth).cy};
    case TAlign::alLeft:
    case TAlign::alRight:
        return TSize{n.Measure(-1).cx, cur.cy};
    case TAlign::alClient:
        return cur;
    case TAlign::alNone:
        return n.Measure(-1);
    }
    return cur;
}

namespace {

TSize SizeOf(const TRect& r) { return TSize{r.Width(), r.Height()}; }

void Resize(TRect& r, TSize s) {
    r.Right = r.Left + s.cx;
    r.Bottom = r.Top + s.cy;
}

// The area children are aligned in, for a node of size s: inside the border and the padding,
// left of a shown scroll bar, shifted up by the scroll position.
TRect AlignArea(const TLayoutNode& n, TSize s) {
    const TMargins& p = n.Padding;
    const int bar = n.Scrolled ? n.ScrollBarWidth : 0;
    const int cw = s.cx - 2 * n.BorderWidth - bar, ch = s.cy - 2 * n.BorderWidth;
    TRect r{p.Left, p.Top, std::max(p.Left, cw - p.Right), std::max(p.Top, ch - p.Bottom)};
    const int scroll = n.Scrolled ? n.ScrollY : 0;
    r.Top -= scroll;
    r.Bottom -= scroll;
    return r;
}

void LayoutContainer(TLayoutNode& n);

// Aligns the children in the node's present size until no child's size changes (a few rounds).
void AlignChildren(TLayoutNode& n) {
    for (int round = 0; round < 8; ++round) {
        const TRect client = AlignArea(n, SizeOf(n.Bounds));
        std::vector<TSize> before;
        before.reserve(n.Children.size());
        for (TLayoutNode& c : n.Children) {
            if (c.Visible && c.AutoSize && c.Measure) {
                const TMargins m = EffectiveMargins(c);
                Resize(c.Bounds, AutoSizeLeaf(c, std::max(0, client.Width() - m.Left - m.Right)));
            }
            before.push_back(SizeOf(c.Bounds));
        }
        AlignNodes(client, n.Children);
        std::vector<TSize> aligned;
        for (const TLayoutNode& c : n.Children) aligned.push_back(SizeOf(c.Bounds));
        for (TLayoutNode& c : n.Children) LayoutContainer(c);
        bool changed = false;
        for (size_t i = 0; i < n.Children.size(); ++i) {
            const TSize now = SizeOf(n.Children[i].Bounds);
            if (!(now == aligned[i]) || !(now == before[i])) changed = true;
        }
        if (!changed) break;
    }
}

bool OwnsWidth(const TLayoutNode& n) {
    return n.Align == TAlign::alNone || n.Align == TAlign::alLeft || n.Align == TAlign::alRight;
}
bool OwnsHeight(const TLayoutNode& n) {
    return n.Align == TAlign::alNone || n.Align == TAlign::alTop || n.Align == TAlign::alBottom;
}

// The size an auto-sized container takes for its aligned children, without a height limit.
TSize NaturalSize(const TLayoutNode& n) {
    const TMargins& p = n.Padding;
    const TContentExtent e = ContentExtent(n.Children);
    TSize s = SizeOf(n.Bounds);
    const int bar = n.Scrolled ? n.ScrollBarWidth : 0;
    if (OwnsWidth(n) && e.HasWidth) s.cx = e.Width + p.Left + p.Right + 2 * n.BorderWidth + bar;
    if (OwnsHeight(n) && e.HasHeight) s.cy = e.Height + p.Top + p.Bottom + 2 * n.BorderWidth;
    return s;
}

// n is excess pixels too tall: its first visible scrolling child gives them up.
void ShrinkScrollingChild(TLayoutNode& n, int excess) {
    for (TLayoutNode& c : n.Children) {
        if (!c.Visible || !c.Scrolls || !c.AutoSize) continue;
        const int limit = std::max(1, c.Bounds.Height() - excess);
        c.MaxHeight = c.MaxHeight > 0 ? std::min(c.MaxHeight, limit) : limit;
        LayoutContainer(c);
        AlignNodes(AlignArea(n, SizeOf(n.Bounds)), n.Children);
        for (TLayoutNode& other : n.Children)
            if (&other != &c) LayoutContainer(other);
        return;
    }
}

// Lays out the children of n and, when n sizes itself, n's own size.
void LayoutContainer(TLayoutNode& n) {
    if (n.Measure) return;
    // Laid out first as if everything fitted; the bar comes only when it does not.
    if (n.Scrolls) n.Scrolled = false;
    AlignChildren(n);
    if (!n.AutoSize) return;
    TSize s = NaturalSize(n);
    if (OwnsHeight(n) && n.MaxHeight > 0 && s.cy > n.MaxHeight) {
        if (n.Scrolls) {
            // The bar narrows the children, which may grow taller: lay them out again.
            n.Scrolled = true;
            AlignChildren(n);
            s = NaturalSize(n);
        } else {
            ShrinkScrollingChild(n, s.cy - n.MaxHeight);
            s = NaturalSize(n);
        }
    }
    if (n.Scrolls) {
        n.ContentHeight = s.cy;
        if (n.Scrolled) {
            s.cy = n.MaxHeight;
            n.ScrollY = std::clamp(n.ScrollY, 0, std::max(0, n.ContentHeight - s.cy));
        }
    }
    if (!(s == SizeOf(n.Bounds)) || (n.Scrolled && n.ScrollY != 0)) {
        Resize(n.Bounds, s);
        // The children of a container that changed its own size or scrolls are aligned again.
        AlignNodes(AlignArea(n, s), n.Children);
        for (TLayoutNode& c : n.Children) LayoutContainer(c);
    }
}

}  // namespace

TRect KeepInWorkArea(const TRect& work, const TRect& window) {
    const int w = window.Width(), h = window.Height();
    const int left = std::max(work.Left, std::min(window.Left, work.Right - w));
    const int top = std::max(work.Top, std::min(window.Top, work.Bottom - h));
    return TRect::Bounds(left, top, w, h);
}

void LayoutTree(TLayoutNode& root) {
    if (root.AutoSize && root.Measure) {
        Resize(root.Bounds, AutoSizeLeaf(root, root.Bounds.Width()));
        return;
    }
    LayoutContainer(root);
}

}  // namespace swt
