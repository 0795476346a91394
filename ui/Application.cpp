#include "ui/Application.h"

#include <commctrl.h>

#include "base/AnsiText.h"
#include "base/Error.h"
#include "ui/WindowClass.h"

namespace swt {

namespace {

constexpr const wchar_t* kApplicationClass = L"SwtApplication";

LRESULT CALLBACK AppWndProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
    try {
        switch (msg) {
        case WM_CLOSE:
            // Closing the taskbar button closes the main form (which may refuse).
            if (TForm* f = Application().MainForm()) f->Close();
            return 0;
        case WM_SYSCOMMAND:
            if ((w & 0xFFF0) == SC_CLOSE) {
                if (TForm* f = Application().MainForm()) f->Close();
                return 0;
            }
            break;
        }
    } catch (...) {
        Application().HandleException(std::current_exception());
        return 0;
    }
    return ::DefWindowProcW(h, msg, w, l);
}

bool IsMouseMessage(UINT m) { return m >= WM_MOUSEFIRST && m <= WM_MOUSELAST; }

}  // namespace

TApplication& Application() {
    // Never destroyed: controls may outlive any static destruction order.
    static TApplication* app = new TApplication;
    return *app;
}

TApplication::TApplication() = default;
TApplication::~TApplication() = default;

void TApplication::Initialize() {
    if (initialized_) return;
    initialized_ = true;
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&icc);
    RegisterWindowClass(TWindowClass{kApplicationClass, &AppWndProc, 0, nullptr,
                                     ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1))});
    handle_ = ::CreateWindowExW(0, kApplicationClass, title_.c_str(),
                                WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPSIBLINGS, 0, 0, 0, 0,
                                nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
}

HWND TApplication::Handle() {
    Initialize();
    return handle_;
}

void TApplication::SetTitle(const std::wstring& t) {
    title_ = t;
    if (handle_) ::SetWindowTextW(handle_, title_.c_str());
}

void TApplication::ShowTaskbarWindow(bool show) {
    HWND h = Handle();
    if (!h) return;
    if (show)
        ::SetWindowPos(h, nullptr, 0, 0, 0, 0, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    else
        ::ShowWindow(h, SW_HIDE);
}

void TApplication::Run() {
    Initialize();
    if (mainForm_ && ShowMainForm) mainForm_->Show();
    while (!terminated_ && HandleMessage()) {
    }
}

bool TApplication::HandleMessage() {
    MSG msg;
    const BOOL r = ::GetMessageW(&msg, nullptr, 0, 0);
    if (r == 0 || r == -1) {
        terminated_ = true;
        return false;
    }
    ProcessMessage(msg);
    return true;
}

void TApplication::ProcessMessages() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            terminated_ = true;
            break;
        }
        ProcessMessage(msg);
    }
}

bool TApplication::ProcessMessage(MSG& msg) {
    try {
        if (IsMouseMessage(msg.message)) HintMouseMessage(msg);
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    } catch (...) {
        HandleException(std::current_exception());
    }
    return true;
}

void TApplication::Terminate() {
    if (terminated_) return;
    terminated_ = true;
    ::PostQuitMessage(0);
}

std::wstring TApplication::ExceptionText(std::exception_ptr e) {
    try {
        std::rethrow_exception(e);
    } catch (const Error& err) {
        return err.message();
    } catch (const std::exception& ex) {
        return FromUtf8OrAnsi(ex.what() ? ex.what() : "");
    } catch (...) {
        return L"Unbekannter Fehler";
    }
}

void TApplication::HandleException(std::exception_ptr e) noexcept {
    if (!e) return;
    // Called from the boundaries' handlers, so nothing may leave it: a display that fails itself
    // (its text included) shows nothing more.
    try {
        const std::wstring text = ExceptionText(e);
        if (OnException)
            OnException(text);
        else
            ShowException(text);
    } catch (...) {
    }
}

void TApplication::ShowException(const std::wstring& text) {
    HWND owner = ::GetActiveWindow();
    if (!owner && mainForm_ && mainForm_->HandleAllocated() && ::IsWindowVisible(mainForm_->Handle()))
        owner = mainForm_->Handle();
    if (!owner) owner = Handle();
    ::MessageBoxW(owner, text.c_str(), title_.c_str(), MB_OK | MB_ICONSTOP);
}

void TApplication::ControlDestroyed(TControl* c) {
    if (c == hintControl_) CancelHint();
}

void TApplication::FormDestroyed(TForm* f) {
    if (f == mainForm_) mainForm_ = nullptr;
}

}  // namespace swt
