#include "ui/Timer.h"

#include "ui/Application.h"
#include "ui/WindowClass.h"

namespace swt {

namespace {
constexpr const wchar_t* kTimerClass = L"SwtTimer";
}

TTimer::TTimer() {
    RegisterWindowClass(TWindowClass{kTimerClass, &TTimer::WndProc});
    window_.reset(::CreateWindowExW(0, kTimerClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    ::GetModuleHandleW(nullptr), nullptr));
    if (window_) ::SetWindowLongPtrW(window_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    Update();
}

TTimer::~TTimer() {
    if (window_) {
        ::KillTimer(window_.get(), 1);
        ::SetWindowLongPtrW(window_.get(), GWLP_USERDATA, 0);
    }
}

void TTimer::SetInterval(unsigned ms) {
    if (ms == interval_) return;
    interval_ = ms;
    Update();
}

void TTimer::SetEnabled(bool v) {
    if (v == enabled_) return;
    enabled_ = v;
    Update();
}

void TTimer::Update() {
    if (!window_) return;
    ::KillTimer(window_.get(), 1);
    if (enabled_ && interval_ > 0) ::SetTimer(window_.get(), 1, interval_, nullptr);
}

LRESULT CALLBACK TTimer::WndProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
    if (msg == WM_TIMER) {
        auto* self = reinterpret_cast<TTimer*>(::GetWindowLongPtrW(h, GWLP_USERDATA));
        if (self && self->enabled_ && self->OnTimer) {
            try {
                self->OnTimer(*self);
            } catch (...) {
                Application().HandleException(std::current_exception());
            }
        }
        return 0;
    }
    return ::DefWindowProcW(h, msg, w, l);
}

}  // namespace swt
