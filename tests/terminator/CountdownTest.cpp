// The countdown's arithmetic with an injected millisecond counter in place of the multimedia timer.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "terminator/Countdown.h"
#include "terminator/CountdownClock.h"
#include "tests/terminator/TestTimes.h"

namespace {

uint32_t g_ticks = 0;
uint32_t FakeTicks() { return g_ticks; }

constexpr int64_t kMax = 60000;

// Reads the clock the way the waiting loop does: start, then the elapsed time at a later tick count.
struct ClockedRun {
    swt::TCountdownClock clock{&FakeTicks};
    int64_t startTime = 0;
    explicit ClockedRun(uint32_t startTicks) {
        g_ticks = startTicks;
        startTime = clock.Now();
    }
    void Click() { startTime += kMax; }
    int64_t ElapsedAt(uint32_t ticks) {
        g_ticks = ticks;
        return swt::CountdownElapsed(clock.Now(), startTime);
    }
};

struct Case {
    const char* what;
    uint32_t start;
    int clicks;      // clicks on the progress bar right after the start
    uint32_t later;  // ms after the start (added with 32-bit wrap, like the timer)
    int64_t elapsed;
    int progress;  // position computed for the bar
    int shown;     // what the bar shows
    const wchar_t* text;
};

TEST(Countdown, ProgressAndTextFollowTheClock) {
    const uint32_t nearWrap = 0xFFFFFFFFu - 20000u;  // the timer wraps 20 s into the countdown
    const Case cases[] = {
        {"start", 1000, 0, 0, 0, 0, 0, L"Veltra wird in 60 Sekunden beendet."},
        {"first pass after 250 ms", 1000, 0, 250, 250, 0, 0, L"Veltra wird in 59 Sekunden beendet."},
        {"half a percent rounds to even (0)", 1000, 0, 300, 300, 0, 0, L"Veltra wird in 59 Sekunden beendet."},
        {"one and a half percent rounds to even (2)", 1000, 0, 900, 900, 2, 2, L"Veltra wird in 59 Sekunden beendet."},
        {"49.5 % rounds to 50", 1000, 0, 29700, 29700, 50, 50, L"Veltra wird in 30 Sekunden beendet."},
        {"50 %", 1000, 0, 30000, 30000, 50, 50, L"Veltra wird in 30 Sekunden beendet."},
        {"50.5 % rounds to 50", 1000, 0, 30300, 30300, 50, 50, L"Veltra wird in 29 Sekunden beendet."},
        {"last second begins", 1000, 0, 59001, 59001, 98, 98, L"Veltra wird in 0 Sekunden beendet."},
        {"end of the last second", 1000, 0, 59999, 59999, 100, 100, L"Veltra wird in 0 Sekunden beendet."},
        {"beyond the time: truncation toward zero", 1000, 0, 60500, 60500, 101, 100,
         L"Veltra wird in 0 Sekunden beendet."},
        {"well beyond 100 %", 1000, 0, 66000, 66000, 110, 100, L"Veltra wird in -6 Sekunden beendet."},
        {"one click, 10 s later", 1000, 1, 10000, -50000, -83, 0, L"Veltra wird in 110 Sekunden beendet."},
        {"one click, positive again", 1000, 1, 90000, 30000, 50, 50, L"Veltra wird in 30 Sekunden beendet."},
        {"two clicks, 10 s later", 1000, 2, 10000, -110000, -183, 0, L"Veltra wird in 170 Sekunden beendet."},
        {"wrap inside the countdown", nearWrap, 0, 30000, 30000, 50, 50, L"Veltra wird in 30 Sekunden beendet."},
        {"wrap at the time-out", nearWrap, 0, 60000, 60000, 100, 100, L"Veltra wird in 0 Sekunden beendet."},
        {"wrap after a click", nearWrap, 1, 30000, -30000, -50, 0, L"Veltra wird in 90 Sekunden beendet."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ClockedRun run(c.start);
        for (int i = 0; i < c.clicks; ++i) run.Click();
        // The loop reads the clock four times a second; read it on the way as well.
        for (uint32_t t = 250; t < c.later; t += 250) run.ElapsedAt(c.start + t);
        const int64_t elapsed = run.ElapsedAt(c.start + c.later);
        EXPECT_EQ(elapsed, c.elapsed);
        const int progress = swt::CountdownProgress(elapsed, kMax);
        EXPECT_EQ(progress, c.progress);
        EXPECT_EQ(swt::ClampToBar(progress), c.shown);
        EXPECT_EQ(swt::CountdownText(L"Veltra", elapsed, kMax), c.text);
    }
}

TEST(Countdown, ClockNeverGoesBackAcrossSeveralWraps) {
    g_ticks = 0xFFFFFF00u;
    swt::TCountdownClock clock(&FakeTicks);
    const int64_t first = clock.Now();
    int64_t last = first;
    // Three wraps in steps of about 12 days; each reading is the true distance from the first.
    uint64_t total = 0;
    for (int i = 0; i < 12; ++i) {
        const uint32_t step = 0x40000000u;
        g_ticks += step;
        total += step;
        const int64_t now = clock.Now();
        EXPECT_GT(now, last);
        EXPECT_EQ(static_cast<uint64_t>(now - first), total);
        last = now;
    }
}

TEST(Countdown, TestHookScalesBothTimesOrNothing) {
    struct TimesCase {
        const wchar_t* text;
        int64_t show, max;
    } cases[] = {{L"", 5000, 60000},   {L"1", 5000, 60000},  {L"20", 250, 3000}, {L"10", 500, 6000},
                 {L"0", 5000, 60000},  {L"-5", 5000, 60000}, {L"abc", 5000, 60000},
                 {L"1000", 5, 60},     {L"1001", 5000, 60000}};
    for (const TimesCase& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.text)));
        const swt::TCountdownTimes t = endwatch_test::ScaledCountdownTimes(c.text);
        EXPECT_EQ(t.showTime, c.show);
        EXPECT_EQ(t.maxTime, c.max);
    }
}

}  // namespace
