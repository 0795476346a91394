// Alignment, margins and automatic sizing as pure functions of sizes.
// The controls describe themselves as a tree of TLayoutNode, the functions here place every node,
// and painting and hit-testing read the bounds that come back. Nothing here needs a window.
#pragma once
#include <functional>
#include <span>
#include <vector>

#include "ui/Types.h"

namespace swt {

struct TLayoutNode {
    TAlign Align = TAlign::alNone;
    // Margins count only when AlignWithMargins is on (and only for aligned controls).
    bool AlignWithMargins = false;
    TMargins Margins;
    // Outer bounds in the parent's client coordinates.
    TRect Bounds;
    bool Visible = true;
    // Sizes itself to its content: a leaf from Measure, a container from its children.
    bool AutoSize = false;
    // Frame outside the client area (border width): the client is the bounds inset by it on every
    // side, and children's bounds are relative to the client's top-left corner.
    int BorderWidth = 0;
    // Inset, inside the client area, of the area children are aligned in (bevels).
    TMargins Padding{0, 0, 0, 0};
    // A leaf's content size. width is the width the control will have when its alignment fixes it,
    // else -1 (a word-wrapping text then keeps its current width). Empty for containers.
    std::function<TSize(int width)> Measure;
    std::vector<TLayoutNode> Children;
    // An auto-sized container never grows taller than this (outer height; 0: no limit). A taller
    // content goes, in this order, to a scrolling child of it (which gives up the excess) or, in
    // a scrolling node itself, to its scroll range.
    int MaxHeight = 0;
    // The node's content scrolls instead of growing past MaxHeight: its children keep their
    // natural heights, a vertical bar of ScrollBarWidth takes the right edge of the area they are
    // aligned in, and they stand ScrollY higher. ScrollY comes in as the wished position and goes
    // out clamped to the scroll range while the bar shows (it counts only then).
    bool Scrolls = false;
    int ScrollBarWidth = 0;
    int ScrollY = 0;
    // Results for a scrolling node: whether the bar shows, and the full height of the content
    // (outer, as the node would be without a limit).
    bool Scrolled = false;
    int ContentHeight = 0;
    // Free for the caller (the control the node stands for).
    void* Owner = nullptr;
};

// The margins a node keeps around itself: its Margins when it aligns with margins, else none.
TMargins EffectiveMargins(const TLayoutNode& n);

// Places the aligned nodes inside `client`: tops stacked downwards in order, then bottoms
// upwards, then lefts and rights, and a client node fills what is left. Unaligned and
// invisible nodes keep their bounds. Returns the area left over.
TRect AlignNodes(const TRect& client, std::span<TLayoutNode> nodes);

// The smallest client width/height the aligned and placed children need.
// HasWidth is false when no child fixes a width (only top/bottom-aligned children).
struct TContentExtent {
    int Width = 0;
    int Height = 0;
    bool HasWidth = false;
    bool HasHeight = false;
};
TContentExtent ContentExtent(std::span<const TLayoutNode> nodes);

// Size an auto-sized leaf takes for its alignment: a top/bottom-aligned one keeps the width it is
// given and takes its content's height, a left/right-aligned one the content's width, an
// unaligned one both; a client-aligned one keeps its size.
TSize AutoSizeLeaf(const TLayoutNode& n, int alignedWidth);

// The bounds a window takes inside the work area: moved left and up just as far as it sticks out
// past the right and bottom edges, never left of or above the work area's corner (a window larger
// than the work area keeps its top-left corner there).
TRect KeepInWorkArea(const TRect& work, const TRect& window);

// Lays out the whole tree below `root` (root.Bounds stays where it is; its size changes only when
// it sizes itself to its content). Repeats until no size changes (at most a few rounds).
void LayoutTree(TLayoutNode& root);

}  // namespace swt
