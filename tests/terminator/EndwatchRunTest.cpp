// Endwatch end to end: real watched processes, the real program, its window driven from this
// process (same Wine prefix, so key state set with SendInput reaches the program).
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "terminator/CountdownTimes.h"
#include "terminator/StartMonitor.h"
#include "tests/common/TestSupport.h"

namespace {

using swt::test::BinPath;
using swt::test::Child;
using Clock = std::chrono::steady_clock;

constexpr DWORD kFixtureSelfExit = 7;

// Runs Endwatch with its times divided by `divisor` (the program's test hook; 1 = real times).
Child StartEndwatch(const std::wstring& args, int divisor = 1) {
    ::SetEnvironmentVariableW(swt::kTestTimeDivisorVariable,
                              divisor > 1 ? std::to_wstring(divisor).c_str() : nullptr);
    Child c = swt::test::Start(BinPath(L"Endwatch.exe"), args);
    ::SetEnvironmentVariableW(swt::kTestTimeDivisorVariable, nullptr);
    return c;
}

Child StartFixture(DWORD runMs) { return swt::test::Start(BinPath(L"EndwatchFixture.exe"), L"wait " + std::to_wstring(runMs)); }

std::wstring PidArgs(DWORD pid, const std::wstring& name = L"Testprogramm") {
    return L"0 " + std::to_wstring(pid) + L" \"" + name + L"\"";
}

// The countdown window of one Endwatch process (tests run side by side, each with its own).
HWND FindKillFrm(DWORD endwatchPid) {
    struct Search {
        DWORD pid;
        HWND found;
    } search{endwatchPid, nullptr};
    ::EnumWindows(
        [](HWND w, LPARAM lp) -> BOOL {
            auto* s = reinterpret_cast<Search*>(lp);
            DWORD pid = 0;
            ::GetWindowThreadProcessId(w, &pid);
            wchar_t caption[32] = {};
            ::GetWindowTextW(w, caption, 32);
            if (pid == s->pid && std::wstring(caption) == L"KillFrm") {
                s->found = w;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool IsKillFrmVisible(DWORD endwatchPid) {
    HWND w = FindKillFrm(endwatchPid);
    return w && ::IsWindowVisible(w);
}

// Waits until the countdown window shows; null after the time-out or when Endwatch ended.
HWND WaitForVisibleKillFrm(const Child& endwatch, DWORD ms = 30000) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < deadline) {
        HWND w = FindKillFrm(endwatch.pid);
        if (w && ::IsWindowVisible(w)) return w;
        if (::WaitForSingleObject(endwatch.process.get(), 20) == WAIT_OBJECT_0) return nullptr;
    }
    return nullptr;
}

// Waits for Endwatch to end and says whether its window was visible at any poll meanwhile.
bool WaitWatchingVisibility(const Child& endwatch, DWORD ms = 30000) {
    bool seen = false;
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < deadline) {
        seen = seen || IsKillFrmVisible(endwatch.pid);
        if (::WaitForSingleObject(endwatch.process.get(), 20) == WAIT_OBJECT_0) break;
    }
    return seen;
}

DWORD ExitCodeOf(const Child& c) {
    DWORD code = STILL_ACTIVE;
    ::GetExitCodeProcess(c.process.get(), &code);
    return code;
}

// Exit time in 100 ns units.
int64_t ExitTime(const Child& c) {
    FILETIME created, exited, kernel, user;
    if (!::GetProcessTimes(c.process.get(), &created, &exited, &kernel, &user)) return 0;
    return (static_cast<int64_t>(exited.dwHighDateTime) << 32) | exited.dwLowDateTime;
}

// The deepest visible child of `top` under a point given in top's client coordinates.
HWND DeepestChildAt(HWND top, POINT clientPt, POINT& localPt) {
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

// A left click delivered as the mouse messages a real click produces, at a point of the window.
void ClickAt(HWND top, POINT clientPt) {
    POINT local{};
    HWND target = DeepestChildAt(top, clientPt, local);
    const LPARAM at = MAKELPARAM(local.x, local.y);
    ::PostMessageW(target, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::PostMessageW(target, WM_LBUTTONUP, 0, at);
}

// Centre of the close glyph in the window's client coordinates (19 x 19 at 283, 7 in the header).
constexpr POINT kGlyphCentre{283 + 9, 7 + 9};

HWND FindProgressBar(HWND top) {
    HWND found = nullptr;
    ::EnumChildWindows(
        top,
        [](HWND w, LPARAM lp) -> BOOL {
            wchar_t cls[64] = {};
            ::GetClassNameW(w, cls, 64);
            if (std::wstring(cls) == L"msctls_progress32") {
                *reinterpret_cast<HWND*>(lp) = w;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

void SendKey(WORD vk, bool down) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    ::SendInput(1, &in, sizeof in);
}

// Holds Ctrl down for the scope, as the user does while clicking.
struct CtrlHeld {
    CtrlHeld() { SendKey(VK_CONTROL, true); }
    ~CtrlHeld() { SendKey(VK_CONTROL, false); }
};

// Returns once Endwatch's loop has handled its window's messages twice more (each WM_NULL is only
// answered inside the loop's message processing), so the events of the show have been taken in.
void SettleAfterShow(HWND w) {
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

TEST(EndwatchRun, ProcessEndingBeforeShowTimeNeverShowsTheWindow) {
    Child watched = StartFixture(1500);
    Ended cleanup1{&watched};
    Child endwatch = StartEndwatch(PidArgs(watched.pid));
    Ended cleanup2{&endwatch};
    EXPECT_FALSE(WaitWatchingVisibility(endwatch));
    ASSERT_EQ(endwatch.Wait(), 0u);
    EXPECT_EQ(watched.Wait(), kFixtureSelfExit);
    // One pass of the loop is a little more than 250 ms; allow for a loaded machine.
    const int64_t lagMs = (ExitTime(endwatch) - ExitTime(watched)) / 10000;
    std::printf("Endwatch ended %lld ms after the watched process\n", static_cast<long long>(lagMs));
    EXPECT_GE(lagMs, 0);
    EXPECT_LT(lagMs, 1500);
}

TEST(EndwatchRun, UnreadableOrUnknownTargetEndsAtOnceWithoutWindow) {
    const struct {
        const char* what;
        std::wstring args;
    } cases[] = {
        {"no parameter", L""},
        {"parameter 2 not an integer", L"0 12x Name"},
        {"parameter 1 not an integer", L"Fenster"},
        {"window handle that names no window", L"$7FFFFF01"},
        {"process id 0", L"0 0 Name"},
        {"process id of no process", L"0 2147483000 Name"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Child endwatch = StartEndwatch(c.args);
        Ended cleanup{&endwatch};
        EXPECT_FALSE(WaitWatchingVisibility(endwatch, 15000));
        EXPECT_EQ(ExitCodeOf(endwatch), 0u);
    }
}

TEST(EndwatchRun, WindowHandleFormWatchesTheOwnerAndTerminatesAtTimeOut) {
    const std::wstring caption = L"EndwatchOwner-" + swt::test::NewGuidText();
    Child owner = swt::test::Start(BinPath(L"EndwatchFixture.exe"), L"window \"" + caption + L"\" 60000");
    Ended cleanup1{&owner};
    HWND window = nullptr;
    for (int i = 0; i < 300 && !window; ++i) {
        window = ::FindWindowW(nullptr, caption.c_str());
        if (!window) ::Sleep(50);
    }
    ASSERT_NE(window, nullptr);
    // 3 s instead of 60 s.
    Child endwatch = StartEndwatch(std::to_wstring(reinterpret_cast<intptr_t>(window)), 20);
    Ended cleanup2{&endwatch};
    EXPECT_NE(WaitForVisibleKillFrm(endwatch), nullptr);
    EXPECT_EQ(endwatch.Wait(), 0u);
    EXPECT_EQ(owner.Wait(5000), 0u) << "the owner of the window is terminated with exit code 0";
}

TEST(EndwatchRun, ProcessStillRunningAtTimeOutIsTerminatedWithExitCodeZero) {
    Child watched = StartFixture(60000);
    Ended cleanup1{&watched};
    const auto start = Clock::now();
    // Three parameters: the first is not read at all.
    Child endwatch = StartEndwatch(L"nicht-gelesen " + std::to_wstring(watched.pid) + L" Name", 20);
    Ended cleanup2{&endwatch};
    HWND w = WaitForVisibleKillFrm(endwatch);
    ASSERT_NE(w, nullptr);
    // Centred on the full bounds of the start monitor (the only one here), not on its work area.
    RECT r{};
    ::GetWindowRect(w, &r);
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    ASSERT_TRUE(::GetMonitorInfoW(::MonitorFromWindow(w, MONITOR_DEFAULTTONEAREST), &mi));
    const POINT centred = swt::CentreOnBounds(mi.rcMonitor, SIZE{r.right - r.left, r.bottom - r.top});
    EXPECT_EQ(r.left, centred.x);
    EXPECT_EQ(r.top, centred.y);
    EXPECT_EQ(::GetWindowLongPtrW(w, GWL_EXSTYLE) & WS_EX_TOPMOST, WS_EX_TOPMOST);
    EXPECT_EQ(endwatch.Wait(), 0u);
    EXPECT_EQ(watched.Wait(5000), 0u);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    EXPECT_GE(ms, 3000);
}

TEST(EndwatchRun, CloseGlyphTerminatesAtOnceButCtrlClickLeavesTheProcess) {
    {
        SCOPED_TRACE("plain click");
        Child watched = StartFixture(60000);
        Ended cleanup1{&watched};
        Child endwatch = StartEndwatch(PidArgs(watched.pid), 10);  // shows after 500 ms; 6 s
        Ended cleanup2{&endwatch};
        HWND w = WaitForVisibleKillFrm(endwatch);
        ASSERT_NE(w, nullptr);
        const auto clicked = Clock::now();
        ClickAt(w, kGlyphCentre);
        EXPECT_EQ(watched.Wait(10000), 0u);
        EXPECT_EQ(endwatch.Wait(10000), 0u);
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - clicked).count();
        std::printf("close glyph: process and Endwatch ended %lld ms after the click\n", static_cast<long long>(ms));
        EXPECT_LT(ms, 4000) << "well before the 6 s time-out";
    }
    {
        SCOPED_TRACE("Ctrl+click");
        Child watched = StartFixture(60000);
        Ended cleanup1{&watched};
        Child endwatch = StartEndwatch(PidArgs(watched.pid), 10);
        Ended cleanup2{&endwatch};
        HWND w = WaitForVisibleKillFrm(endwatch);
        ASSERT_NE(w, nullptr);
        // Under X the newly shown window gets the input focus, and with it the keyboard state of the
        // X server, where Ctrl is up: let Endwatch take in those events before pressing Ctrl.
        SettleAfterShow(w);
        {
            CtrlHeld ctrl;
            ::Sleep(400);
            const auto clicked = Clock::now();
            ClickAt(w, kGlyphCentre);
            EXPECT_EQ(endwatch.Wait(10000), 0u);
            const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - clicked).count();
            std::printf("Ctrl+click: Endwatch ended %lld ms after the click\n", static_cast<long long>(ms));
        }
        EXPECT_EQ(watched.Wait(0), STILL_ACTIVE) << "Ctrl+click leaves the process running";
        // Past the (shortened) time-out nothing is terminated any more.
        ::Sleep(1000);
        EXPECT_EQ(watched.Wait(0), STILL_ACTIVE);
    }
}

TEST(EndwatchRun, AltF4AndCloseRequestsAreRefused) {
    Child watched = StartFixture(60000);
    Ended cleanup1{&watched};
    Child endwatch = StartEndwatch(PidArgs(watched.pid), 10);  // 500 ms, 6 s
    Ended cleanup2{&endwatch};
    HWND w = WaitForVisibleKillFrm(endwatch);
    ASSERT_NE(w, nullptr);
    // Alt+F4 as the keyboard delivers it, and the close requests it turns into.
    ::PostMessageW(w, WM_SYSKEYDOWN, VK_F4, 0x203E0001);
    ::PostMessageW(w, WM_SYSKEYUP, VK_F4, 0xE03E0001);
    ::PostMessageW(w, WM_SYSCOMMAND, SC_CLOSE, 0);
    ::PostMessageW(w, WM_CLOSE, 0, 0);
    ::Sleep(1000);
    EXPECT_EQ(endwatch.Wait(0), STILL_ACTIVE);
    EXPECT_TRUE(::IsWindowVisible(w));
    EXPECT_EQ(watched.Wait(0), STILL_ACTIVE);
    // The countdown goes on to its end.
    EXPECT_EQ(endwatch.Wait(20000), 0u);
    EXPECT_EQ(watched.Wait(5000), 0u);
}

TEST(EndwatchRun, ClickOnProgressBarPostponesByMaxTime) {
    const struct {
        const char* what;
        int clicks;
    } cases[] = {{"no click", 0}, {"one click", 1}};
    long long lifetimes[2] = {};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Child watched = StartFixture(60000);
        Ended cleanup1{&watched};
        Child endwatch = StartEndwatch(PidArgs(watched.pid), 10);  // shown after 500 ms, time-out after 6 s
        Ended cleanup2{&endwatch};
        HWND w = WaitForVisibleKillFrm(endwatch);
        ASSERT_NE(w, nullptr);
        const auto shown = Clock::now();
        HWND bar = FindProgressBar(w);
        ASSERT_NE(bar, nullptr);
        for (int i = 0; i < c.clicks; ++i) {
            RECT r{};
            ::GetClientRect(bar, &r);
            const LPARAM at = MAKELPARAM(r.right / 2, r.bottom / 2);
            ::PostMessageW(bar, WM_LBUTTONDOWN, MK_LBUTTON, at);
            ::PostMessageW(bar, WM_LBUTTONUP, 0, at);
        }
        EXPECT_EQ(endwatch.Wait(40000), 0u);
        EXPECT_EQ(watched.Wait(5000), 0u);
        lifetimes[c.clicks] = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - shown).count();
        std::printf("%s: terminated %lld ms after the window showed\n", c.what, lifetimes[c.clicks]);
    }
    // Without a click the end comes about 5.5 s after showing, with one 6 s later than that.
    EXPECT_GT(lifetimes[1] - lifetimes[0], 4000);
    EXPECT_LT(lifetimes[1] - lifetimes[0], 9000);
}

}  // namespace
