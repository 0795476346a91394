#include "ui/ProgressBar.h"

#include <commctrl.h>

#include <algorithm>

namespace swt {

TProgressBar::TProgressBar() { SetBounds(0, 0, 150, 17); }

void TProgressBar::CreateParams(TCreateParams& p) {
    TWinControl::CreateParams(p);
    p.ClassName = PROGRESS_CLASSW;
    p.SystemClass = true;
    p.Style &= ~static_cast<DWORD>(WS_CLIPCHILDREN);
}

void TProgressBar::HandleCreated() {
    ::SendMessageW(hwnd_, PBM_SETRANGE32, static_cast<WPARAM>(min_), static_cast<LPARAM>(max_));
    ::SendMessageW(hwnd_, PBM_SETPOS, static_cast<WPARAM>(position_), 0);
}

void TProgressBar::SetRange(int min, int max) {
    if (max < min) max = min;
    if (min == min_ && max == max_) return;
    min_ = min;
    max_ = max;
    position_ = std::clamp(position_, min_, max_);
    if (HandleAllocated()) HandleCreated();
}

void TProgressBar::SetPosition(int v) {
    v = std::clamp(v, min_, max_);
    if (v == position_) return;
    position_ = v;
    if (HandleAllocated()) ::SendMessageW(hwnd_, PBM_SETPOS, static_cast<WPARAM>(position_), 0);
}

}  // namespace swt
