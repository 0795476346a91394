// Endwatch: waits for one process to end and terminates it after a countdown.
#include <windows.h>

#include "support/CommandLine.h"
#include "support/LibraryStartup.h"
#include "terminator/EndwatchUnit1.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // First of all, while the application that started us is still in the foreground.
    const HMONITOR startMonitor = swt::CaptureStartMonitor();
    try {
        swt::XProcsLibrary xprocs;  // library start-up before any program code, shutdown after it
        swt::RunEndwatch(swt::CommandLineArgs(), startMonitor);
    } catch (...) {
    }
    return 0;
}
