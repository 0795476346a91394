#include "updater/UpdateForm.h"

#include "base/Error.h"
#include "ui/Application.h"
#include "ui/Panel.h"
#include "ui/ScrollBox.h"
#include "updater/ProcessFrame.h"
#include "updater/StatusImages.h"
#include "components/kx_taskbutton.h"

namespace swt {

TRect UpdateWindowBounds(const TRect& work, TSize size) {
    if (work.Width() <= 0 || work.Height() <= 0)
        return TRect::Bounds(TForm1::kDesignedLeft, TForm1::kDesignedTop, size.cx, size.cy);
    return KeepInWorkArea(work, TRect::Bounds(work.Left + 16, work.Top + 16, size.cx, size.cy));
}

TRect UpdateWindowPlace(HWND foreground, TSize size) {
    TRect work{};
    if (foreground) {
        MONITORINFO info{};
        info.cbSize = sizeof info;
        if (::GetMonitorInfoW(::MonitorFromWindow(foreground, MONITOR_DEFAULTTONEAREST), &info))
            work = TRect{info.rcWork.left, info.rcWork.top, info.rcWork.right, info.rcWork.bottom};
    }
    return UpdateWindowBounds(work, size);
}

TForm1::TForm1(std::vector<std::wstring> args) : TForm(kWindowClass), Run(std::move(args), this) {
    SetName(L"Form1");
    SetCaption(kCaption);
    SetBorderStyle(TFormBorderStyle::bsDialog);
    SetFormStyle(TFormStyle::fsStayOnTop);
    SetPosition(TPosition::poDesigned);
    SetBorderWidth(5);
    SetColor(clWindow);
    Font().SetName(L"Tahoma");
    Font().SetHeight(-11);
    SetBounds(kDesignedLeft, kDesignedTop, 480, 300);
    SetClientWidth(470);
    SetAutoSize(true);

    Timer1.SetInterval(500);
    Timer1.OnTimer = [this](TTimer&) { Timer1Timer(); };
    Timer1.SetEnabled(true);

    for (TStatusImage image : {siKill, siClose, siForeground}) ImageListStatus.AddIcon(StatusImageIcon(image).get());

    UpdateFiles = TAction(L"UpdateFiles", [this](TAction&) { Run.UpdateFilesExecute(); });
    CloseProgramm = TAction(L"CloseProgramm", [this](TAction&) { Run.CloseProgrammExecute(); });
    StartProgramm = TAction(L"StartProgramm", [this](TAction&) { Run.StartProgrammExecute(); });
    ActionAlleBeenden = TAction(L"Alle Beenden", [this](TAction&) { Run.ActionAlleBeendenExecute(); });
}

TForm1::~TForm1() { Timer1.SetEnabled(false); }

void TForm1::CreateParams(TCreateParams& p) { TForm::CreateParams(p); }

void TForm1::Loaded() {
    TForm::Loaded();
    {
        // Header and footer measure once each, with everything set, when the batch ends.
        TAlignBatch batch(*this);
        kx_TaskButton1 = Add<Tkx_TaskButton>();
        kx_TaskButton1->SetName(L"kx_TaskButton1");
        kx_TaskButton1->SetAlign(TAlign::alTop);
        kx_TaskButton1->SetBounds(0, 0, 470, 81);
        kx_TaskButton1->SetCaption(kHeaderCaption);
        kx_TaskButton1->SetCaptionDescription(kHeaderDescription);
        kx_TaskButton1->SetDrawHighlightBackground(false);
        kx_TaskButton1->FontColor = clDefault;
        kx_TaskButton1->SetImageIndex(0);
        kx_TaskButton1->SetAutoHeight(true);

        // Top-aligned controls stack in the order they are made: header, rows, footer.
        ScrollBox1 = Add<TScrollBox>();
        ScrollBox1->SetName(L"ScrollBox1");
        ScrollBox1->SetAlign(TAlign::alTop);
        ScrollBox1->SetBounds(0, 81, 470, 51);

        kx_TaskButton2 = Add<Tkx_TaskButton>();
        kx_TaskButton2->SetName(L"kx_TaskButton2");
        kx_TaskButton2->SetAlign(TAlign::alTop);
        kx_TaskButton2->SetBounds(0, 132, 470, 83);
        kx_TaskButton2->SetCaptionDescription(kFooterDescription);
        kx_TaskButton2->SetDrawHighlightBackground(true);
        kx_TaskButton2->FontColor = clDefault;
        kx_TaskButton2->SetImageIndex(0);
        kx_TaskButton2->SetLinks({L"aktualisieren", L"Alle beenden"});
        kx_TaskButton2->SetLinkStyle(tkx_LinkEnumeration::kx_LinkEnumeration_enumeration);
        kx_TaskButton2->SetAutoHeight(true);
        kx_TaskButton2->OnLinkClick = [this](Tkx_TaskButton&, int index) { kx_TaskButton2LinkClick(index); };
    }

    SetClientWidth(470);
    Realign();

    const TRect at = UpdateWindowPlace(::GetForegroundWindow(), TSize{Width(), Height()});
    SetBounds(at.Left, at.Top, at.Width(), at.Height());
}

void TForm1::FormCreate() {
    Application().SetTitle(kCaption);
    Run.FormCreate();
}

LRESULT TForm1::WndProc(UINT msg, WPARAM w, LPARAM l) {
    // The pass's lock scan has finished on its thread.
    if (msg == TScanThread::kScanDone) {
        Run.ScanArrived();
        return 0;
    }
    // The next slice of a pass's copies.
    if (msg == TUpdateRun::kCopiesGoOn) {
        Run.CopiesGoOn();
        return 0;
    }
    // The wheel turned over the header, the footer or a row that left it to its parent: the rows
    // scroll.
    if (msg == WM_MOUSEWHEEL && ScrollBox1 && ScrollBox1->Scrolling()) {
        ScrollBox1->ScrollByWheel(GET_WHEEL_DELTA_WPARAM(w));
        return 0;
    }
    return TForm::WndProc(msg, w, l);
}

void TForm1::FormShow() { Application().ShowTaskbarWindow(false); }

void TForm1::FormCloseQuery(bool& canClose) { canClose = true; }

void TForm1::FormClose(TCloseAction& action) { Run.FormClose(); }

bool TForm1::WindowVisible() { return Visible(); }

void TForm1::HideWindow() { Hide(); }

void TForm1::CloseWindow() { Close(); }

void TForm1::ProcessMessages() { Application().ProcessMessages(); }

void TForm1::StopTimer() { Timer1.SetEnabled(false); }

void TForm1::StartTimer(unsigned ms) {
    Timer1.SetEnabled(false);
    Timer1.SetInterval(ms);
    Timer1.SetEnabled(true);
}

void TForm1::BeginRowUpdate() { rowBatch_.emplace(*this); }

void TForm1::EndRowUpdate() {
    rowBatch_.reset();
    // Painted from the paint messages, window by window, so that the thread handles what else
    // comes between them.
    Invalidate();
}

std::unique_ptr<TProcessRowView> TForm1::CreateRow(TProcessItem& item) noexcept {
    // The row's set-up is a side operation with its boundary here: a row that cannot be made is
    // left out, and one half made is taken off the screen again.
    try {
        auto view = std::make_unique<TProcessFrameRow>(*ScrollBox1, item, &ImageListStatus);
        if (HandleAllocated()) {
            view->Frame()->Handle();
            // Painted once, with the others, at the end of the row update (EndRowUpdate).
            Invalidate();
        }
        return view;
    } catch (...) {
        return nullptr;
    }
}

void TForm1::RowRemoved() {
    // Laid out and painted when the row update ends.
    RequestLayout();
    Invalidate();
}

void TForm1::ReturnToFront() {
    if (HandleAllocated()) ::SetForegroundWindow(Handle());
}

HWND TForm1::ScanWindow() { return HandleAllocated() ? Handle() : nullptr; }

void TForm1::ShowError(const std::wstring& text) {
    Application().HandleException(std::make_exception_ptr(Error(text)));
}

void TForm1::ShowHolderNotFound(bool notFound) {
    if (!kx_TaskButton1) return;
    // The button lays itself out again only when the text changes.
    kx_TaskButton1->SetCaptionDescription(notFound ? kHeaderHolderNotFound : kHeaderDescription);
}

}  // namespace swt
