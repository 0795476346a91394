// Where the countdown window is centred: the start monitor, or the primary one once it has gone.
#include <gtest/gtest.h>

#include "terminator/StartMonitor.h"

namespace {

RECT PrimaryBounds() {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    EXPECT_TRUE(::GetMonitorInfoW(::MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &info));
    return info.rcMonitor;
}

bool SameRect(const RECT& a, const RECT& b) { return ::EqualRect(&a, &b) != FALSE; }

TEST(StartMonitor, CentresOnTheFullBoundsTruncatingHalves) {
    const struct {
        RECT bounds;
        SIZE window;
        POINT expected;
    } cases[] = {
        {{0, 0, 1280, 1024}, {315, 128}, {482, 448}},
        {{0, 0, 1280, 1024}, {316, 129}, {482, 447}},
        {{-1920, 0, 0, 1080}, {315, 125}, {-1920 + 802, 477}},
        {{0, 0, 300, 100}, {315, 125}, {-7, -12}},  // larger than the monitor: halves toward zero
    };
    for (const auto& c : cases) {
        const POINT p = swt::CentreOnBounds(c.bounds, c.window);
        EXPECT_EQ(p.x, c.expected.x) << c.bounds.left << "," << c.window.cx;
        EXPECT_EQ(p.y, c.expected.y) << c.bounds.top << "," << c.window.cy;
    }
}

TEST(StartMonitor, MonitorThatWentAwayFallsBackToTheOneNearestTheDesignedPlace) {
    const RECT primary = PrimaryBounds();
    ASSERT_FALSE(::IsRectEmpty(&primary));
    const RECT designed{0, 0, 313, 125};
    const struct {
        const char* what;
        HMONITOR start;
        RECT designed;
    } cases[] = {
        {"start monitor still there", ::MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), designed},
        {"start monitor disconnected", reinterpret_cast<HMONITOR>(static_cast<intptr_t>(0x7FFF1234)), designed},
        {"no start monitor", nullptr, designed},
        {"gone, designed place off every screen", nullptr, RECT{-9000, -9000, -8687, -8875}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const RECT bounds = swt::CountdownBounds(c.start, c.designed);
        EXPECT_TRUE(SameRect(bounds, primary));
        // Centred on it, the window lies on the screen.
        const POINT at = swt::CentreOnBounds(bounds, SIZE{313, 125});
        EXPECT_GE(at.x, primary.left);
        EXPECT_GE(at.y, primary.top);
    }
    // What the fault looked like: the gone monitor's bounds read as empty, which centred the
    // window on (0, 0).
    const RECT gone = swt::MonitorBounds(reinterpret_cast<HMONITOR>(static_cast<intptr_t>(0x7FFF1234)));
    EXPECT_TRUE(::IsRectEmpty(&gone));
}

}  // namespace
