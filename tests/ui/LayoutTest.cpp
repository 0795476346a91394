// Alignment, margins and automatic sizing, computed without any window.
#include <gtest/gtest.h>

#include "ui/Layout.h"

using namespace swt;

namespace {

TLayoutNode Node(TAlign a, int w, int h) {
    TLayoutNode n;
    n.Align = a;
    n.Bounds = TRect::Bounds(0, 0, w, h);
    return n;
}

TLayoutNode WithMargins(TLayoutNode n, TMargins m) {
    n.AlignWithMargins = true;
    n.Margins = m;
    return n;
}

}  // namespace

namespace swt {
void PrintTo(const TRect& r, std::ostream* o) { *o << "(" << r.Left << "," << r.Top << "," << r.Right << "," << r.Bottom << ")"; }
}  // namespace swt

TEST(Layout, AlignNodesTable) {
    struct Case {
        const char* name;
        std::vector<TLayoutNode> nodes;
        std::vector<TRect> expected;
    };
    const TRect client{0, 0, 100, 80};
    std::vector<Case> cases = {
        {"tops stack in order", {Node(TAlign::alTop, 10, 20), Node(TAlign::alTop, 10, 15)},
         {{0, 0, 100, 20}, {0, 20, 100, 35}}},
        {"margins count only with AlignWithMargins",
         {WithMargins(Node(TAlign::alTop, 10, 20), TMargins{}), Node(TAlign::alTop, 10, 10)},
         {{3, 3, 97, 23}, {0, 26, 100, 36}}},
        {"default margins are 3 but unused without the flag",
         {Node(TAlign::alTop, 10, 20)},
         {{0, 0, 100, 20}}},
        {"left with margins 12,0,0 takes the full height",
         {WithMargins(Node(TAlign::alLeft, 50, 5), TMargins{12, 0, 0, 3})},
         {{12, 0, 62, 77}}},
        {"bottom stacks upwards, client fills the rest",
         {Node(TAlign::alClient, 1, 1), Node(TAlign::alBottom, 1, 10), Node(TAlign::alTop, 1, 10)},
         {{0, 10, 100, 70}, {0, 70, 100, 80}, {0, 0, 100, 10}}},
        {"left and right share the height left by top",
         {Node(TAlign::alTop, 1, 30), Node(TAlign::alLeft, 20, 1), Node(TAlign::alRight, 25, 1)},
         {{0, 0, 100, 30}, {0, 30, 20, 80}, {75, 30, 100, 80}}},
        {"unaligned keeps its bounds", {[] { auto n = Node(TAlign::alNone, 19, 19); n.Bounds = TRect::Bounds(283, 7, 19, 19); return n; }()},
         {TRect::Bounds(283, 7, 19, 19)}},
        {"invisible takes no space",
         {[] { auto n = Node(TAlign::alTop, 1, 30); n.Visible = false; return n; }(), Node(TAlign::alTop, 1, 10)},
         {{0, 0, 1, 30}, {0, 0, 100, 10}}},
        {"overfull: sizes never negative",
         {Node(TAlign::alTop, 1, 70), Node(TAlign::alTop, 1, 30), Node(TAlign::alClient, 1, 1)},
         {{0, 0, 100, 70}, {0, 70, 100, 100}, {0, 100, 100, 100}}},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        AlignNodes(client, c.nodes);
        ASSERT_EQ(c.nodes.size(), c.expected.size());
        for (size_t i = 0; i < c.nodes.size(); ++i) EXPECT_EQ(c.nodes[i].Bounds, c.expected[i]) << "node " << i;
    }
}

TEST(Layout, AutoSizeLeafFollowsAlignment) {
    struct Case {
        const char* name;
        TAlign align;
        TSize expected;
    };
    const Case cases[] = {
        {"top: width from parent, height from content", TAlign::alTop, {200, 13}},
        {"left: width from content, height kept", TAlign::alLeft, {50, 32}},
        {"none: both from content", TAlign::alNone, {50, 13}},
        {"client: nothing changes", TAlign::alClient, {70, 32}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TLayoutNode n = Node(c.align, 70, 32);
        n.AutoSize = true;
        n.Measure = [](int) { return TSize{50, 13}; };
        EXPECT_EQ(AutoSizeLeaf(n, 200), c.expected);
    }
}

// A tree in the shape of a small countdown window: an auto-sized frame at 0,0 with a header
// bar and an auto-sized white body holding four top-aligned rows with margins.
TEST(Layout, NestedAutoSizeCountdownShape) {
    TLayoutNode form = Node(TAlign::alNone, 313, 123);
    form.AutoSize = true;
    TLayoutNode panel1 = Node(TAlign::alNone, 313, 123);
    panel1.AutoSize = true;
    TLayoutNode header = Node(TAlign::alTop, 313, 32);
    TLayoutNode label1 = WithMargins(Node(TAlign::alLeft, 10, 10), TMargins{12, 0, 0, 3});
    label1.AutoSize = true;
    label1.Measure = [](int) { return TSize{50, 19}; };
    TLayoutNode image = Node(TAlign::alNone, 19, 19);
    image.Bounds = TRect::Bounds(283, 7, 19, 19);
    header.Children = {label1, image};
    TLayoutNode body = Node(TAlign::alTop, 313, 91);
    body.AutoSize = true;
    body.BorderWidth = 5;
    body.Children = {WithMargins(Node(TAlign::alTop, 10, 32), TMargins{6, 3, 6, 3}),
                     WithMargins(Node(TAlign::alTop, 10, 15), TMargins{6, 3, 6, 3}),
                     WithMargins(Node(TAlign::alTop, 10, 2), TMargins{6, 3, 6, 3}),
                     WithMargins(Node(TAlign::alTop, 10, 13), TMargins{6, 3, 6, 1})};
    panel1.Children = {header, body};
    form.Children = {panel1};

    LayoutTree(form);

    const TLayoutNode& p1 = form.Children[0];
    const TLayoutNode& h = p1.Children[0];
    const TLayoutNode& b = p1.Children[1];
    // Body: 5 + (3+32+3) + (3+15+3) + (3+2+3) + (3+13+1) + 5 = 94.
    EXPECT_EQ(b.Bounds, TRect::Bounds(0, 32, 313, 94));
    // Rows in the body's client area (inside its border of 5).
    EXPECT_EQ(b.Children[0].Bounds, TRect::Bounds(6, 3, 291, 32));
    EXPECT_EQ(b.Children[1].Bounds, TRect::Bounds(6, 41, 291, 15));
    EXPECT_EQ(b.Children[3].Bounds, TRect::Bounds(6, 70, 291, 13));
    EXPECT_EQ(h.Bounds, TRect::Bounds(0, 0, 313, 32));
    EXPECT_EQ(h.Children[0].Bounds, TRect::Bounds(12, 0, 50, 29));
    EXPECT_EQ(h.Children[1].Bounds, TRect::Bounds(283, 7, 19, 19));
    // Widths are kept (only top-aligned children), heights follow the content upwards.
    EXPECT_EQ(p1.Bounds, TRect::Bounds(0, 0, 313, 126));
    EXPECT_EQ(form.Bounds, TRect::Bounds(0, 0, 313, 126));
}

TEST(Layout, AutoSizeGrowsAndShrinksWithRows) {
    // A box that grows with its rows and never scrolls: adding and hiding rows changes its height.
    TLayoutNode root = Node(TAlign::alNone, 470, 300);
    root.AutoSize = true;
    TLayoutNode top = Node(TAlign::alTop, 1, 81);
    TLayoutNode box = Node(TAlign::alTop, 1, 50);
    box.AutoSize = true;
    TLayoutNode bottom = Node(TAlign::alTop, 1, 83);
    for (int rows : {0, 1, 3}) {
        SCOPED_TRACE(rows);
        box.Children.clear();
        for (int i = 0; i < rows; ++i) box.Children.push_back(Node(TAlign::alTop, 1, 62));
        root.Children = {top, box, bottom};
        LayoutTree(root);
        EXPECT_EQ(root.Children[1].Bounds.Height(), 62 * rows);
        EXPECT_EQ(root.Children[2].Bounds.Top, 81 + 62 * rows);
        EXPECT_EQ(root.Bounds.Height(), 81 + 62 * rows + 83);
        EXPECT_EQ(root.Bounds.Width(), 470);
    }
}

TEST(Layout, WrappingLabelTakesHeightForItsWidth) {
    // A top-aligned, word-wrapping text: height depends on the width the parent gives it.
    TLayoutNode root = Node(TAlign::alNone, 0, 0);
    root.AutoSize = true;
    TLayoutNode holder = Node(TAlign::alNone, 120, 10);
    holder.AutoSize = true;
    holder.BorderWidth = 4;
    holder.Padding = TMargins{6, 6, 6, 6};
    TLayoutNode text = Node(TAlign::alTop, 1, 1);
    text.AutoSize = true;
    int seenWidth = -2;
    text.Measure = [&](int w) {
        seenWidth = w;
        return TSize{w, w >= 300 ? 13 : 26};  // two lines when narrow
    };
    holder.Children = {text};
    root.Children = {holder};
    LayoutTree(root);
    EXPECT_EQ(seenWidth, 100);
    EXPECT_EQ(root.Children[0].Bounds.Height(), 46);
    EXPECT_EQ(root.Bounds, TRect::Bounds(0, 0, 120, 46));
}

TEST(Layout, ContentExtentOfMixedChildren) {
    std::vector<TLayoutNode> nodes = {Node(TAlign::alTop, 1, 20), Node(TAlign::alLeft, 30, 40),
                                      Node(TAlign::alRight, 20, 10)};
    auto placed = nodes;
    placed.push_back(Node(TAlign::alNone, 0, 0));
    placed.back().Bounds = TRect::Bounds(100, 90, 10, 10);
    TContentExtent e = ContentExtent(nodes);
    EXPECT_TRUE(e.HasWidth);
    EXPECT_EQ(e.Width, 50);
    EXPECT_EQ(e.Height, 60);
    e = ContentExtent(placed);
    EXPECT_EQ(e.Width, 110);
    EXPECT_EQ(e.Height, 100);
    e = ContentExtent(std::vector<TLayoutNode>{Node(TAlign::alTop, 1, 20)});
    EXPECT_FALSE(e.HasWidth);
    EXPECT_TRUE(e.HasHeight);
}

namespace {

// The shape of the update window: a header, a scrolling box of rows and a footer, in a form whose
// height is limited to maxHeight. Each row is one text that takes two lines when narrower than
// 460 pixels.
TLayoutNode RowsWindow(int rows, int maxHeight, int scrollY) {
    TLayoutNode root = Node(TAlign::alNone, 480, 300);
    root.AutoSize = true;
    root.BorderWidth = 5;
    root.MaxHeight = maxHeight;
    TLayoutNode box = Node(TAlign::alTop, 1, 50);
    box.AutoSize = true;
    box.Scrolls = true;
    box.ScrollBarWidth = 17;
    box.ScrollY = scrollY;
    for (int i = 0; i < rows; ++i) {
        TLayoutNode row = Node(TAlign::alTop, 1, 1);
        row.AutoSize = true;
        row.Measure = [](int w) { return TSize{w, w >= 460 ? 60 : 72}; };
        box.Children.push_back(row);
    }
    root.Children = {Node(TAlign::alTop, 1, 81), box, Node(TAlign::alTop, 1, 83)};
    return root;
}

}  // namespace

// A form that would pass its limit gives the excess to its scrolling box: header and footer keep
// their heights and stay inside; the rows keep their natural heights for the width left by the
// bar and scroll within the box. With few rows nothing changes.
TEST(Layout, ScrollingBoxKeepsTheFormWithinItsLimit) {
    struct Case {
        const char* name;
        int rows, maxHeight, scrollY;
        bool scrolled;
        int rowHeight, formHeight, scrollTo;
    };
    // Natural: 10 + 81 + 83 = 174 plus the rows.
    const Case cases[] = {
        {"no limit", 15, 0, 0, false, 60, 174 + 15 * 60, 0},
        {"few rows under the limit", 2, 600, 0, false, 60, 174 + 2 * 60, 0},
        {"exactly at the limit", 7, 174 + 7 * 60, 0, false, 60, 174 + 7 * 60, 0},
        {"one pixel over: the bar narrows the rows", 7, 174 + 7 * 60 - 1, 0, true, 72, 174 + 7 * 60 - 1, 0},
        {"15 rows on a small screen", 15, 740, 0, true, 72, 740, 0},
        {"scrolled to a middle row", 15, 740, 100, true, 72, 740, 100},
        {"scrolled past the end: the last row at the bottom", 15, 740, 100000, true, 72, 740, 15 * 72 - (740 - 174)},
        {"scrolled above the start", 15, 740, -30, true, 72, 740, 0},
        {"limit below header and footer: the box keeps a pixel", 3, 100, 0, true, 72, 175, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TLayoutNode root = RowsWindow(c.rows, c.maxHeight, c.scrollY);
        LayoutTree(root);
        const TLayoutNode& header = root.Children[0];
        const TLayoutNode& box = root.Children[1];
        const TLayoutNode& footer = root.Children[2];
        EXPECT_EQ(root.Bounds.Height(), c.formHeight);
        EXPECT_EQ(header.Bounds, TRect::Bounds(0, 0, 470, 81));
        EXPECT_EQ(footer.Bounds, TRect::Bounds(0, 81 + box.Bounds.Height(), 470, 83));
        EXPECT_EQ(footer.Bounds.Bottom + 10, root.Bounds.Height()) << "the footer ends the form";
        EXPECT_EQ(box.Scrolled, c.scrolled);
        EXPECT_EQ(box.ContentHeight, c.rows * c.rowHeight);
        if (c.scrolled) EXPECT_EQ(box.ScrollY, c.scrollTo);
        for (int i = 0; i < c.rows; ++i) {
            SCOPED_TRACE(i);
            const TRect& row = box.Children[static_cast<size_t>(i)].Bounds;
            EXPECT_EQ(row, TRect::Bounds(0, i * c.rowHeight - (c.scrolled ? c.scrollTo : 0),
                                         c.scrolled ? 470 - 17 : 470, c.rowHeight));
        }
        if (c.scrolled && c.scrollY >= 100000) EXPECT_EQ(box.Children.back().Bounds.Bottom, box.Bounds.Height());
    }
}

TEST(Layout, KeepInWorkArea) {
    const TRect work{0, 0, 1280, 800};
    struct Case {
        const char* name;
        TRect window, expected;
    } cases[] = {
        {"inside stays", TRect::Bounds(16, 16, 480, 300), TRect::Bounds(16, 16, 480, 300)},
        {"past the bottom moves up", TRect::Bounds(16, 16, 480, 790), TRect::Bounds(16, 10, 480, 790)},
        {"past the right moves left", TRect::Bounds(1000, 16, 480, 300), TRect::Bounds(800, 16, 480, 300)},
        {"taller than the work area keeps the top edge", TRect::Bounds(16, 16, 480, 1312),
         TRect::Bounds(16, 0, 480, 1312)},
        {"above and left of it moves in", TRect::Bounds(-50, -20, 480, 300), TRect::Bounds(0, 0, 480, 300)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(KeepInWorkArea(work, c.window), c.expected);
    }
    // A second monitor's work area left of and above the first.
    EXPECT_EQ(KeepInWorkArea(TRect{-1024, -200, 0, 568}, TRect::Bounds(-1008, -184, 480, 900)),
              TRect::Bounds(-1008, -200, 480, 900));
}
