// Hint tooltips: the application's one tooltip follows the control under the mouse that has
// ShowHint and a hint text (or the nearest parent that has).
#include "ui/Application.h"

#include <commctrl.h>

namespace swt {

namespace {

// The part of a hint before '|', with lone CRs made into line breaks the tooltip understands.
std::wstring HintText(const std::wstring& hint) {
    std::wstring shortHint = hint.substr(0, hint.find(L'|'));
    std::wstring out;
    for (size_t i = 0; i < shortHint.size(); ++i) {
        out += shortHint[i];
        if (shortHint[i] == L'\r' && (i + 1 >= shortHint.size() || shortHint[i + 1] != L'\n')) out += L'\n';
    }
    return out;
}

}  // namespace

void TApplication::CancelHint() {
    if (tooltip_ && hintControl_) {
        TTTOOLINFOW ti{};
        ti.cbSize = TTTOOLINFOW_V2_SIZE;
        ti.hwnd = hintWindow_;
        ti.uId = 1;
        ::SendMessageW(tooltip_, TTM_DELTOOL, 0, reinterpret_cast<LPARAM>(&ti));
    }
    hintControl_ = nullptr;
    hintWindow_ = nullptr;
}

void TApplication::HintMouseMessage(MSG& msg) {
    TWinControl* w = TWinControl::FromHandle(msg.hwnd);
    TControl* target = nullptr;
    if (w && msg.message != WM_MOUSEWHEEL && msg.message != WM_MOUSEHWHEEL) {
        const int x = static_cast<short>(LOWORD(msg.lParam)), y = static_cast<short>(HIWORD(msg.lParam));
        target = w->HitTest(x, y).Control;
    }
    TControl* hc = target;
    while (hc && !(hc->ShowHint() && !hc->Hint().empty())) hc = hc->Parent();
    if (hc != hintControl_ || (hc && msg.hwnd != hintWindow_)) {
        CancelHint();
        if (hc) {
            if (!tooltip_) {
                tooltip_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                             WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                                             CW_USEDEFAULT, CW_USEDEFAULT, Handle(), nullptr,
                                             ::GetModuleHandleW(nullptr), nullptr);
                if (!tooltip_) return;
                ::SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, 600);
                ::SendMessageW(tooltip_, TTM_SETDELAYTIME, TTDT_INITIAL, HintPause);
                ::SendMessageW(tooltip_, TTM_SETDELAYTIME, TTDT_AUTOPOP, HintHidePause);
            }
            std::wstring text = HintText(hc->Hint());
            TTTOOLINFOW ti{};
            ti.cbSize = TTTOOLINFOW_V2_SIZE;
            ti.hwnd = msg.hwnd;
            ti.uId = 1;
            ti.lpszText = text.data();
            if (!hc->IsWindowed())
                ti.rect = hc->BoundsRect().ToRECT();
            else
                ::GetClientRect(msg.hwnd, &ti.rect);
            ::SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
            hintControl_ = hc;
            hintWindow_ = msg.hwnd;
        }
    }
    if (hintControl_ && tooltip_) {
        if (msg.message == WM_LBUTTONDOWN || msg.message == WM_RBUTTONDOWN || msg.message == WM_MBUTTONDOWN)
            ::SendMessageW(tooltip_, TTM_POP, 0, 0);
        else
            ::SendMessageW(tooltip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&msg));
    }
}

}  // namespace swt
