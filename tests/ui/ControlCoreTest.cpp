// The control core's structure: layout batches per form as a scope guard, cached label
// measurements, the form's owner list, and the hooks a control that draws itself receives.
#include <gtest/gtest.h>
#include <windows.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "tests/common/TestSupport.h"
#include "ui/Ui.h"

using namespace swt;

namespace {

// A form with one auto-sized label, laid out without a window.
class TBatchForm : public TForm {
public:
    TBatchForm() : TForm(L"TBatchForm") {
        Text = Add<TLabel>();
        Text->SetCaption(L"x");
    }
    TLabel* Text;
};

TEST(AlignBatch, LaysOutOnceAtTheEndAndOnlyReleasesWhenUnwinding) {
    auto f = CreateForm<TBatchForm>();
    auto other = CreateForm<TBatchForm>();
    const int narrow = f->Text->Width();
    {
        TAlignBatch batch(*f->Text);  // a child's batch holds its form
        f->Text->SetCaption(L"a much longer caption");
        EXPECT_EQ(f->Text->Width(), narrow) << "nothing laid out inside the batch";
        other->Text->SetCaption(L"a much longer caption");
        EXPECT_GT(other->Text->Width(), narrow) << "another form is not held by this batch";
    }
    const int wide = f->Text->Width();
    EXPECT_GT(wide, narrow);

    EXPECT_THROW(
        {
            TAlignBatch batch(*f);
            f->Text->SetCaption(L"x");
            throw std::runtime_error("while building");
        },
        std::runtime_error);
    EXPECT_EQ(f->Text->Width(), wide) << "no layout while unwinding";
    f->RequestLayout();
    EXPECT_EQ(f->Text->Width(), narrow) << "the batch was released: the next request lays out";
}

// A child appended to top-aligned children stands below the last of them at once, while a batch
// holds the layout, and the layout keeps it there.
TEST(AlignBatch, AppendedChildStandsBelowTheOthersBeforeAndAfterTheLayout) {
    auto f = CreateForm<TBatchForm>();
    TPanel* box = f->Add<TPanel>();
    box->SetBevelOuter(TBevelCut::bvNone);
    box->SetAlign(TAlign::alTop);
    box->SetAutoSize(true);
    auto row = [] {
        auto p = std::make_unique<TPanel>();
        p->SetBevelOuter(TBevelCut::bvNone);
        p->SetAlign(TAlign::alTop);
        p->SetBounds(0, 0, 100, 30);
        return p;
    };
    box->AppendControl(row());
    box->AppendControl(row());
    const TControl* second = box->Controls(1);
    ASSERT_EQ(second->Top(), box->Controls(0)->Top() + 30);
    TControl* appended = nullptr;
    {
        TAlignBatch batch(*f);
        auto third = row();
        appended = third.get();
        box->AppendControl(std::move(third));
        EXPECT_EQ(appended->Top(), second->Top() + 30) << "below the others before any layout";
    }
    EXPECT_EQ(box->Controls(2), appended);
    EXPECT_EQ(appended->Top(), second->Top() + 30);
    EXPECT_EQ(box->Height(), 90);
}

TEST(LabelMeasure, FollowsCaptionFontAndTextFlags) {
    // Each change that alters the text's size must reach the next layout, cache or not.
    auto f = CreateForm<TBatchForm>();
    TLabel* l = f->Text;
    l->SetCaption(L"Wxy Wxy Wxy Wxy");
    const TSize base{l->Width(), l->Height()};
    EXPECT_EQ(l->TextExtent(-1), base);

    l->Font().SetSize(l->Font().Size() * 2);
    EXPECT_GT(l->Width(), base.cx) << "font change";
    l->Font().SetSize(l->Font().Size() / 2);
    EXPECT_EQ(l->Width(), base.cx);

    l->SetShowAccelChar(true);
    l->SetCaption(L"&&&&&&&&");
    const int withAccel = l->Width();
    l->SetShowAccelChar(false);
    EXPECT_GT(l->Width(), withAccel) << "'&&' is one character only with accelerators on";

    l->SetCaption(L"Wxy Wxy Wxy Wxy");
    l->SetAutoSize(false);
    l->SetWidth(base.cx / 3);
    l->SetWordWrap(true);
    EXPECT_GT(l->TextExtent(-1).cy, base.cy) << "wrapped at the label's width";
    l->SetWidth(base.cx * 2);
    EXPECT_EQ(l->TextExtent(-1).cy, base.cy) << "measured again for the new width";
}

// Records the order objects go in.
std::vector<std::wstring> g_gone;

class TGoneLabel : public TLabel {
public:
    ~TGoneLabel() override { g_gone.push_back(L"label"); }
};

struct TOwnedThing {
    explicit TOwnedThing(std::wstring name) : Name(std::move(name)) {}
    ~TOwnedThing() { g_gone.push_back(Name); }
    std::wstring Name;
};

TEST(OwnerList, OwnedObjectsOutliveTheControlsAndGoLastMadeFirst) {
    g_gone.clear();
    {
        auto f = CreateForm<TBatchForm>();
        f->Add<TGoneLabel>();
        f->Own<TOwnedThing>(L"timer");
        auto* menu = f->Own<TPopupMenu>();
        f->Text->SetPopupMenu(menu);
        f->Own<TOwnedThing>(L"images");
        f->Own<TTimer>()->SetEnabled(false);
    }
    EXPECT_EQ(g_gone, (std::vector<std::wstring>{L"label", L"images", L"timer"}));
}

TEST(OwnerList, ReleaseDestroysOneOwnedObjectNowAndLeavesTheRest) {
    g_gone.clear();
    TOwnedThing stranger(L"stranger");
    {
        auto f = CreateForm<TBatchForm>();
        f->Own<TOwnedThing>(L"first");
        auto* row = f->Own<TOwnedThing>(L"row");
        f->Own<TOwnedThing>(L"last");

        EXPECT_TRUE(f->Release(row));
        EXPECT_EQ(g_gone, (std::vector<std::wstring>{L"row"}));
        EXPECT_FALSE(f->Release(row)) << "already released";
        EXPECT_FALSE(f->Release(&stranger)) << "not the form's";
        EXPECT_EQ(g_gone, (std::vector<std::wstring>{L"row"}));
    }
    EXPECT_EQ(g_gone, (std::vector<std::wstring>{L"row", L"last", L"first"})) << "the rest still go last made first";
}

// Records the hooks it receives.
class THookControl : public TCustomControl {
public:
    std::vector<std::wstring> Calls;

protected:
    bool CursorQuery(int hitTest, int x, int y) override {
        Calls.push_back(L"cursor " + std::to_wstring(hitTest));
        return true;
    }
    void FocusIn() override { Calls.push_back(L"focus in"); }
    void FocusOut() override { Calls.push_back(L"focus out"); }
    void CaptureLost() override { Calls.push_back(L"capture lost"); }
    void ThemeChanged() override { Calls.push_back(L"theme"); }
    void SysColorChanged() override { Calls.push_back(L"colours"); }
    void DpiChanged(int oldDpi, int newDpi) override {
        Calls.push_back(L"dpi " + std::to_wstring(oldDpi) + L"->" + std::to_wstring(newDpi));
    }
    void EnabledChanged() override { Calls.push_back(Enabled() ? L"enabled" : L"disabled"); }
};

class THookForm : public TForm {
public:
    THookForm() : TForm(L"THookForm") {
        SetBorderStyle(TFormBorderStyle::bsNone);
        SetBounds(30, 30, 120, 80);
        Outer = Add<TPanel>();
        Outer->SetBounds(0, 0, 100, 60);
        Inner = Outer->Add<THookControl>();
        Inner->SetBounds(5, 5, 40, 30);
        Other = Add<THookControl>();
        Other->SetBounds(105, 0, 10, 10);
    }
    TPanel* Outer;
    THookControl* Inner;
    THookControl* Other;
};

TEST(ControlHooks, EachMessageReachesItsHook) {
    auto f = CreateForm<THookForm>();
    swt::test::ParkCursor();
    f->Show();
    HWND h = f->Inner->Handle();
    auto& calls = f->Inner->Calls;

    struct Case {
        const wchar_t* what;
        std::function<void()> act;
        std::vector<std::wstring> expected;
    };
    const Case cases[] = {
        {L"focus", [&] { f->Inner->SetFocus(); f->Other->SetFocus(); }, {L"focus in", L"focus out"}},
        {L"capture", [&] { ::SetCapture(h); ::ReleaseCapture(); }, {L"capture lost"}},
        {L"theme", [&] { ::SendMessageW(h, WM_THEMECHANGED, 0, 0); }, {L"theme"}},
        // Only the top-level window hears of new colours; the layer passes them down.
        {L"colours", [&] { ::SendMessageW(f->Handle(), WM_SYSCOLORCHANGE, 0, 0); }, {L"colours"}},
        {L"enable", [&] { f->Inner->SetEnabled(false); f->Inner->SetEnabled(true); }, {L"disabled", L"enabled"}},
        {L"cursor", [&] { ::SendMessageW(h, WM_SETCURSOR, reinterpret_cast<WPARAM>(h), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)); },
         {L"cursor 1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        calls.clear();
        c.act();
        EXPECT_EQ(calls, c.expected);
    }
    EXPECT_EQ(f->Other->Calls, (std::vector<std::wstring>{L"focus in", L"colours"}));

    // A move to a monitor with another scale: the form scales, then every windowed control hears.
    calls.clear();
    RECT suggested{30, 30, 210, 150};
    ::SendMessageW(f->Handle(), 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(calls, (std::vector<std::wstring>{L"dpi 96->144"}));
    EXPECT_EQ(f->Inner->Width(), 60) << "sizes are scaled before the hook runs";
}

class TBindForm : public TForm {
public:
    TBindForm() : TForm(L"TBindForm") {
        Label1 = Add<TLabel>();
        Label1->OnClick = Bind(this, &TBindForm::Label1Click);
        Label1->OnMouseDown = Bind(this, &TBindForm::Label1MouseDown);
    }
    TLabel* Label1;
    std::vector<std::wstring> Seen;

private:
    void Label1Click(TControl& sender) { Seen.push_back(sender.Name() + L" click"); }
    void Label1MouseDown(TControl& sender, TMouseButton, TShiftState, int x, int y) {
        Seen.push_back(sender.Name() + L" down " + std::to_wstring(x) + L"," + std::to_wstring(y));
    }
};

TEST(Events, BindWiresAnEventToAFormMethod) {
    auto f = CreateForm<TBindForm>();
    f->Label1->SetName(L"Label1");
    f->Label1->DoMouseDown(TMouseButton::mbLeft, 0, 3, 4);
    f->Label1->DoClick();
    EXPECT_EQ(f->Seen, (std::vector<std::wstring>{L"Label1 down 3,4", L"Label1 click"}));
}

}  // namespace
