#include "terminator/KillForm.h"

#include <utility>

#include "support/FontGuideline.h"
#include "support/LibraryStartup.h"
#include "terminator/CloseGlyph.h"
#include "terminator/DropShadow.h"
#include "terminator/ProcessWatch.h"
#include "terminator/StartMonitor.h"
#include "ui/Application.h"
#include "ui/Image.h"
#include "ui/Label.h"
#include "ui/Panel.h"
#include "ui/ProgressBar.h"

namespace swt {

TKillFrm* KillFrm = nullptr;

namespace {
void SetFont(TControl& c, const wchar_t* face, int height, TFontStyles style, TColor color) {
    TFont& f = c.Font();
    f.SetName(face);
    f.SetHeight(height);
    f.SetStyle(style);
    f.SetColor(color);
}
}  // namespace

TKillFrm::TKillFrm(const TWatchedProcess& process) : TForm(kWindowClass), process_(process) {
    SetName(L"KillFrm");
    SetCaption(kCaption);
    SetBorderStyle(TFormBorderStyle::bsNone);
    SetFormStyle(TFormStyle::fsStayOnTop);
    SetPosition(TPosition::poDesigned);
    SetAutoSize(true);
    SetClientSize(313, 123);
    SetBorderWidth(1);
    SetColor(clGray);
    SetFont(*this, L"MS Sans Serif", -11, 0, clWindowText);

    Panel1 = Add<TPanel>();
    Panel1->SetName(L"Panel1");
    Panel1->SetBounds(0, 0, 313, 123);
    Panel1->SetAutoSize(true);
    Panel1->SetBevelOuter(TBevelCut::bvNone);
    SetFont(*Panel1, L"Tahoma", -19, fsBold, clWindowText);

    Panel2 = Panel1->Add<TPanel>();
    Panel2->SetName(L"Panel2");
    Panel2->SetAlign(TAlign::alTop);
    Panel2->SetBounds(0, 0, 313, 32);
    Panel2->SetBevelOuter(TBevelCut::bvNone);
    Panel2->SetColor(clActiveCaption);
    Panel2->OnMouseDown = [this](TControl& s, TMouseButton b, TShiftState sh, int x, int y) {
        Panel2MouseDown(s, b, sh, x, y);
    };

    Label1 = Panel2->Add<TLabel>();
    Label1->SetName(L"Label1");
    Label1->SetAlign(TAlign::alLeft);
    Label1->SetMargins(12, 0, 0, 3);
    Label1->SetBounds(12, 0, 50, 29);
    Label1->SetTransparent(true);
    Label1->SetLayout(TTextLayout::tlCenter);
    SetFont(*Label1, L"Tahoma", -19, fsBold, clWhite);
    Label1->SetCaption(kHeaderText);
    Label1->OnMouseDown = Panel2->OnMouseDown;

    Image1 = Panel2->Add<TImage>();
    Image1->SetName(L"Image1");
    Image1->SetBounds(283, 7, kCloseGlyphSize, kCloseGlyphSize);
    Image1->SetAutoSize(true);
    {
        TBitmap& picture = Image1->Picture();
        picture.SetSize(kCloseGlyphSize, kCloseGlyphSize);
        const CloseGlyphPixels pixels = DrawCloseGlyph();
        for (int y = 0; y < kCloseGlyphSize; ++y)
            for (int x = 0; x < kCloseGlyphSize; ++x) picture.SetPixel(x, y, GlyphPixel(pixels, x, y));
        picture.SetTransparentColor(clDefault);  // the bottom-left pixel: magenta
        picture.SetTransparent(true);
        picture.Changed();
    }
    // The Ctrl key belongs to the click: what its own mouse messages carried when they arrived,
    // not the key's state whenever the loop gets round to them. Held at the press or at the
    // release, it makes the click leave the process alone.
    Image1->OnMouseDown = [this](TControl&, TMouseButton button, TShiftState shift, int, int) {
        if (button == TMouseButton::mbLeft) clickWithCtrl_ = (shift & ssCtrl) != 0;
    };
    Image1->OnMouseUp = [this](TControl&, TMouseButton button, TShiftState shift, int, int) {
        if (button == TMouseButton::mbLeft && (shift & ssCtrl)) clickWithCtrl_ = true;
    };
    Image1->OnClick = [this](TControl& s) { Image1Click(s); };

    Panel3 = Panel1->Add<TPanel>();
    Panel3->SetName(L"Panel3");
    Panel3->SetAlign(TAlign::alTop);
    Panel3->SetBounds(0, 32, 313, 91);
    Panel3->SetAutoSize(true);
    Panel3->SetBevelOuter(TBevelCut::bvNone);
    Panel3->SetBorderWidth(5);
    Panel3->SetColor(clWhite);

    Label2 = Panel3->Add<TLabel>();
    Label2->SetName(L"Label2");
    Label2->SetAlign(TAlign::alTop);
    Label2->SetMargins(6, 3, 6, 3);
    Label2->SetAutoSize(false);
    Label2->SetBounds(6, 3, 291, 32);
    SetFont(*Label2, L"Tahoma", -11, 0, clWindowText);
    Label2->SetCaption(kBodyText);

    PB = Panel3->Add<TProgressBar>();
    PB->SetName(L"PB");
    PB->SetAlign(TAlign::alTop);
    PB->SetMargins(6, 3, 6, 3);
    PB->SetBounds(6, 41, 291, 15);
    PB->OnMouseDown = [this](TControl& s, TMouseButton b, TShiftState sh, int x, int y) { PBMouseDown(s, b, sh, x, y); };

    Panel4 = Panel3->Add<TPanel>();
    Panel4->SetName(L"Panel4");
    Panel4->SetAlign(TAlign::alTop);
    Panel4->SetMargins(6, 3, 6, 3);
    Panel4->SetBounds(6, 62, 291, 2);
    Panel4->SetBevelOuter(TBevelCut::bvLowered);

    Label3 = Panel3->Add<TLabel>();
    Label3->SetName(L"Label3");
    Label3->SetAlign(TAlign::alTop);
    Label3->SetMargins(6, 3, 6, 1);
    Label3->SetBounds(6, 70, 291, 13);
    SetFont(*Label3, L"Tahoma", -11, 0, clWindowText);
    Label3->SetCaption(L".");
}

void TKillFrm::CreateParams(TCreateParams& p) {
    TForm::CreateParams(p);
    p.ClassStyle = KillFrmClassStyle(p.ClassStyle);
}

void TKillFrm::Loaded() {
    TForm::Loaded();
    // Face and quality come from the application parameters.
    ApplyFontGuideline(this, L"", -1);
}

void TKillFrm::FormCreate() {
    Application().SetTitle(L"Beenden");
    CanRealClose = false;
}

void TKillFrm::FormCloseQuery(bool& canClose) { canClose = CanRealClose; }

LRESULT TKillFrm::WndProc(UINT msg, WPARAM w, LPARAM l) {
    // The query is answered yes (the default); only the end itself, once it is certain, removes
    // the folder. The window gets both also while hidden.
    if (msg == WM_ENDSESSION && w) SessionEndCleanup();
    return TForm::WndProc(msg, w, l);
}

void TKillFrm::Panel2MouseDown(TControl&, TMouseButton button, TShiftState, int, int) {
    if (button != TMouseButton::mbLeft) return;
    // Grabbing the header drags the window like a caption bar.
    ::ReleaseCapture();
    ::SendMessageW(Handle(), WM_SYSCOMMAND, SC_MOVE | HTCAPTION, 0);  // own window
}

void TKillFrm::PBMouseDown(TControl&, TMouseButton, TShiftState, int, int) { StartTime += MaxTime(); }

void TKillFrm::Image1Click(TControl&) {
    if (std::exchange(clickWithCtrl_, false)) {
        // Leave without touching the process.
        RequestEnd();
        return;
    }
    CanRealClose = true;
    process_.Terminate();
    Hide();
}

bool TKillFrm::IsShown() const { return Visible(); }

void TKillFrm::RepaintNow() { Repaint(); }

void TKillFrm::ProcessMessages() { Application().ProcessMessages(); }

void TKillFrm::SetProgressRange(int minimum, int maximum) { PB->SetRange(minimum, maximum); }

void TKillFrm::SetProgress(int position) { PB->SetPosition(position); }

void TKillFrm::SetDisplayName(const std::wstring& name) { Label1->SetCaption(name); }

void TKillFrm::SetCountdownText(const std::wstring& text) { Label3->SetCaption(text); }

void TKillFrm::ShowCentredOn(const RECT& bounds) {
    SetPosition(TPosition::poDesigned);
    const POINT at = CentreOnBounds(bounds, SIZE{Width(), Height()});
    SetBounds(at.x, at.y, Width(), Height());
    Show();
}

}  // namespace swt
