// Drives Endwatch end to end for the tests: starts it and the watched fixture, finds its window,
// clicks and presses keys from this process (same Wine prefix, so SendInput reaches its key state).
#pragma once
#include <windows.h>

#include <chrono>
#include <cstdint>
#include <string>

#include "tests/terminator/TestTimes.h"
#include "tests/common/TestSupport.h"

namespace endwatch_test {

using swt::test::BinPath;
using swt::test::Child;
using Clock = std::chrono::steady_clock;

inline constexpr DWORD kFixtureSelfExit = 7;

// Starts the test build of Endwatch with its times divided by `divisor` (2 to 1000), or, with the
// default 1, the shipped Endwatch.exe with its real times.
inline Child StartEndwatch(const std::wstring& args, int divisor = 1) {
    if (divisor <= 1) return swt::test::Start(BinPath(L"Endwatch.exe"), args);
    ::SetEnvironmentVariableW(endwatch_test::kTestTimeDivisorVariable, std::to_wstring(divisor).c_str());
    Child c = swt::test::Start(BinPath(L"EndwatchTestBuild.exe"), args);
    ::SetEnvironmentVariableW(endwatch_test::kTestTimeDivisorVariable, nullptr);
    return c;
}

// The watched process: runs for runMs, then exits by itself with kFixtureSelfExit.
inline Child StartFixture(DWORD runMs) {
    return swt::test::Start(BinPath(L"EndwatchFixture.exe"), L"wait " + std::to_wstring(runMs));
}

inline std::wstring PidArgs(DWORD pid, const std::wstring& name = L"Testprogramm") {
    return L"0 " + std::to_wstring(pid) + L" \"" + name + L"\"";
}

// The countdown window of one Endwatch process (tests run side by side, each with its own).
inline HWND FindKillFrm(DWORD endwatchPid) {
    return swt::test::FindWindowOf(endwatchPid, [](HWND w) {
        wchar_t caption[32] = {};
        ::GetWindowTextW(w, caption, 32);
        return std::wstring(caption) == L"KillFrm";
    });
}

inline bool IsKillFrmVisible(DWORD endwatchPid) {
    HWND w = FindKillFrm(endwatchPid);
    return w && ::IsWindowVisible(w);
}

// Waits until the countdown window shows; null after the time-out or when Endwatch ended.
inline HWND WaitForVisibleKillFrm(const Child& endwatch, DWORD ms = 30000) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < deadline) {
        HWND w = FindKillFrm(endwatch.pid);
        if (w && ::IsWindowVisible(w)) return w;
        if (::WaitForSingleObject(endwatch.process.get(), 20) == WAIT_OBJECT_0) return nullptr;
    }
    return nullptr;
}

// Waits for Endwatch to end and says whether its window was visible at any poll meanwhile.
inline bool WaitWatchingVisibility(const Child& endwatch, DWORD ms = 30000) {
    bool seen = false;
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < deadline) {
        seen = seen || IsKillFrmVisible(endwatch.pid);
        if (::WaitForSingleObject(endwatch.process.get(), 20) == WAIT_OBJECT_0) break;
    }
    return seen;
}

inline DWORD ExitCodeOf(const Child& c) {
    DWORD code = STILL_ACTIVE;
    ::GetExitCodeProcess(c.process.get(), &code);
    return code;
}

// Exit time in 100 ns units.
inline int64_t ExitTime(const Child& c) {
    FILETIME created, exited, kernel, user;
    if (!::GetProcessTimes(c.process.get(), &created, &exited, &kernel, &user)) return 0;
    return (static_cast<int64_t>(exited.dwHighDateTime) << 32) | exited.dwLowDateTime;
}

// The deepest visible child of `top` under a point given in top's client coordinates.
inline HWND DeepestChildAt(HWND top, POINT clientPt, POINT& localPt) {
    HWND w = top;
    POINT screen = clientPt;
    ::ClientToScreen(top, &screen);
    for (;;) {
        POINT p = screen;
        ::ScreenToClient(w, &p);
        HWND child = ::ChildWindowFromPointEx(w, p, CWP_SKIPINVISIBLE | CWP_SKIPTRANSPARENT);
        if (!child || child == w) {
            localPt = p;
            return w;
        }
        w = child;
    }
}

// A left click delivered as the mouse messages a real click produces, at a point of the window:
// they carry the Ctrl key as it is at the moment of the click (held through SendInput).
inline void ClickAt(HWND top, POINT clientPt) {
    POINT local{};
    HWND target = DeepestChildAt(top, clientPt, local);
    const LPARAM at = MAKELPARAM(local.x, local.y);
    const WPARAM keys = (::GetAsyncKeyState(VK_CONTROL) & 0x8000) ? MK_CONTROL : 0;
    ::PostMessageW(target, WM_LBUTTONDOWN, MK_LBUTTON | keys, at);
    ::PostMessageW(target, WM_LBUTTONUP, keys, at);
}

// Centre of the close glyph in the window's client coordinates (19 x 19 at 283, 7 in the header).
inline constexpr POINT kGlyphCentre{283 + 9, 7 + 9};

inline HWND FindProgressBar(HWND top) {
    HWND found = nullptr;
    ::EnumChildWindows(
        top,
        [](HWND w, LPARAM lp) noexcept -> BOOL {
            wchar_t cls[64] = {};
            ::GetClassNameW(w, cls, 64);
            if (wcscmp(cls, L"msctls_progress32") == 0) {
                *reinterpret_cast<HWND*>(lp) = w;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

inline void SendKey(WORD vk, bool down) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    ::SendInput(1, &in, sizeof in);
}

// Holds Ctrl down for the scope, as the user does while clicking.
struct CtrlHeld {
    CtrlHeld() { SendKey(VK_CONTROL, true); }
    ~CtrlHeld() { Release(); }
    void Release() {
        if (held_) SendKey(VK_CONTROL, false);
        held_ = false;
    }

private:
    bool held_ = true;
};

// Returns once Endwatch's loop has handled its window's messages twice more (each WM_NULL is only
// answered inside the loop's message processing), so the events of the show have been taken in.
inline void SettleAfterShow(HWND w) {
    ::Sleep(300);
    for (int i = 0; i < 2; ++i) {
        DWORD_PTR result = 0;
        ::SendMessageTimeoutW(w, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result);
    }
}

struct Ended {
    Child* child;
    ~Ended() {
        if (child->process && ::WaitForSingleObject(child->process.get(), 0) == WAIT_TIMEOUT)
            ::TerminateProcess(child->process.get(), 1);
    }
};

}  // namespace endwatch_test
