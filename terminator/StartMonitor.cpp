#include "terminator/StartMonitor.h"

namespace swt {

HMONITOR CaptureStartMonitor() { return ::MonitorFromWindow(::GetForegroundWindow(), MONITOR_DEFAULTTONEAREST); }

RECT MonitorBounds(HMONITOR monitor) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!monitor || !::GetMonitorInfoW(monitor, &info)) return RECT{};
    return info.rcMonitor;
}

POINT CentreOnBounds(const RECT& bounds, SIZE window) {
    const long width = bounds.right - bounds.left;
    const long height = bounds.bottom - bounds.top;
    return POINT{bounds.left + (width - window.cx) / 2, bounds.top + (height - window.cy) / 2};
}

}  // namespace swt
