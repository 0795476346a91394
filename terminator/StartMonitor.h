// The monitor the countdown window appears on: the one of the application that was active at start.
#pragma once
#include <windows.h>

namespace swt {

// The monitor nearest to the foreground window, read first thing at program start, before this
// program's own windows can take the foreground.
HMONITOR CaptureStartMonitor();

// Full bounds of a monitor (not its work area); an empty rectangle when it cannot be read.
RECT MonitorBounds(HMONITOR monitor);

// The bounds the countdown window is centred on: the start monitor's; when that monitor has gone
// since the start (disconnected, so its bounds read as empty), those of the monitor nearest to
// `designed`, the window's designed place (on the primary monitor).
RECT CountdownBounds(HMONITOR startMonitor, const RECT& designed);

// Top-left corner that centres a window of the given size on the bounds; halves truncate toward zero.
POINT CentreOnBounds(const RECT& bounds, SIZE window);

}  // namespace swt
