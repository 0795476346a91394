// The window layer on real windows: layout applied to windows, painting, mouse routing, close
// query, owner window, stay-on-top, the standard error display and hints.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <cwctype>

#include <atomic>
#include <mutex>
#include <thread>

#include "base/Error.h"
#include "tests/common/TestSupport.h"
#include "ui/Ui.h"

using namespace swt;

namespace {

// A small form in the shape the programs use: header bar with a label and a picture, a body
// with a text, a progress bar and a separator.
class TTestForm : public TForm {
public:
    TTestForm() : TForm(L"TTestForm") {
        SetBorderStyle(TFormBorderStyle::bsNone);
        SetFormStyle(TFormStyle::fsStayOnTop);
        SetAutoSize(true);
        SetBorderWidth(1);
        SetColor(clGray);
        SetBounds(40, 30, 200, 100);
        Panel1 = Add<TPanel>();
        Panel1->SetBevelOuter(TBevelCut::bvNone);
        Panel1->SetBounds(0, 0, 313, 123);
        Panel1->SetAutoSize(true);
        Panel2 = Panel1->Add<TPanel>();
        Panel2->SetBevelOuter(TBevelCut::bvNone);
        Panel2->SetAlign(TAlign::alTop);
        Panel2->SetHeight(32);
        Panel2->SetColor(clRed);
        Label1 = Panel2->Add<TLabel>();
        Label1->SetAlign(TAlign::alLeft);
        Label1->SetMargins(12, 0, 0, 3);
        Label1->SetTransparent(true);
        Label1->SetLayout(TTextLayout::tlCenter);
        Label1->SetCaption(L"VELTRA");
        Label1->Font().SetColor(clWhite);
        Label1->Font().SetStyle(fsBold);
        Label1->Font().SetHeight(-19);
        Image1 = Panel2->Add<TImage>();
        Image1->SetBounds(283, 7, 19, 19);
        Image1->SetAutoSize(true);
        Image1->Picture().SetSize(19, 19);
        Image1->Picture().Fill(TRect{0, 0, 19, 19}, RGB(0, 0, 255));
        for (auto [x, y] : {std::pair{0, 0}, {18, 0}, {0, 18}, {18, 18}}) Image1->Picture().SetPixel(x, y, RGB(255, 0, 255));
        Image1->SetTransparent(true);
        Panel3 = Panel1->Add<TPanel>();
        Panel3->SetBevelOuter(TBevelCut::bvNone);
        Panel3->SetAlign(TAlign::alTop);
        Panel3->SetTop(40);
        Panel3->SetAutoSize(true);
        Panel3->SetBorderWidth(5);
        Panel3->SetColor(clWhite);
        Label2 = Panel3->Add<TLabel>();
        Label2->SetAlign(TAlign::alTop);
        Label2->SetAutoSize(false);
        Label2->SetHeight(32);
        Label2->SetMargins(6, 3, 6, 3);
        Label2->SetCaption(L"Prozess wird beendet\r\nWarte auf Abschluss");
        PB = Panel3->Add<TProgressBar>();
        PB->SetAlign(TAlign::alTop);
        PB->SetHeight(15);
        PB->SetMargins(6, 3, 6, 3);
        Panel4 = Panel3->Add<TPanel>();
        Panel4->SetBevelOuter(TBevelCut::bvLowered);
        Panel4->SetAlign(TAlign::alTop);
        Panel4->SetHeight(2);
        Panel4->SetMargins(6, 3, 6, 3);
    }
    TPanel* Panel1;
    TPanel* Panel2;
    TLabel* Label1;
    TImage* Image1;
    TPanel* Panel3;
    TLabel* Label2;
    TProgressBar* PB;
    TPanel* Panel4;
    bool allowClose = false;
    int loaded = 0, created = 0, shown = 0;

protected:
    void Loaded() override { loaded = created + 1; }
    void FormCreate() override { ++created; }
    void FormShow() override { ++shown; }
    void FormCloseQuery(bool& canClose) override { canClose = allowClose; }
};

RECT ChildRect(HWND child) {
    RECT r;
    ::GetWindowRect(child, &r);
    ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// Paints a windowed control through the same code as WM_PAINT and reads one pixel.
struct Snapshot {
    UniqueMemDc dc;
    UniqueBitmap bmp;
    HGDIOBJ old = nullptr;
    Snapshot(HWND w) {
        RECT rc;
        ::GetClientRect(w, &rc);
        WindowDc screen(nullptr);
        dc.reset(::CreateCompatibleDC(screen.get()));
        bmp.reset(::CreateCompatibleBitmap(screen.get(), rc.right, rc.bottom));
        old = ::SelectObject(dc.get(), bmp.get());
        ::SendMessageW(w, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.get()), PRF_CLIENT);
    }
    ~Snapshot() { ::SelectObject(dc.get(), old); }
    COLORREF At(int x, int y) const { return ::GetPixel(dc.get(), x, y); }
};

}  // namespace

TEST(Window, FormLayoutReachesTheWindows) {
    auto f = CreateForm<TTestForm>();
    EXPECT_EQ(f->created, 1);
    EXPECT_EQ(f->loaded, 1) << "Loaded runs before the create hook";
    EXPECT_FALSE(f->HandleAllocated()) << "the window is made when first needed";
    f->Show();
    ASSERT_TRUE(f->HandleAllocated());
    EXPECT_EQ(f->shown, 1);
    EXPECT_TRUE(::IsWindowVisible(f->Handle()));

    // Form: the auto-sized content 313 x (32 + 5+38+21+8+5) as client, border width 1 around it.
    const int bodyH = 5 + 38 + 21 + 8 + 5;
    RECT cr;
    ::GetClientRect(f->Handle(), &cr);
    EXPECT_EQ(cr.right, 313);
    EXPECT_EQ(cr.bottom, 32 + bodyH);
    EXPECT_EQ(f->ClientHeight(), 32 + bodyH);
    RECT wr;
    ::GetWindowRect(f->Handle(), &wr);
    EXPECT_EQ(wr.left, 40);
    EXPECT_EQ(wr.top, 30);
    EXPECT_EQ(wr.right - wr.left, 313 + 2);
    EXPECT_EQ(wr.bottom - wr.top, 32 + bodyH + 2);

    RECT p1 = ChildRect(f->Panel1->Handle());
    EXPECT_EQ(p1.left, 0);
    EXPECT_EQ(p1.top, 0);
    EXPECT_EQ(p1.right - p1.left, 313);
    RECT p3 = ChildRect(f->Panel3->Handle());
    EXPECT_EQ(p3.top, 32);
    EXPECT_EQ(p3.bottom - p3.top, bodyH);
    RECT pb = ChildRect(f->PB->Handle());  // inside the body's client area (border 5)
    EXPECT_EQ(pb.left, 6);
    EXPECT_EQ(pb.top, 38 + 3);
    EXPECT_EQ(pb.right - pb.left, 313 - 10 - 12);
    EXPECT_EQ(pb.bottom - pb.top, 15);

    // The header label sizes itself to its text (bold 19 px "VELTRA") and takes the full height
    // less its bottom margin.
    EXPECT_EQ(f->Label1->Left(), 12);
    EXPECT_EQ(f->Label1->Height(), 29);
    EXPECT_GT(f->Label1->Width(), 40);
    EXPECT_LT(f->Label1->Width(), 110);
    const int before = f->Label1->Width();
    f->Label1->SetCaption(L"VELTRA VELTRA");
    EXPECT_GT(f->Label1->Width(), before + 30);

    // Stay on top, no frame, owned by the application's window (no taskbar button of its own).
    EXPECT_TRUE(::GetWindowLongPtrW(f->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_FALSE(::GetWindowLongPtrW(f->Handle(), GWL_STYLE) & WS_CAPTION);
    EXPECT_EQ(::GetWindow(f->Handle(), GW_OWNER), Application().Handle());
    EXPECT_FALSE(::IsWindowVisible(Application().Handle()));
    wchar_t cls[64];
    ::GetClassNameW(f->Handle(), cls, 64);
    EXPECT_STREQ(cls, L"TTestForm");
}

TEST(Window, PaintingReadsTheLayout) {
    auto f = CreateForm<TTestForm>();
    // Its own place: part of it is read from the screen while other tests show windows.
    f->SetBounds(420, 700, f->Width(), f->Height());
    f->Show();
    Application().ProcessMessages();
    // Header: red background, the picture drawn at 283,7 with its magenta corners left out.
    Snapshot header(f->Panel2->Handle());
    EXPECT_EQ(header.At(283, 7), RGB(255, 0, 0)) << "corner is transparent";
    EXPECT_EQ(header.At(283 + 18, 7 + 18), RGB(255, 0, 0));
    EXPECT_EQ(header.At(283 + 9, 7 + 9), RGB(0, 0, 255));
    EXPECT_EQ(header.At(283 + 1, 7), RGB(0, 0, 255));
    // Some white text pixels inside the label, none outside it.
    bool white = false;
    for (int y = 0; y < 29 && !white; ++y)
        for (int x = 12; x < 12 + f->Label1->Width() && !white; ++x) white = header.At(x, y) == RGB(255, 255, 255);
    EXPECT_TRUE(white);
    EXPECT_EQ(header.At(5, 16), RGB(255, 0, 0));
    // The lowered separator: shadow line on top, highlight line below.
    Snapshot sep(f->Panel4->Handle());
    EXPECT_EQ(sep.At(5, 0), ::GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(sep.At(5, 1), ::GetSysColor(COLOR_BTNHIGHLIGHT));
    // The body is white; the form's colour shows as the 1-pixel frame (read from the screen).
    Snapshot body(f->Panel3->Handle());
    EXPECT_EQ(body.At(2, 2), RGB(255, 255, 255));
    f->Repaint();
    RECT wr;
    ::GetWindowRect(f->Handle(), &wr);
    WindowDc screen(nullptr);
    EXPECT_EQ(::GetPixel(screen.get(), wr.left, wr.top + 40), RGB(128, 128, 128));
    EXPECT_EQ(::GetPixel(screen.get(), wr.left + 1, wr.top + 40), RGB(255, 255, 255)) << "body inside its own border";
}

TEST(Window, MouseGoesToTheControlUnderIt) {
    auto f = CreateForm<TTestForm>();
    f->Show();
    std::vector<std::wstring> events;
    auto down = [&](TControl& c, TMouseButton b, TShiftState, int x, int y) {
        events.push_back(c.Name() + L" down " + std::to_wstring(int(b)) + L" " + std::to_wstring(x) + L"," +
                         std::to_wstring(y));
    };
    f->Label1->SetName(L"Label1");
    f->Panel2->SetName(L"Panel2");
    f->Image1->SetName(L"Image1");
    f->PB->SetName(L"PB");
    f->Label1->OnMouseDown = down;
    f->Panel2->OnMouseDown = down;
    f->PB->OnMouseDown = down;
    int clicks = 0;
    f->Image1->OnClick = [&](TControl&) { ++clicks; };
    HWND header = f->Panel2->Handle();
    ::SendMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(15, 10));
    ::SendMessageW(header, WM_LBUTTONUP, 0, MAKELPARAM(15, 10));
    ::SendMessageW(header, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(200, 3));
    ::SendMessageW(header, WM_RBUTTONUP, 0, MAKELPARAM(200, 3));
    ::SendMessageW(f->PB->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 5));
    ::SendMessageW(f->PB->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(4, 5));
    ::SendMessageW(f->PB->Handle(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(4, 5));
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0], L"Label1 down 0 3,10");
    EXPECT_EQ(events[1], L"Panel2 down 1 200,3");
    EXPECT_EQ(events[2], L"PB down 0 4,5");
    EXPECT_EQ(events[3], L"PB down 1 4,5");
    // Click: down and up on the picture; down on it and up elsewhere is no click.
    ::SendMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(290, 12));
    ::SendMessageW(header, WM_LBUTTONUP, 0, MAKELPARAM(290, 12));
    EXPECT_EQ(clicks, 1);
    ::SendMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(290, 12));
    ::SendMessageW(header, WM_LBUTTONUP, 0, MAKELPARAM(100, 12));
    EXPECT_EQ(clicks, 1);
}

TEST(Window, CloseQueryCanRefuse) {
    auto f = CreateForm<TTestForm>();
    f->Show();
    ::SendMessageW(f->Handle(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(::IsWindowVisible(f->Handle()));
    f->allowClose = true;
    ::SendMessageW(f->Handle(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(::IsWindowVisible(f->Handle()));
    EXPECT_FALSE(f->Visible());
}

TEST(Window, ProgressBarKeepsItsRange) {
    auto f = CreateForm<TTestForm>();
    struct Case {
        int set, expected;
    };
    const Case cases[] = {{50, 50}, {-5, 0}, {150, 100}, {100, 100}};
    f->PB->SetRange(0, 100);
    f->Show();
    wchar_t cls[64];
    ::GetClassNameW(f->PB->Handle(), cls, 64);
    EXPECT_STREQ(cls, PROGRESS_CLASSW);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.set);
        f->PB->SetPosition(c.set);
        EXPECT_EQ(f->PB->Position(), c.expected);
        EXPECT_EQ(::SendMessageW(f->PB->Handle(), PBM_GETPOS, 0, 0), c.expected);
    }
}

TEST(Window, FontFollowsParentUntilSetOwn) {
    auto f = CreateForm<TTestForm>();
    EXPECT_TRUE(f->Label2->ParentFont());
    EXPECT_FALSE(f->Label1->ParentFont()) << "setting a font attribute switches ParentFont off";
    f->Font().SetName(L"Courier New");
    f->Font().SetHeight(-13);
    EXPECT_EQ(f->Panel3->Font().Name(), L"Courier New");
    EXPECT_EQ(f->Label2->Font().Height(), -13);
    EXPECT_TRUE(f->Label2->ParentFont());
    EXPECT_EQ(f->Label1->Font().Name(), DefaultFontData().Name);
    f->Label2->Font().SetSize(9);
    EXPECT_FALSE(f->Label2->ParentFont());
    EXPECT_EQ(f->Label2->Font().Height(), -12);
    f->Font().SetName(L"Tahoma");
    EXPECT_EQ(f->Label2->Font().Name(), L"Courier New");
    f->Label2->SetParentFont(true);
    EXPECT_EQ(f->Label2->Font().Name(), L"Tahoma");
    EXPECT_EQ(f->Label2->Font().Height(), -13);
}

TEST(Window, ErrorReachingTheLoopIsShownAndTheLoopGoesOn) {
    auto f = CreateForm<TTestForm>();
    Application().SetTitle(L"Fehlertest");
    auto saved = std::move(Application().OnException);
    Application().OnException = nullptr;  // the standard display
    swt::test::ParkCursor();
    f->Show();
    f->Label1->OnClick = [](TControl&) { throw Error(L"Ungültiger Datentyp für 'Dest'"); };
    f->Label2->OnClick = [](TControl&) { throw std::runtime_error("plain failure"); };
    std::vector<std::wstring> shown;
    std::mutex shownLock;
    auto shownCount = [&] {
        std::lock_guard<std::mutex> g(shownLock);
        return shown.size();
    };
    std::atomic<bool> stop{false};
    // A second thread reads and closes each message box of this process.
    std::thread closer([&] {
        while (!stop) {
            // The visible box: one that has been answered stays hidden a while before it goes.
            HWND box = nullptr;
            ::EnumWindows(
                [](HWND h, LPARAM p) noexcept -> BOOL {
                    wchar_t cls[16] = {}, title[32] = {};
                    ::GetClassNameW(h, cls, 16);
                    ::InternalGetWindowText(h, title, 32);
                    if (::IsWindowVisible(h) && wcscmp(cls, L"#32770") == 0 && wcscmp(title, L"Fehlertest") == 0) {
                        *reinterpret_cast<HWND*>(p) = h;
                        return FALSE;
                    }
                    return TRUE;
                },
                reinterpret_cast<LPARAM>(&box));
            if (box) {
                wchar_t text[256] = {};
                HWND st = ::GetDlgItem(box, 0xFFFF);
                // No message to the busy thread: the text as the window manager keeps it.
                if (st) ::InternalGetWindowText(st, text, 256);
                {
                    std::lock_guard<std::mutex> g(shownLock);
                    shown.push_back(text);
                }
                // A box that is still starting up ignores the command: repeat until it is gone.
                while (::IsWindow(box) && ::IsWindowVisible(box) && !stop) {
                    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
                    ::Sleep(100);
                }
            }
            ::Sleep(20);
        }
    });
    bool after = false;
    TTimer t;
    t.SetInterval(10);
    t.OnTimer = [&](TTimer& self) {
        after = true;
        self.SetEnabled(false);
    };
    auto pump = [&](auto done) {
        for (int i = 0; i < 500 && !done(); ++i) {
            Application().ProcessMessages();
            ::Sleep(10);
        }
    };
    // One error at a time: a second one arriving while the first box is up would nest its box.
    HWND header = f->Panel2->Handle();
    ::PostMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(15, 10));
    ::PostMessageW(header, WM_LBUTTONUP, 0, MAKELPARAM(15, 10));
    pump([&] { return shownCount() >= 1; });
    const int y = f->Label2->Top() + 5;
    HWND body = f->Panel3->Handle();
    ::PostMessageW(body, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, y));
    ::PostMessageW(body, WM_LBUTTONUP, 0, MAKELPARAM(30, y));
    pump([&] { return after && shownCount() >= 2; });
    stop = true;
    closer.join();
    Application().OnException = std::move(saved);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0], L"Ungültiger Datentyp für 'Dest'");
    EXPECT_EQ(shown[1], L"plain failure");
    EXPECT_TRUE(after) << "the loop went on after the error";
}

TEST(Window, HintOfNearestControlWithOne) {
    auto f = CreateForm<TTestForm>();
    swt::test::ParkCursor();
    f->Show();
    Application().ProcessMessages();
    f->Panel2->SetHint(L"Verwendet\rC:\\a.dll\rC:\\b.dll|long");
    f->Panel2->SetShowHint(true);
    auto move = [&](HWND w, int x, int y) {
        ::PostMessageW(w, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
        Application().ProcessMessages();
    };
    move(f->Panel2->Handle(), 15, 10);  // over the label, which has no hint itself
    EXPECT_EQ(Application().HintControl(), f->Panel2);
    f->Label1->SetHint(L"own");
    move(f->Panel2->Handle(), 16, 10);
    EXPECT_EQ(Application().HintControl(), f->Label1);
    move(f->Panel3->Handle(), 16, 10);  // body: ShowHint off
    EXPECT_EQ(Application().HintControl(), nullptr);
    f.reset();
    EXPECT_EQ(Application().HintControl(), nullptr);
}

namespace {
// An error that reaches a window procedure in any other test is a failure there, not a message
// box that nobody closes.
class NoErrorBoxes : public ::testing::Environment {
public:
    void SetUp() override {
        Application().OnException = [](const std::wstring& text) {
            ADD_FAILURE() << "error reached the message loop: " << std::string(text.begin(), text.end());
        };
    }
};
const auto* const kNoErrorBoxes = ::testing::AddGlobalTestEnvironment(new NoErrorBoxes);
}  // namespace

TEST(Window, ManifestGivesCommonControls6AndDpiAwareness) {
    Application().Initialize();
    HMODULE cc = ::GetModuleHandleW(L"comctl32.dll");
    ASSERT_NE(cc, nullptr);
    // Version 6 comes from the side-by-side store (Wine's copy reports 5.81 from DllGetVersion,
    // so the folder is the evidence).
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(cc, path, MAX_PATH);
    std::wstring p = path;
    for (auto& ch : p) ch = static_cast<wchar_t>(::towlower(ch));
    EXPECT_NE(p.find(L"winsxs"), std::wstring::npos) << std::string(p.begin(), p.end());
    EXPECT_NE(p.find(L"common-controls"), std::wstring::npos);
    EXPECT_NE(p.find(L"_6.0."), std::wstring::npos);
    // The declaration the programs carry (Wine calls every process DPI-aware, so the resource is
    // what is checked).
    HRSRC res = ::FindResourceW(nullptr, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_NE(res, nullptr);
    const char* text = static_cast<const char*>(::LockResource(::LoadResource(nullptr, res)));
    const std::string manifest(text, ::SizeofResource(nullptr, res));
    EXPECT_NE(manifest.find("<dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">PerMonitorV2"),
              std::string::npos);
    EXPECT_NE(manifest.find(">true/pm</dpiAware>"), std::string::npos);
}

TEST(Window, HoverAndDoubleClick) {
    auto f = CreateForm<TTestForm>();
    swt::test::ParkCursor();
    f->Show();
    std::vector<std::wstring> ev;
    auto named = [&](TControl* c, const wchar_t* name) {
        c->SetName(name);
        c->OnMouseEnter = [&](TControl& s) { ev.push_back(s.Name() + L" enter"); };
        c->OnMouseLeave = [&](TControl& s) { ev.push_back(s.Name() + L" leave"); };
        c->OnDblClick = [&](TControl& s) { ev.push_back(s.Name() + L" dblclick"); };
        c->OnClick = [&](TControl& s) { ev.push_back(s.Name() + L" click"); };
    };
    named(f->Panel2, L"Panel2");
    named(f->Image1, L"Image1");
    f->Image1->OnMouseMove = [&](TControl& s, TShiftState, int x, int y) {
        ev.push_back(L"Image1 move " + std::to_wstring(x) + L"," + std::to_wstring(y));
    };
    HWND header = f->Panel2->Handle();
    ::SendMessageW(header, WM_MOUSEMOVE, 0, MAKELPARAM(100, 10));
    ::SendMessageW(header, WM_MOUSEMOVE, 0, MAKELPARAM(285, 9));
    EXPECT_TRUE(f->Image1->MouseInControl());
    ::SendMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(285, 9));
    ::SendMessageW(header, WM_LBUTTONUP, 0, MAKELPARAM(285, 9));
    ::SendMessageW(header, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(285, 9));
    ::SendMessageW(header, WM_LBUTTONUP, 0, MAKELPARAM(285, 9));
    ::SendMessageW(header, WM_MOUSEMOVE, 0, MAKELPARAM(100, 10));
    ::SendMessageW(header, WM_MOUSELEAVE, 0, 0);
    const std::vector<std::wstring> expected = {
        L"Panel2 enter", L"Image1 enter",    L"Image1 move 2,2", L"Image1 click",
        L"Image1 dblclick", L"Image1 leave", L"Panel2 leave"};
    EXPECT_EQ(ev, expected);
    EXPECT_FALSE(f->Panel2->MouseInControl());
}

TEST(Window, PopupMenuOfNearestParentRunsTheChosenItem) {
    auto f = CreateForm<TTestForm>();
    f->Show();
    TImageList images;
    TBitmap pic(16, 16);
    for (COLORREF c : {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255)}) {
        pic.Fill(TRect{0, 0, 16, 16}, c);
        images.AddBitmap(pic);
    }
    EXPECT_EQ(images.Count(), 3);
    std::vector<std::wstring> ran;
    TAction kill(L"Killen", [&](TAction&) { ran.push_back(L"kill"); }, 0);
    TPopupMenu menu;
    menu.Images = &images;
    menu.Add(L"In den Vordergrund", [&](TMenuItem&) { ran.push_back(L"front"); }, 2);
    menu.AddAction(&kill);
    menu.AddSeparator();
    menu.Add(L"Beenden", [&](TMenuItem&) { ran.push_back(L"close"); }, 1);
    f->Panel2->SetPopupMenu(&menu);
    // The keys wait in the queue; the menu's own loop reads them once it is open.
    HWND header = f->Panel2->Handle();
    ::PostMessageW(header, WM_KEYDOWN, VK_DOWN, 0);
    ::PostMessageW(header, WM_KEYDOWN, VK_DOWN, 0);
    ::PostMessageW(header, WM_KEYDOWN, VK_RETURN, 0);
    ::SendMessageW(header, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(15, 10));
    ::SendMessageW(header, WM_RBUTTONUP, 0, MAKELPARAM(15, 10));
    EXPECT_EQ(ran, std::vector<std::wstring>{L"kill"});
    EXPECT_EQ(menu.PopupComponent(), f->Label1) << "opened over the header text";
    Application().ProcessMessages();
}

TEST(Window, ScalingToAnotherPixelDensity) {
    // Laid out and scaled without any window: a design at 96 ppi shown at 144 ppi (150 %).
    auto f = CreateForm<TTestForm>();
    ASSERT_FALSE(f->HandleAllocated());
    const int clientH = f->ClientHeight();
    f->ScaleBy(144, 96);
    EXPECT_FALSE(f->HandleAllocated());
    EXPECT_EQ(f->PixelsPerInch(), 144);
    EXPECT_EQ(f->Panel1->Width(), 470);  // 313 * 1.5 rounded
    EXPECT_EQ(f->ClientWidth(), 470);
    EXPECT_EQ(f->Panel2->Height(), 48);
    EXPECT_EQ(f->Label1->Margins().Left, 18);
    EXPECT_EQ(f->Label1->Left(), 18);
    EXPECT_EQ(f->Label1->Font().Height(), -29);
    EXPECT_EQ(f->Panel3->BorderWidth(), 8);
    EXPECT_EQ(f->PB->Height(), 23);
    EXPECT_EQ(f->Image1->Left(), 425);
    EXPECT_EQ(f->Image1->Width(), 19) << "pictures keep their pixels";
    EXPECT_GT(f->ClientHeight(), clientH * 14 / 10);
    EXPECT_EQ(f->ClientHeight(), f->Panel1->Height()) << "still sized to its content";
    EXPECT_EQ(f->Label2->Font().Height(), f->Font().Height()) << "parent-font text follows the form's scaled font";
    f->ScaleBy(96, 144);
    EXPECT_EQ(f->PixelsPerInch(), 96);
    EXPECT_EQ(f->Panel2->Height(), 32);
    EXPECT_EQ(f->ClientWidth(), 313);
    EXPECT_EQ(f->ClientHeight(), clientH);
}

namespace {
// A window in the shape of a list of rows: header, a box of rows, footer, sized to its content.
class TRowsForm : public TForm {
public:
    TRowsForm() : TForm(L"TRowsForm") {
        SetBorderStyle(TFormBorderStyle::bsDialog);
        SetBorderWidth(5);
        SetAutoSize(true);
        SetClientSize(470, 300);
        SetColor(clWindow);
        Header = Add<TPanel>();
        Header->SetAlign(TAlign::alTop);
        Header->SetHeight(81);
        Box = Add<TScrollBox>();
        Box->SetAlign(TAlign::alTop);
        Box->SetTop(100);
        Footer = Add<TPanel>();
        Footer->SetAlign(TAlign::alTop);
        Footer->SetTop(200);
        Footer->SetHeight(83);
    }
    TPanel* AddRow() {
        auto* row = Box->Add<TPanel>();
        row->SetBevelOuter(TBevelCut::bvNone);
        row->SetAlign(TAlign::alTop);
        row->SetTop(10000);  // below the rows already there
        row->SetHeight(62);
        auto* line = row->Add<TShape>();
        line->SetAlign(TAlign::alTop);
        line->SetHeight(1);
        line->SetPenColor(clSilver);
        line->SetBrushColor(clSilver);
        return row;
    }
    TPanel* Header;
    TScrollBox* Box;
    TPanel* Footer;
};
}  // namespace

TEST(Window, RowBoxGrowsAndShrinksWithoutScrolling) {
    auto f = CreateForm<TRowsForm>();
    f->Show();
    auto clientHeight = [&] {
        RECT r;
        ::GetClientRect(f->Handle(), &r);
        return static_cast<int>(r.bottom);
    };
    EXPECT_EQ(clientHeight(), 81 + 83);  // the border width of 5 lies outside the client area
    std::vector<TPanel*> rows;
    for (int n = 1; n <= 3; ++n) {
        rows.push_back(f->AddRow());
        EXPECT_EQ(clientHeight(), 81 + 62 * n + 83) << n << " rows";
    }
    EXPECT_EQ(f->Footer->Top(), 81 + 3 * 62);
    f->Box->RemoveControl(rows[1]);
    EXPECT_EQ(clientHeight(), 81 + 2 * 62 + 83);
    EXPECT_EQ(rows[2]->Top(), 62) << "the rows below move up";
    const LONG_PTR style = ::GetWindowLongPtrW(f->Box->Handle(), GWL_STYLE);
    EXPECT_FALSE(style & (WS_VSCROLL | WS_HSCROLL));
    EXPECT_TRUE(f->Box->DoubleBuffered());
    // The row's top line: silver, one pixel high, the row's colour below it.
    Application().ProcessMessages();
    Snapshot row(rows[2]->Handle());
    EXPECT_EQ(row.At(10, 0), RGB(192, 192, 192));
    EXPECT_EQ(row.At(10, 1), ::GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(::GetWindow(f->Handle(), GW_OWNER), Application().Handle());
}

TEST(Window, ShowWithOrWithoutActivation) {
    for (bool activate : {true, false}) {
        SCOPED_TRACE(activate);
        auto f = CreateForm<TTestForm>();
        f->ShowActivated = activate;
        f->Show();
        Application().ProcessMessages();
        EXPECT_TRUE(::IsWindowVisible(f->Handle()));
        EXPECT_EQ(::GetActiveWindow() == f->Handle(), activate);
        f->Hide();
        EXPECT_FALSE(::IsWindowVisible(f->Handle()));
    }
}

TEST(Window, HintTooltipAppearsWithItsLines) {
    auto f = CreateForm<TTestForm>();
    // Away from where the windows of other tests (run at the same time on the display) appear.
    f->SetBounds(800, 700, f->Width(), f->Height());
    f->Show();
    f->Panel2->SetHint(L"Verwendet\rC:\\a.dll\rC:\\b.dll");
    f->Panel2->SetShowHint(true);
    Application().ProcessMessages();
    // The tooltip checks the real cursor position when its delay has passed.
    const POINT p = f->Panel2->ClientToScreen(POINT{150, 10});
    ::SetCursorPos(p.x, p.y);
    HWND tip = nullptr;
    // One move, then the pause after which the hint shows.
    ::PostMessageW(f->Panel2->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(150, 10));
    for (int i = 0; i < 1000 && !tip; ++i) {
        Application().ProcessMessages();
        ::Sleep(10);
        ::EnumThreadWindows(
            ::GetCurrentThreadId(),
            [](HWND h, LPARAM out) noexcept -> BOOL {
                wchar_t cls[32] = {};
                ::GetClassNameW(h, cls, 32);
                if (_wcsicmp(cls, TOOLTIPS_CLASSW) == 0 && ::IsWindowVisible(h)) {
                    *reinterpret_cast<HWND*>(out) = h;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&tip));
    }
    ASSERT_NE(tip, nullptr) << "no tooltip shown";
    wchar_t text[256] = {};
    TTTOOLINFOW ti{};
    ti.cbSize = TTTOOLINFOW_V2_SIZE;
    ti.hwnd = f->Panel2->Handle();
    ti.uId = 1;
    ti.lpszText = text;
    ::SendMessageW(tip, TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&ti));
    EXPECT_STREQ(text, L"Verwendet\r\nC:\\a.dll\r\nC:\\b.dll");
    RECT r;
    ::GetWindowRect(tip, &r);
    EXPECT_GT(r.bottom - r.top, 30) << "three lines";
}

TEST(Window, MainFormCarriesTheTaskbarWindowAndEndsTheLoop) {
    Application().SetTitle(L"Beenden");
    auto* f = Application().CreateForm<TTestForm>();
    ASSERT_EQ(Application().MainForm(), f);
    HWND app = Application().Handle();
    wchar_t title[32] = {};
    ::GetWindowTextW(app, title, 32);
    EXPECT_STREQ(title, L"Beenden");
    int shownWithTaskbar = -1;
    f->OnShow = [&](TForm&) { shownWithTaskbar = ::IsWindowVisible(app) ? 1 : 0; };
    f->allowClose = true;
    ::PostMessageW(f->Handle(), WM_CLOSE, 0, 0);
    Application().Run();  // shows the main form; the close ends the loop
    EXPECT_EQ(shownWithTaskbar, 1) << "the show hook sees the taskbar window (and may hide it)";
    EXPECT_TRUE(Application().Terminated());
    EXPECT_FALSE(::IsWindowVisible(f->Handle()));
    EXPECT_FALSE(::IsWindowVisible(app));
}
