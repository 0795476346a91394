// Endwatch end to end with the keyboard: Ctrl held while the close glyph is clicked. Runs alone
// (RUN_SERIAL): under X every window that takes the focus resets the key state to the X server's,
// where Ctrl is up, so a window shown by a test running alongside would let go of Ctrl.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "tests/terminator/EndwatchDriver.h"

namespace {

using namespace endwatch_test;

TEST(EndwatchInput, CloseGlyphTerminatesAtOnce) {
    {
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
}

// The Ctrl key belongs to the click: let go of it soon after clicking, before the loop of
// Endwatch has got round to the click, and the process is still left running.
TEST(EndwatchInput, CtrlClickLeavesTheProcessHoweverSoonCtrlIsReleased) {
    const struct {
        const char* what;
        int releaseAfterMs;  // -1: held until Endwatch has ended
    } cases[] = {
        {"Ctrl held until Endwatch ended", -1},
        {"Ctrl released 300 ms after the click", 300},
        {"Ctrl released right after the click", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
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
            if (c.releaseAfterMs >= 0) {
                ::Sleep(static_cast<DWORD>(c.releaseAfterMs));
                ctrl.Release();
            }
            EXPECT_EQ(endwatch.Wait(10000), 0u);
            const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - clicked).count();
            std::printf("%s: Endwatch ended %lld ms after the click\n", c.what, static_cast<long long>(ms));
        }
        EXPECT_EQ(watched.Wait(0), STILL_ACTIVE) << "Ctrl+click leaves the process running";
        // Past the (shortened) time-out nothing is terminated any more.
        ::Sleep(1000);
        EXPECT_EQ(watched.Wait(0), STILL_ACTIVE);
    }
}

}  // namespace
