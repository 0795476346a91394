// The task button's geometry without a window: link rows, automatic height, the close-button
// rectangle and the hit test.
#include <gtest/gtest.h>

#include "components/TaskLayout.h"

using namespace swt;

namespace {

std::vector<TSize> Widths(std::initializer_list<int> ws, int h = 13) {
    std::vector<TSize> v;
    for (int w : ws) v.push_back(TSize{w, h});
    return v;
}

TLinkRowInput Row(bool enumeration, int right = 200) {
    TLinkRowInput in;
    in.Left = 56;
    in.Right = right;
    in.Top = 40;
    in.LinkSpacing = 2;
    in.Enumeration = enumeration;
    return in;
}

TEST(TaskLinkLayout, ListPutsEveryLinkOnItsOwnRow) {
    const auto r = LayoutLinkRows(Row(false), Widths({30, 50, 0}));
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[0], (TRect{56, 40, 86, 55}));  // height 13 + spacing 2
    EXPECT_EQ(r[1], (TRect{56, 55, 106, 70}));
    EXPECT_EQ(r[2], (TRect{56, 70, 56, 85}));  // a blank entry still takes its row
}

TEST(TaskLinkLayout, EnumerationContinuesRowsWhileLinksFit) {
    struct Case {
        const char* name;
        int right;
        std::vector<TSize> sizes;
        std::vector<TRect> expected;
    };
    const Case cases[] = {
        {"all fit", 300, Widths({40, 40, 40}),
         {{56, 40, 96, 55}, {111, 40, 151, 55}, {166, 40, 206, 55}}},
        // 151 + 15 + 40 = 206: fits only when strictly less than Right.
        {"limit is exclusive", 206, Widths({40, 40, 40}),
         {{56, 40, 96, 55}, {111, 40, 151, 55}, {56, 55, 96, 70}}},
        {"one under the limit continues", 207, Widths({40, 40, 40}),
         {{56, 40, 96, 55}, {111, 40, 151, 55}, {166, 40, 206, 55}}},
        {"wrapped row continues again", 160, Widths({40, 40, 40, 20}),
         {{56, 40, 96, 55}, {111, 40, 151, 55}, {56, 55, 96, 70}, {111, 55, 131, 70}}},
        // The updater's rows: a trailing blank entry continues the row with no width.
        {"trailing blank", 300, Widths({100, 70, 90, 0}),
         {{56, 40, 156, 55}, {171, 40, 241, 55}, {56, 55, 146, 70}, {161, 55, 161, 70}}},
        {"first link wider than the column", 60, Widths({90, 10}),
         {{56, 40, 146, 55}, {56, 55, 66, 70}}},
    };
    for (const Case& c : cases) {
        const auto r = LayoutLinkRows(Row(true, c.right), c.sizes);
        EXPECT_EQ(r, c.expected) << c.name;
    }
}

TEST(TaskLinkLayout, SeparatorsOnlyBetweenLinksOfOneRow) {
    const auto r = LayoutLinkRows(Row(true, 160), Widths({40, 40, 40, 20}));
    EXPECT_FALSE(ContinuesRow(r, 0, true));
    EXPECT_TRUE(ContinuesRow(r, 1, true));
    EXPECT_FALSE(ContinuesRow(r, 2, true));  // starts a new row: no separator before it
    EXPECT_TRUE(ContinuesRow(r, 3, true));
    EXPECT_FALSE(ContinuesRow(r, 1, false));
}

TEST(TaskLinkLayout, BlankMeansOnlyBlanks) {
    for (const wchar_t* s : {L"", L" ", L"   ", L"\t"}) EXPECT_TRUE(IsBlankLink(s)) << s;
    for (const wchar_t* s : {L"x", L" x ", L"|"}) EXPECT_FALSE(IsBlankLink(s)) << s;
}

TEST(TaskAutoHeight, ContentBottomPlusPadding) {
    const std::vector<TRect> none;
    const std::vector<TRect> links{{56, 40, 96, 55}, {56, 55, 96, 70}};
    struct Case { const char* name; int top, image, desc; const std::vector<TRect>* links; int bottom, min, expected; };
    const Case cases[] = {
        {"description below icon", 12, 32, 60, &none, 12, 8, 72},
        {"icon below description", 12, 32, 30, &none, 12, 8, 56},
        {"links replace the description bottom", 12, 32, 90, &links, 12, 8, 82},
        {"icon below links", 12, 64, 30, &links, 12, 8, 88},
        {"scaled minimum", 0, 0, 0, &none, 0, 10, 10},
        {"empty control at 100 %", 0, 0, 0, &none, 0, 8, 8},
    };
    for (const Case& c : cases)
        EXPECT_EQ(AutoHeightFor(c.top, c.image, c.desc, *c.links, c.bottom, c.min), c.expected) << c.name;
}

TEST(TaskCloseButton, RectangleFollowsTheGlyphAspect) {
    EXPECT_EQ(CloseButtonRect(300, 18, 28, 16), (TRect{265, 3, 297, 21}));  // 31.5 -> 32 wide
    EXPECT_EQ(CloseButtonRect(300, 16, 28, 16), (TRect{269, 3, 297, 19}));
    EXPECT_EQ(CloseButtonRect(300, 23, 35, 20), (TRect{257, 3, 297, 26}));  // 125 %
}

TEST(TaskHitTest, FirstMatchWins) {
    const std::vector<std::wstring> links{L"In den Vordergrund", L"Prozess killen", L" ", L"Prozess beenden"};
    const std::vector<TRect> rects{{56, 40, 150, 55}, {165, 40, 240, 55}, {240, 40, 250, 55}, {56, 55, 150, 70}};
    THitInput in;
    in.CloseButton = true;
    in.CloseRect = TRect{265, 3, 297, 21};
    in.CaptionRect = TRect{56, 12, 297, 30};
    in.LinkRects = &rects;
    in.Links = &links;
    struct Case { int x, y, hot; };
    const Case cases[] = {
        {270, 15, kHotCloseButton},  // inside caption and close button: the close button wins
        {100, 20, kHotCaption},
        {60, 45, 0},
        {239, 45, 1},
        {245, 45, kHotNone},         // the blank entry is never hot
        {60, 60, 3},
        {20, 45, kHotNone},          // the icon column
        {150, 45, kHotNone},         // right edge is exclusive
    };
    for (const Case& c : cases) EXPECT_EQ(HitTestTask(in, c.x, c.y), c.hot) << c.x << "," << c.y;
    in.CloseButton = false;
    EXPECT_EQ(HitTestTask(in, 270, 15), kHotCaption);
    // Overlapping rectangles: the later link wins.
    const std::vector<TRect> overlap{{0, 0, 50, 10}, {0, 0, 50, 10}};
    const std::vector<std::wstring> two{L"a", L"b"};
    EXPECT_EQ(HitLink(overlap, two, 5, 5), 1);
}

}  // namespace
