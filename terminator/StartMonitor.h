// The monitor the countdown window appears on: the one of the application that was active at start.
#pragma once
#include <windows.h>

namespace swt {

// The monitor nearest to the foreground window, read first thing at program start, before this
// program's own windows can take the foreground.
HMONITOR CaptureStartMonitor();

// Full bounds of a monitor (not its work area); an empty rectangle when it cannot be read.
RECT MonitorBounds(HMONITOR monitor);

// Top-left corner that centres a window of the given size on the bounds; halves truncate toward zero.
POINT CentreOnBounds(const RECT& bounds, SIZE window);

}  // namespace swt
