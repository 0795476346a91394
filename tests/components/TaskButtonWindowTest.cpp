// A real task button in a window: hover makes the caption and links hot only with the highlight
// on, clicks report the right link index, the close button calls its handler, painting covers
// every pixel without erasing, each themed element falls back to classic where its theme class
// does not open, and changes made inside a layout batch are measured once at its end.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <stdexcept>

#include "components/TaskCloseGlyph.h"
#include "components/kx_Scale.h"
#include "ui/ImageList.h"
#include "ui/ThemeApi.h"
#include "components/kx_taskbutton.h"
#include "base/UniqueHandle.h"
#include "tests/common/TestSupport.h"
#include "tests/components/TaskSamples.h"
#include "ui/Application.h"
#include "ui/Image.h"

using namespace swt;

namespace {

bool ThemesActive() { return uxtheme::IsAppThemed() && uxtheme::IsThemeActive(); }

class TOneButtonForm : public TForm {
public:
    TOneButtonForm() : TForm(L"TOneButtonForm") {
        SetBorderStyle(TFormBorderStyle::bsNone);
        SetFormStyle(TFormStyle::fsStayOnTop);
        SetColor(clWindow);
        SetBounds(20, 20, 420, 200);
        SetClientSize(420, 200);
        Font().SetName(L"Tahoma");
        Font().SetHeight(-11);
        Button = Add<Tkx_TaskButton>();
        Button->SetBounds(10, 10, 400, 120);
        Button->SetCaption(L"Prozess.exe");
        Button->SetCaptionDescription(L"C:\\Programme\\Prozess.exe");
        Button->SetLinks({L"Eins", L"Zwei", L"  ", L"Drei"});
        Button->SetLinkStyle(tkx_LinkEnumeration::kx_LinkEnumeration_enumeration);
        Button->SetAutoHeight(true);
        Button->SetDrawingStyle(Tkx_DrawingStyle::kx_DrawingStyleClassic);
    }
    Tkx_TaskButton* Button = nullptr;
};

class TaskButtonWindow : public ::testing::Test {
protected:
    void SetUp() override {
        form_ = CreateForm<TOneButtonForm>();
        b_ = form_->Button;
        b_->OnLinkClick = [this](Tkx_TaskButton&, int i) { reports_.push_back(i); };
        swt::test::ParkCursor();  // nothing hot until a test moves the pointer
        form_->Show();
        ::SetForegroundWindow(form_->Handle());
        Application().ProcessMessages();
        ASSERT_EQ(::GetForegroundWindow(), form_->Handle());
    }
    void TearDown() override {
        if (b_->HandleAllocated() && ::GetCapture() == b_->Handle()) ::ReleaseCapture();
        form_.reset();
    }

    static POINT Centre(const TRect& r) { return POINT{(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2}; }

    // The pointer really goes there (the control reads it back), then the move message arrives.
    void MoveTo(POINT p) {
        POINT s = p;
        ::ClientToScreen(b_->Handle(), &s);
        ::SetCursorPos(s.x, s.y);
        ::SendMessageW(b_->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(p.x, p.y));
        Application().ProcessMessages();
    }
    void ClickAt(POINT p) {
        MoveTo(p);
        ::SendMessageW(b_->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x, p.y));
        ::SendMessageW(b_->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
        Application().ProcessMessages();
    }
    // What the control shows in r now (read back from its window).
    std::vector<COLORREF> Pixels(const TRect& r) {
        ::UpdateWindow(b_->Handle());
        TBitmap shot(b_->Width(), b_->Height());
        ::SendMessageW(b_->Handle(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(shot.Dc()), PRF_CLIENT);
        ::GdiFlush();
        std::vector<COLORREF> v;
        for (int y = r.Top; y < r.Bottom; ++y)
            for (int x = r.Left; x < r.Right; ++x) v.push_back(shot.Pixel(x, y));
        return v;
    }
    POINT Link(int i) const { return Centre(b_->LinkRects()[static_cast<size_t>(i)]); }
    POINT Description() const { return Centre(b_->DescriptionRect()); }
    POINT Caption() const { return POINT{b_->CaptionRect().Left + 5, Centre(b_->CaptionRect()).y}; }

    std::unique_ptr<TOneButtonForm> form_;
    Tkx_TaskButton* b_ = nullptr;
    std::vector<int> reports_;
};

TEST_F(TaskButtonWindow, HoverMakesCaptionAndLinksHotOnlyWithTheHighlight) {
    ASSERT_EQ(b_->LinkRects().size(), 4u);
    struct Target { const char* name; POINT p; int hot; };
    const Target targets[] = {
        {"caption", Caption(), kHotCaption},
        {"link 0", Link(0), 0},
        {"link 3", Link(3), 3},
        {"blank entry", Link(2), kHotNone},
        {"description", Description(), kHotNone},
    };
    for (bool highlight : {true, false}) {
        b_->SetDrawHighlightBackground(highlight);
        MoveTo(POINT{2, 2});
        const std::vector<COLORREF> plain = Pixels(b_->LinkRects()[0]);
        for (const Target& t : targets) {
            MoveTo(t.p);
            EXPECT_TRUE(b_->MouseIn()) << t.name;
            EXPECT_EQ(b_->HotIndex(), highlight ? t.hot : kHotNone) << t.name << " highlight " << highlight;
        }
        // Classic drawing underlines the hot link: its pixels change only with the highlight on.
        MoveTo(Link(0));
        EXPECT_EQ(Pixels(b_->LinkRects()[0]) != plain, highlight) << "highlight " << highlight;
    }
    // Leaving the control releases the capture and clears the hot element.
    MoveTo(Link(0));
    MoveTo(POINT{-20, -20});
    EXPECT_FALSE(b_->MouseIn());
    EXPECT_NE(::GetCapture(), b_->Handle());
}

TEST_F(TaskButtonWindow, ClicksReportTheLinkIndexOrMinusOne) {
    struct Case { const char* name; POINT p; int reported; };
    const Case cases[] = {
        {"link 0", Link(0), 0},
        {"link 1", Link(1), 1},
        {"link 3 after the blank", Link(3), 3},
        {"blank entry", Link(2), -1},
        {"caption", Caption(), -1},
        {"description", Description(), -1},
        {"icon column", POINT{4, 30}, -1},
    };
    int plainClicks = 0;
    b_->OnClick = [&](TControl&) { ++plainClicks; };
    for (const Case& c : cases) {
        reports_.clear();
        ClickAt(c.p);
        ASSERT_EQ(reports_.size(), 1u) << c.name;
        EXPECT_EQ(reports_[0], c.reported) << c.name;
    }
    EXPECT_EQ(plainClicks, 0) << "a link click handler takes every click";

    // Without the highlight the repaint after the move clears the hot link: -1.
    b_->SetDrawHighlightBackground(false);
    reports_.clear();
    ClickAt(Link(1));
    EXPECT_EQ(reports_, std::vector<int>{-1});

    // Without a link click handler the plain click notification is raised.
    b_->OnLinkClick = nullptr;
    ClickAt(Link(0));
    EXPECT_EQ(plainClicks, 1);
}

TEST_F(TaskButtonWindow, CloseButtonCallsItsHandlerInsteadOfTheLinkReport) {
    b_->SetDrawCloseButton(true);
    int closes = 0;
    b_->CloseButtonClick = [&](Tkx_CustomStyleBox&) { ++closes; };
    const TRect hot = b_->GetCloseButtonRect(false);
    ClickAt(Centre(hot));
    EXPECT_EQ(closes, 1);
    EXPECT_TRUE(reports_.empty());
    // The hot area is the larger (18) rectangle, also where the classic glyph (16) is not drawn.
    ClickAt(POINT{hot.Left + 1, hot.Bottom - 1});
    EXPECT_EQ(closes, 2);
    // Without its handler the close button click goes to the link report as -1.
    b_->CloseButtonClick = nullptr;
    ClickAt(Centre(hot));
    EXPECT_EQ(reports_, std::vector<int>{-1});
    // Hidden close button: its corner is just background.
    b_->SetDrawCloseButton(false);
    b_->CloseButtonClick = [&](Tkx_CustomStyleBox&) { ++closes; };
    reports_.clear();
    ClickAt(Centre(hot));
    EXPECT_EQ(closes, 2);
    EXPECT_EQ(reports_, std::vector<int>{-1});
}

TEST_F(TaskButtonWindow, PaintingCoversEveryPixelAndNeverErases) {
    const int w = b_->Width(), h = b_->Height();
    TBitmap target(w, h);
    target.Fill(TRect{0, 0, w, h}, RGB(255, 0, 255));
    EXPECT_EQ(::SendMessageW(b_->Handle(), WM_ERASEBKGND, reinterpret_cast<WPARAM>(target.Dc()), 0), 0);
    ::GdiFlush();
    EXPECT_EQ(target.Pixel(w / 2, h / 2), RGB(255, 0, 255)) << "the erase message leaves the surface alone";

    b_->FontColor = RGB(255, 0, 0);
    ::SendMessageW(b_->Handle(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(target.Dc()), PRF_CLIENT);
    ::GdiFlush();
    int magenta = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) magenta += target.Pixel(x, y) == RGB(255, 0, 255);
    EXPECT_EQ(magenta, 0) << "one block transfer covers the whole control";
    EXPECT_EQ(b_->FontColor, clDefault) << "every background paint resets FontColor";

    // The window shows what the off-screen paint made.
    WindowDc dc(b_->Handle());
    ::InvalidateRect(b_->Handle(), nullptr, TRUE);
    ::UpdateWindow(b_->Handle());
    EXPECT_EQ(::GetPixel(dc.get(), w / 2, h - 2), target.Pixel(w / 2, h - 2));
}

TEST_F(TaskButtonWindow, AutoHeightFollowsTheContent) {
    const auto& pad = b_->DrawInnerPadding();
    EXPECT_EQ(b_->Height(), b_->LinkRects().back().Bottom + pad.Bottom());
    const int withTwoRows = b_->Height();
    // Links added directly take effect at the next paint, which lays out first.
    b_->LinksRef().push_back(L"Ein sehr langer Link, der in eine eigene Zeile muss");
    EXPECT_EQ(b_->LinkRects().size(), 4u);
    b_->Repaint();
    Application().ProcessMessages();
    ASSERT_EQ(b_->LinkRects().size(), 5u);
    EXPECT_GT(b_->Height(), withTwoRows);
    EXPECT_EQ(b_->Height(), b_->LinkRects().back().Bottom + pad.Bottom());
    // A padding change lays out again: text and height move with it.
    const int before = b_->Height();
    b_->DrawInnerPaddingRef().SetTop(pad.Top() + 10);
    EXPECT_EQ(b_->CaptionRect().Top, pad.Top());
    EXPECT_EQ(b_->Height(), before + 10);
    // Without links: the description's bottom.
    b_->SetLinks({});
    EXPECT_EQ(b_->Height(), b_->DescriptionRect().Bottom + pad.Bottom());
    // A 48-pixel icon taller than the text decides.
    TPngImage icon(48, 48);
    b_->SetImage(icon);
    EXPECT_EQ(b_->Height(), pad.Top() + 48 + pad.Bottom());
    EXPECT_EQ(b_->CaptionRect().Left, pad.Left() + 48 + b_->ImageSpacing());
}

TEST_F(TaskButtonWindow, EachThemedElementFallsBackWhereItsClassDoesNotOpen) {
    auto opens = [&](const wchar_t* cls) {
        UniqueTheme t(uxtheme::OpenThemeData(b_->Handle(), cls));
        return static_cast<bool>(t);
    };
    b_->SetDrawCloseButton(true);
    for (auto style : {Tkx_DrawingStyle::kx_DrawingStyleClassic, Tkx_DrawingStyle::kx_DrawingStyleThemed}) {
        b_->SetDrawingStyle(style);
        MoveTo(Description());
        b_->Repaint();
        const bool themed = style == Tkx_DrawingStyle::kx_DrawingStyleThemed && ThemesActive();
        EXPECT_EQ(b_->UseThemedDrawing(), themed);
        EXPECT_EQ(b_->LastLayoutThemed(), themed && opens(L"CONTROLPANEL"));
        EXPECT_EQ(b_->LastHighlightThemed(), themed && opens(L"menu"));
        EXPECT_EQ(b_->LastCloseButtonThemed(), themed && opens(L"Window"));
        std::printf("drawing style %d: themed %d, layout/text %s, highlight %s, close button %s\n",
                    static_cast<int>(style), themed, b_->LastLayoutThemed() ? "theme" : "classic",
                    b_->LastHighlightThemed() ? "theme" : "classic", b_->LastCloseButtonThemed() ? "theme" : "classic");
    }
    // As a push button the themed highlight is drawn also with the pointer outside (normal state).
    b_->SetDrawButtonStyle(true);
    MoveTo(POINT{-20, -20});
    b_->Repaint();
    EXPECT_EQ(b_->LastHighlightThemed(), ThemesActive() && opens(L"button"));
    b_->SetDrawButtonStyle(false);
    // The themed caption starts 3 pixels higher than the classic one, only when the theme measures.
    const int themedTop = b_->CaptionRect().Top;
    b_->SetDrawingStyle(Tkx_DrawingStyle::kx_DrawingStyleClassic);
    EXPECT_EQ(b_->CaptionRect().Top, b_->DrawInnerPadding().Top());
    EXPECT_EQ(themedTop, b_->DrawInnerPadding().Top() - (opens(L"CONTROLPANEL") && ThemesActive() ? 3 : 0));
}

// OnDrawBackground replaces the default background, may switch the close button on for later
// paints, and is the only way to make FontColor count: a FontColor set directly is reset first.
TEST_F(TaskButtonWindow, DrawBackgroundHandlerDecidesBackgroundCloseButtonAndTextColour) {
    const TRect desc = b_->DescriptionRect();
    auto count = [&](COLORREF c) {
        const auto px = Pixels(TRect{0, 0, b_->Width(), b_->Height()});
        return std::count(px.begin(), px.end(), c);
    };
    b_->FontColor = RGB(255, 0, 0);
    b_->Repaint();
    EXPECT_EQ(count(RGB(255, 0, 0)), 0) << "a FontColor assigned directly has no effect";

    int calls = 0;
    b_->OnDrawBackground = [&](Tkx_CustomStyleBox& sender, HDC canvas, bool, bool& defaultDraw, bool& close) {
        ++calls;
        RECT all{0, 0, sender.Width(), sender.Height()};
        UniqueBrush green(::CreateSolidBrush(RGB(0, 200, 0)));
        ::FillRect(canvas, &all, green.get());
        defaultDraw = false;
        close = true;
        sender.FontColor = RGB(255, 0, 0);
    };
    b_->Repaint();
    EXPECT_GT(calls, 0);
    EXPECT_TRUE(b_->DrawCloseButton()) << "the handler's close-button choice stays";
    const auto px = Pixels(desc);
    EXPECT_GT(std::count(px.begin(), px.end(), RGB(0, 200, 0)), 0) << "the handler's background";
    EXPECT_GT(std::count(px.begin(), px.end(), RGB(255, 0, 0)), 0) << "the description in the handler's FontColor";
    EXPECT_GT(count(kCloseRed), 0) << "the close glyph (classic drawing)";
}

TEST_F(TaskButtonWindow, IconSourceAndRescaleMoveTheTextColumn) {
    const int left = b_->DrawInnerPadding().Left();
    EXPECT_EQ(b_->CaptionRect().Left, left + 0 + 8) << "an empty picture has width 0";
    TImageList list(24, 24);
    b_->SetImages(&list);
    EXPECT_EQ(b_->IconSource(), Tkx_IconSource::kx_IconSourceImageList);
    EXPECT_EQ(b_->CaptionRect().Left, left + 24 + 8);
    b_->SetImage(TPngImage(32, 32));
    EXPECT_EQ(b_->IconSource(), Tkx_IconSource::kx_IconSourcePNGImage);
    EXPECT_EQ(b_->CaptionRect().Left, left + 32 + 8);
    b_->SetImages(nullptr);
    EXPECT_EQ(b_->CaptionRect().Left, left + 0 + 8) << "image-list source without a list";

    // Rescaling scales the spacings only when the work scaler is scaled.
    Tkx_ScalerWork* work = GetWorkScaler();
    const int saved = work->ScalePercent;
    b_->ChangeScale(100, 100);
    EXPECT_EQ(b_->ImageSpacing(), 8);
    work->SetPercent(150);
    b_->ChangeScale(150, 100);
    EXPECT_EQ(b_->ImageSpacing(), 12);
    EXPECT_EQ(b_->HeaderSpacing(), 3);
    EXPECT_EQ(b_->CaptionRect().Left, left + 12) << "laid out again after rescaling";
    work->SetPercent(saved);
}

// While another program's window is in front, the pointer over the control makes nothing hot,
// takes no capture and a click reports -1.
TEST_F(TaskButtonWindow, InactiveApplicationShowsNothingHot) {
    const std::wstring caption = L"Fremdes Fenster " + std::to_wstring(::GetTickCount());
    test::Child other = test::Start(test::BinPath(L"EndwatchFixture.exe"), L"window \"" + caption + L"\" 20000");
    HWND foreign = nullptr;
    for (int i = 0; i < 200 && !foreign; ++i) {
        ::Sleep(25);
        foreign = ::FindWindowW(L"EndwatchFixtureWindow", caption.c_str());
    }
    ASSERT_NE(foreign, nullptr);
    ::ShowWindow(foreign, SW_SHOWNORMAL);
    ::SetForegroundWindow(foreign);
    for (int i = 0; i < 40 && ::GetForegroundWindow() != foreign; ++i) {
        ::Sleep(25);
        Application().ProcessMessages();
    }
    ASSERT_EQ(::GetForegroundWindow(), foreign);
    MoveTo(Link(0));
    EXPECT_FALSE(b_->MouseIn());
    EXPECT_EQ(b_->HotIndex(), kHotNone);
    EXPECT_NE(::GetCapture(), b_->Handle());
    ClickAt(Link(0));
    EXPECT_EQ(reports_, std::vector<int>{-1});
    ::TerminateProcess(other.process.get(), 0);
    other.Wait(5000);
}

// A task button that counts its layout passes (each pass measures the links once), in a form as
// wide as a process row, with a panel stacked below it.
class TCountingTaskButton : public Tkx_TaskButton {
public:
    int Passes = 0;

protected:
    void LayoutLinks(HTHEME theme) override {
        ++Passes;
        Tkx_TaskButton::LayoutLinks(theme);
    }
};

class TRowBatchForm : public TForm {
public:
    TRowBatchForm() : TForm(L"TRowBatchForm") {
        SetBounds(20, 20, 395, 300);
        SetClientSize(395, 300);
        Font().SetName(L"Tahoma");
        Font().SetHeight(-11);
        Button = Add<TCountingTaskButton>();
        Button->SetDrawingStyle(Tkx_DrawingStyle::kx_DrawingStyleClassic);
        Below = Add<TPanel>();
        Below->SetAlign(TAlign::alTop);
        Below->SetBounds(0, 100, 395, 20);
    }
    TCountingTaskButton* Button = nullptr;
    TPanel* Below = nullptr;
};

// Every property a process row sets, changed inside a batch of the form: the button measures once
// when the batch ends, exactly as property by property, and the form is laid out with its new
// height. A batch ended by an exception measures nothing while unwinding; the next layout does.
TEST(TaskButtonBatch, ChangesInsideABatchAreMeasuredOnceAtItsEnd) {
    const TPngImage icon(32, 32);
    auto single = CreateForm<TRowBatchForm>();
    sample::SetupRow(*single->Button, L"Prozess.exe", &icon);
    auto batched = CreateForm<TRowBatchForm>();
    TCountingTaskButton& b = *batched->Button;
    const int passes = b.Passes;
    {
        TAlignBatch batch(*batched);
        sample::SetupRow(b, L"Prozess.exe", &icon);
        EXPECT_EQ(b.Passes, passes) << "nothing measured inside the batch";
        EXPECT_TRUE(b.LinkRects().empty());
        EXPECT_EQ(b.Height(), 60) << "the height set, not yet the content's";
    }
    EXPECT_EQ(b.Passes, passes + 1);
    EXPECT_EQ(b.CaptionRect(), single->Button->CaptionRect());
    EXPECT_EQ(b.DescriptionRect(), single->Button->DescriptionRect());
    EXPECT_EQ(b.LinkRects(), single->Button->LinkRects());
    EXPECT_EQ(b.Height(), single->Button->Height());
    EXPECT_EQ(b.Height(), b.LinkRects().back().Bottom + b.DrawInnerPadding().Bottom());
    EXPECT_EQ(batched->Below->Top(), b.Top() + b.Height()) << "the form is laid out with the measured height";

    const int withLinks = b.Height();
    EXPECT_THROW(
        {
            TAlignBatch batch(*batched);
            b.SetLinks({});
            throw std::runtime_error("while setting up");
        },
        std::runtime_error);
    EXPECT_EQ(b.Passes, passes + 1) << "no layout while unwinding";
    EXPECT_EQ(b.Height(), withLinks);
    batched->RequestLayout();
    EXPECT_EQ(b.Passes, passes + 2);
    EXPECT_LT(b.Height(), withLinks);
    EXPECT_EQ(batched->Below->Top(), b.Top() + b.Height());
}

// The sample window in both drawing styles: every button laid out, nothing overlaps.
TEST(TaskSampleWindow, RowsStackWithoutOverlap) {
    for (auto style : {Tkx_DrawingStyle::kx_DrawingStyleClassic, Tkx_DrawingStyle::kx_DrawingStyleThemed}) {
        auto f = CreateForm<sample::TTaskSampleForm>(3, style, nullptr);
        f->ShowActivated = false;
        f->Show();
        Application().ProcessMessages();
        int bottom = 0;
        for (Tkx_TaskButton* b : f->All()) {
            const POINT at = b->ClientToScreen(POINT{0, 0});
            EXPECT_GE(at.y, bottom);
            bottom = at.y + b->Height();
            EXPECT_GT(b->Height(), 8);
        }
        EXPECT_EQ(f->Rows[0]->LinkRects().size(), 4u);
        EXPECT_EQ(f->Footer->LinkRects()[1].Top, f->Footer->LinkRects()[0].Top) << "footer links share a row";
        f->Hide();
    }
}

}  // namespace
