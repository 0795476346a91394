// The countdown window on a real window: its design after layout, its texts and its handlers.
#include <gtest/gtest.h>

#include "terminator/KillForm.h"
#include "terminator/ProcessWatch.h"
#include "tests/common/TestSupport.h"
#include "ui/Application.h"
#include "ui/Image.h"
#include "ui/Label.h"
#include "ui/Panel.h"
#include "ui/ProgressBar.h"

namespace {

using swt::TKillFrm;

struct WatchedChild {
    swt::test::Child child = swt::test::Start(swt::test::BinPath(L"EndwatchFixture.exe"), L"wait 30000");
    swt::TWatchedProcess watched{child.pid};
    ~WatchedChild() {
        if (child.process) ::TerminateProcess(child.process.get(), 1);
    }
};

TEST(KillForm, DesignAfterLayout) {
    WatchedChild target;
    auto form = swt::CreateForm<TKillFrm>(target.watched);
    const struct {
        const char* what;
        swt::TControl* control;
        swt::TRect bounds;
    } cases[] = {
        {"Panel1", form->Panel1, swt::TRect::Bounds(0, 0, 313, 126)},
        {"Panel2 (header)", form->Panel2, swt::TRect::Bounds(0, 0, 313, 32)},
        {"Image1 (close glyph)", form->Image1, swt::TRect::Bounds(283, 7, 19, 19)},
        {"Panel3 (body)", form->Panel3, swt::TRect::Bounds(0, 32, 313, 94)},
        {"Label2", form->Label2, swt::TRect::Bounds(6, 3, 291, 32)},
        {"PB", form->PB, swt::TRect::Bounds(6, 41, 291, 15)},
        {"Panel4 (separator)", form->Panel4, swt::TRect::Bounds(6, 62, 291, 2)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const swt::TRect b = c.control->BoundsRect();
        EXPECT_EQ(b.Left, c.bounds.Left);
        EXPECT_EQ(b.Top, c.bounds.Top);
        EXPECT_EQ(b.Width(), c.bounds.Width());
        EXPECT_EQ(b.Height(), c.bounds.Height());
    }
    // Label1 fills the header's height but its bottom margin and follows its text from left 12.
    EXPECT_EQ(form->Label1->Left(), 12);
    EXPECT_EQ(form->Label1->Top(), 0);
    EXPECT_EQ(form->Label1->Height(), 29);
    EXPECT_EQ(form->Label3->Left(), 6);
    EXPECT_EQ(form->Label3->Top(), 70);
    EXPECT_EQ(form->Label3->Width(), 291);
    // The window: no frame, a 1-pixel gray border around the content.
    EXPECT_EQ(form->ClientWidth(), 313);
    EXPECT_EQ(form->Width(), 315);
    EXPECT_EQ(form->Height(), form->ClientHeight() + 2);
    EXPECT_EQ(form->Color(), swt::clGray);
    EXPECT_EQ(form->Caption(), L"KillFrm");
    EXPECT_EQ(form->BorderStyle(), swt::TFormBorderStyle::bsNone);
    EXPECT_EQ(form->FormStyle(), swt::TFormStyle::fsStayOnTop);
    EXPECT_EQ(form->Panel2->Color(), swt::clActiveCaption);
    EXPECT_EQ(form->Panel3->Color(), swt::clWhite);
    EXPECT_EQ(form->Panel3->BorderWidth(), 5);
}

TEST(KillForm, TextsAndFontsBeforeTheLoopWritesThem) {
    WatchedChild target;
    auto form = swt::CreateForm<TKillFrm>(target.watched);
    EXPECT_EQ(form->Label1->Caption(), L"VELTRA");
    EXPECT_EQ(form->Label2->Caption(), L"Prozess wird beendet\r\nWarte auf Abschluss");
    EXPECT_EQ(form->Label3->Caption(), L".");
    EXPECT_EQ(form->Label1->Font().Name(), L"Tahoma");
    EXPECT_EQ(form->Label1->Font().Style(), swt::fsBold);
    EXPECT_EQ(form->Label1->Font().Color(), swt::clWhite);
    EXPECT_TRUE(form->Label1->Transparent());
    EXPECT_TRUE(form->Image1->Transparent());
    EXPECT_EQ(form->Image1->Picture().EffectiveTransparentColor(), RGB(255, 0, 255));
    EXPECT_EQ(swt::Application().Title(), L"Beenden");
    EXPECT_FALSE(form->Visible());
}

TEST(KillForm, CloseIsRefusedUntilTheGlyphTerminates) {
    WatchedChild target;
    auto form = swt::CreateForm<TKillFrm>(target.watched);
    form->ProcessId = static_cast<int32_t>(target.child.pid);
    form->Show();
    EXPECT_FALSE(form->CloseQuery());
    ::SendMessageW(form->Handle(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(::IsWindowVisible(form->Handle()));

    // Ctrl is not down here: the click terminates the watched process and hides the window.
    form->Image1Click(*form->Image1);
    EXPECT_FALSE(form->EndRequested());
    EXPECT_TRUE(form->CloseQuery());
    EXPECT_FALSE(::IsWindowVisible(form->Handle()));
    EXPECT_EQ(target.child.Wait(10000), 0u);
}

// The click's own messages tell whether Ctrl was held, whatever the key is when they are handled
// (up, here: nothing holds it in this test).
TEST(KillForm, CtrlFlagOfTheClicksMessagesLeavesTheProcess) {
    const struct {
        const char* what;
        WPARAM downKeys, upKeys;
        bool leaves;
    } cases[] = {
        {"Ctrl at press and release", MK_LBUTTON | MK_CONTROL, MK_CONTROL, true},
        {"Ctrl at the press only", MK_LBUTTON | MK_CONTROL, 0, true},
        {"Ctrl at the release only", MK_LBUTTON, MK_CONTROL, true},
        {"no Ctrl", MK_LBUTTON, 0, false},
    };
    ASSERT_FALSE(::GetAsyncKeyState(VK_CONTROL) & 0x8000);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WatchedChild target;
        auto form = swt::CreateForm<TKillFrm>(target.watched);
        form->Show();
        // The glyph is a graphic control: its clicks arrive through the header's window.
        const LPARAM at = MAKELPARAM(form->Image1->Left() + 9, form->Image1->Top() + 9);
        ::SendMessageW(form->Panel2->Handle(), WM_LBUTTONDOWN, c.downKeys, at);
        ::SendMessageW(form->Panel2->Handle(), WM_LBUTTONUP, c.upKeys, at);
        EXPECT_EQ(form->EndRequested(), c.leaves);
        EXPECT_EQ(target.child.Wait(c.leaves ? 500 : 10000), c.leaves ? STILL_ACTIVE : 0u);
    }
}

TEST(KillForm, EachPressOnTheBarMovesTheStartByMaxTime) {
    WatchedChild target;
    auto form = swt::CreateForm<TKillFrm>(target.watched);
    form->SetMaxTime(60000);
    form->StartTime = 1000;
    for (auto button : {swt::TMouseButton::mbLeft, swt::TMouseButton::mbRight})
        form->PB->DoMouseDown(button, 0, 5, 5);
    EXPECT_EQ(form->StartTime, 121000);
    // Through the bar's window, as a click arrives.
    form->Show();
    ::SendMessageW(form->PB->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 5));
    ::SendMessageW(form->PB->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(10, 5));
    EXPECT_EQ(form->StartTime, 181000);
}

TEST(KillForm, HeaderDragOnlyWithTheLeftButton) {
    WatchedChild target;
    auto form = swt::CreateForm<TKillFrm>(target.watched);
    form->SetBounds(100, 100, form->Width(), form->Height());
    form->Show();
    // The right button does nothing: no move loop starts, the window stays where it is.
    form->Panel2->DoMouseDown(swt::TMouseButton::mbRight, 0, 50, 10);
    form->Label1->DoMouseDown(swt::TMouseButton::mbRight, 0, 5, 5);
    RECT r{};
    ::GetWindowRect(form->Handle(), &r);
    EXPECT_EQ(r.left, 100);
    EXPECT_EQ(r.top, 100);
}

}  // namespace
