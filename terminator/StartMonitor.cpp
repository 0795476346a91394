#include "terminator/StartMonitor.h"

namespace swt {

HMONITOR CaptureStartMonitor() { return ::MonitorFromWindow(::GetForegroundWindow(), MONITOR_DEFAULTTONEAREST); }

RECT MonitorBounds(HMONITOR monitor) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!monitor || !::GetMonitorInfoW(monitor, &info)) return RECT{};
    return info.rcMonitor;
}

RECT CountdownBounds(HMONITOR startMonitor, const RECT& designed) {
    RECT bounds = MonitorBounds(startMonitor);
    if (!::IsRectEmpty(&bounds)) return bounds;
    bounds = MonitorBounds(::MonitorFromRect(&designed, MONITOR_DEFAULTTONEAREST));
    if (!::IsRectEmpty(&bounds)) return bounds;
    // No monitor answers at all: the primary screen as the system metrics give it.
    return RECT{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
}

POINT CentreOnBounds(const RECT& bounds, SIZE window) {
    const long width = bounds.right - bounds.left;
    const long height = bounds.bottom - bounds.top;
    return POINT{bounds.left + (width - window.cx) / 2, bounds.top + (height - window.cy) / 2};
}

}  // namespace swt
