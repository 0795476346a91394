#include "ui/Form.h"

#include "ui/Application.h"

namespace swt {

TForm::TForm(std::wstring windowClassName) : className_(std::move(windowClassName)) {
    // The constructor of the concrete form builds the design; it is laid out once afterwards.
    DisableAlign();
    TControl::SetVisible(false);
    SetParentFont(false);  // a form has its own font
    SetClientSize(320, 240);
}

TForm::~TForm() {
    Application().FormDestroyed(this);
    if (HandleAllocated()) ::ShowWindow(hwnd_, SW_HIDE);
    // The controls go first: they may point at the owned objects.
    DestroyControls();
    while (!owned_.empty()) owned_.pop_back();
}

bool TForm::Release(const void* obj) {
    for (auto it = owned_.begin(); it != owned_.end(); ++it) {
        if (it->get() != obj) continue;
        // Out of the list before it is destroyed, so that its destructor sees a consistent list.
        std::shared_ptr<void> gone = std::move(*it);
        owned_.erase(it);
        return true;
    }
    return false;
}

void TForm::AfterConstruction() {
    if (created_) return;
    created_ = true;
    if (Scaled && ScreenPixelsPerInch() != pixelsPerInch_) ScaleBy(ScreenPixelsPerInch(), pixelsPerInch_);
    EnableAlign();
    Realign();
    Loaded();
    FormCreate();
    if (OnCreate) OnCreate(*this);
}

void TForm::ScaleBy(int M, int D) {
    if (M == D || D <= 0 || M <= 0) return;
    TAlignBatch batch(*this);
    ChangeScale(M, D);
}

void TForm::ChangeScale(int M, int D) {
    // The form keeps its place; its client area, frame width, font and children scale.
    const int cw = ::MulDiv(clientW_, M, D), ch = ::MulDiv(clientH_, M, D);
    if (!ParentFont()) Font().SetHeight(::MulDiv(Font().Height(), M, D));
    ChangeScaleInside(M, D);
    SetClientSize(cw, ch);
    pixelsPerInch_ = ::MulDiv(pixelsPerInch_, M, D);
}

void TForm::SetCaption(const std::wstring& c) {
    if (c == caption_) return;
    caption_ = c;
    if (HandleAllocated()) ::SetWindowTextW(hwnd_, caption_.c_str());
}

void TForm::SetBorderStyle(TFormBorderStyle s) {
    if (s == borderStyle_) return;
    borderStyle_ = s;
    if (HandleAllocated()) {
        TCreateParams p;
        CreateParams(p);
        ::SetWindowLongPtrW(hwnd_, GWL_STYLE, static_cast<LONG_PTR>(p.Style | (::IsWindowVisible(hwnd_) ? WS_VISIBLE : 0)));
        ::SetWindowLongPtrW(hwnd_, GWL_EXSTYLE, static_cast<LONG_PTR>(p.ExStyle));
    }
    SetClientSize(clientW_, clientH_);
    UpdateWindowBounds();
}

void TForm::SetFormStyle(TFormStyle s) {
    if (s == formStyle_) return;
    formStyle_ = s;
    if (HandleAllocated())
        ::SetWindowPos(hwnd_, s == TFormStyle::fsStayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                       SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TForm::CreateParams(TCreateParams& p) {
    p.ClassName = className_;
    p.Caption = caption_;
    p.ExStyle = 0;
    switch (borderStyle_) {
    case TFormBorderStyle::bsNone:
        p.Style = WS_POPUP;
        break;
    case TFormBorderStyle::bsSingle:
        p.Style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_BORDER;
        break;
    case TFormBorderStyle::bsSizeable:
        p.Style = WS_OVERLAPPEDWINDOW;
        break;
    case TFormBorderStyle::bsDialog:
        p.Style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
        p.ExStyle = WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
        break;
    case TFormBorderStyle::bsToolWindow:
        p.Style = WS_CAPTION | WS_SYSMENU;
        p.ExStyle = WS_EX_TOOLWINDOW;
        break;
    case TFormBorderStyle::bsSizeToolWin:
        p.Style = WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;
        p.ExStyle = WS_EX_TOOLWINDOW;
        break;
    }
    p.Style |= WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    if (formStyle_ == TFormStyle::fsStayOnTop) p.ExStyle |= WS_EX_TOPMOST;
    if (position_ == TPosition::poDefault) {
        p.X = p.Y = CW_USEDEFAULT;
    } else {
        p.X = Left();
        p.Y = Top();
    }
    p.Width = Width();
    p.Height = Height();
    // Owned by the application's hidden window: no taskbar button of its own.
    p.Parent = Application().Handle();
}

void TForm::WindowSizeFromClient(int& w, int& h) const {
    TCreateParams p;
    const_cast<TForm*>(this)->CreateParams(p);
    RECT r{0, 0, w, h};
    ::AdjustWindowRectEx(&r, p.Style, FALSE, p.ExStyle);
    w = r.right - r.left + 2 * BorderWidth();
    h = r.bottom - r.top + 2 * BorderWidth();
}

void TForm::SetClientSize(int width, int height) {
    clientW_ = std::max(0, width);
    clientH_ = std::max(0, height);
    int w = clientW_, h = clientH_;
    WindowSizeFromClient(w, h);
    const TRect r = TRect::Bounds(Left(), Top(), w, h);
    if (!(r == bounds_)) {
        bounds_ = r;
        UpdateWindowBounds();
    }
    RequestLayout();
}

void TForm::BoundsChanged(const TRect& old) {
    // The window size was set: the client size follows it.
    int fw = 0, fh = 0;
    WindowSizeFromClient(fw, fh);
    clientW_ = std::max(0, Width() - fw);
    clientH_ = std::max(0, Height() - fh);
    UpdateWindowBounds();
}

void TForm::UpdateWindowBounds() {
    if (!HandleAllocated()) return;
    syncing_ = true;
    ::SetWindowPos(hwnd_, nullptr, Left(), Top(), Width(), Height(), SWP_NOZORDER | SWP_NOACTIVATE);
    syncing_ = false;
}

void TForm::Realign() {
    if (!created_) return;  // laid out once the constructor has finished
    TWinControl::Realign();
}

TRect TForm::WorkArea() const {
    const RECT r{bounds_.Left, bounds_.Top, bounds_.Right, bounds_.Bottom};
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    if (!::GetMonitorInfoW(::MonitorFromRect(&r, MONITOR_DEFAULTTONEAREST), &mi)) return TRect{};
    return TRect{mi.rcWork.left, mi.rcWork.top, mi.rcWork.right, mi.rcWork.bottom};
}

void TForm::BuildLayoutNode(TLayoutNode& n) {
    TWinControl::BuildLayoutNode(n);
    n.Align = TAlign::alNone;
    n.Bounds = TRect{0, 0, clientW_ + 2 * BorderWidth(), clientH_ + 2 * BorderWidth()};
    n.Visible = true;
    // A form that sizes itself never grows past the work area of its monitor: the frame and
    // caption take their part of it (the node counts the border, not the frame).
    if (AutoSize()) {
        const TRect work = WorkArea();
        int fw = 0, fh = 0;
        WindowSizeFromClient(fw, fh);
        if (work.Height() > 0) n.MaxHeight = std::max(1, work.Height() - (fh - 2 * BorderWidth()));
    }
}

void TForm::ApplyLayoutNode(const TLayoutNode& n) {
    const int cw = n.Bounds.Width() - 2 * BorderWidth(), ch = n.Bounds.Height() - 2 * BorderWidth();
    clientW_ = cw;
    clientH_ = ch;
    int w = clientW_, h = clientH_;
    WindowSizeFromClient(w, h);
    if (w != Width() || h != Height()) {
        bounds_ = TRect::Bounds(Left(), Top(), w, h);
        // Grown past the work area's bottom or right edge: moved back inside.
        if (AutoSize()) {
            const TRect work = WorkArea();
            if (work.Height() > 0) bounds_ = KeepInWorkArea(work, bounds_);
        }
        UpdateWindowBounds();
    }
    for (int i = 0; i < ControlCount() && i < static_cast<int>(n.Children.size()); ++i)
        Controls(i)->ApplyLayoutNode(n.Children[static_cast<size_t>(i)]);
}

void TForm::ApplyPosition() {
    if (position_ != TPosition::poScreenCenter) return;
    HMONITOR mon = ::MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    if (!::GetMonitorInfoW(mon, &mi)) return;
    const RECT& wa = mi.rcWork;
    SetBounds(wa.left + (wa.right - wa.left - Width()) / 2, wa.top + (wa.bottom - wa.top - Height()) / 2, Width(),
              Height());
}

void TForm::SetVisible(bool v) {
    if (!created_) AfterConstruction();
    if (v) {
        Handle();
        if (!TControl::Visible()) {
            // The flag first, so that a layout inside the show hooks sees a visible form.
            TControl::SetVisible(true);
            ApplyPosition();
            if (Application().MainForm() == this && Application().MainFormOnTaskBar)
                Application().ShowTaskbarWindow(true);
            FormShow();
            if (OnShow) OnShow(*this);
        }
        if (HandleAllocated() && !::IsWindowVisible(hwnd_)) {
            ::SetWindowPos(hwnd_, formStyle_ == TFormStyle::fsStayOnTop ? HWND_TOPMOST : HWND_TOP, 0, 0, 0, 0,
                           SWP_NOMOVE | SWP_NOSIZE | (ShowActivated ? 0 : SWP_NOACTIVATE));
            ::ShowWindow(hwnd_, ShowActivated ? SW_SHOW : SW_SHOWNA);
            ::UpdateWindow(hwnd_);
        }
    } else {
        if (!TControl::Visible()) return;
        TControl::SetVisible(false);
        if (HandleAllocated()) ::ShowWindow(hwnd_, SW_HIDE);
        FormHide();
        if (OnHide) OnHide(*this);
        if (Application().MainForm() == this) Application().ShowTaskbarWindow(false);
    }
}

bool TForm::CloseQuery() {
    bool canClose = true;
    FormCloseQuery(canClose);
    if (canClose && OnCloseQuery) OnCloseQuery(*this, canClose);
    return canClose;
}

void TForm::Close() {
    if (!CloseQuery()) return;
    TCloseAction action = Application().MainForm() == this ? TCloseAction::caFree : TCloseAction::caHide;
    FormClose(action);
    if (OnClose) OnClose(*this, action);
    switch (action) {
    case TCloseAction::caNone:
        return;
    case TCloseAction::caMinimize:
        if (HandleAllocated()) ::ShowWindow(hwnd_, SW_MINIMIZE);
        return;
    case TCloseAction::caHide:
    case TCloseAction::caFree:
        Hide();
        break;
    }
    if (Application().MainForm() == this) Application().Terminate();
}

void TForm::BringToFront() {
    if (!HandleAllocated()) return;
    ::SetWindowPos(hwnd_, formStyle_ == TFormStyle::fsStayOnTop ? HWND_TOPMOST : HWND_TOP, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

LRESULT TForm::WndProc(UINT msg, WPARAM w, LPARAM l) {
    switch (msg) {
    case WM_CLOSE:
        Close();
        return 0;
    case 0x02E0: {  // WM_DPICHANGED: moved to a monitor with another scale
        const int dpi = HIWORD(w);
        const int old = pixelsPerInch_;
        if (Scaled && dpi > 0 && dpi != pixelsPerInch_) ScaleBy(dpi, pixelsPerInch_);
        const RECT* suggested = reinterpret_cast<const RECT*>(l);
        if (suggested) SetBounds(suggested->left, suggested->top, Width(), Height());
        if (dpi > 0 && dpi != old) NotifyDpiChanged(old, dpi);
        return 0;
    }
    case WM_WINDOWPOSCHANGED: {
        const LRESULT r = TWinControl::WndProc(msg, w, l);
        if (!syncing_) {
            RECT wr, cr;
            ::GetWindowRect(hwnd_, &wr);
            ::GetClientRect(hwnd_, &cr);
            bounds_ = TRect{wr.left, wr.top, wr.right, wr.bottom};
            if (cr.right != clientW_ || cr.bottom != clientH_) {
                if (!::IsIconic(hwnd_)) {
                    clientW_ = cr.right;
                    clientH_ = cr.bottom;
                    RequestLayout();
                }
            }
        }
        return r;
    }
    }
    return TWinControl::WndProc(msg, w, l);
}

}  // namespace swt
