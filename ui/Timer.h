// TTimer: a message-loop timer (WM_TIMER on a hidden window of its own).
#pragma once
#include <windows.h>
#include <functional>

#include "base/UniqueHandle.h"

namespace swt {

class TTimer {
public:
    TTimer();
    ~TTimer();
    TTimer(const TTimer&) = delete;
    TTimer& operator=(const TTimer&) = delete;

    unsigned Interval() const { return interval_; }
    void SetInterval(unsigned ms);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool v);
    // Runs inside the message loop; an error goes to the standard error display.
    std::function<void(TTimer&)> OnTimer;

private:
    static LRESULT CALLBACK WndProc(HWND h, UINT msg, WPARAM w, LPARAM l);
    void Update();

    unsigned interval_ = 1000;
    bool enabled_ = true;
    UniqueWindow window_;
};

}  // namespace swt
