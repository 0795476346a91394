#include "terminator/EndwatchMain.h"

#include <windows.h>

#include "support/LibraryStartup.h"
#include "base/CommandLine.h"
#include "base/SystemLibrary.h"
#include "terminator/EndwatchUnit1.h"

namespace swt {

int EndwatchMain(const TCountdownTimes& times) {
    // No DLL from this program's folder, whatever loads one from here on.
    RestrictDllSearchToSystemFolder();
    // Then at once, while the application that started us is still in the foreground.
    const HMONITOR startMonitor = CaptureStartMonitor();
    try {
        XProcsLibrary xprocs;  // library start-up before any program code, shutdown after it
        // Split by the plain rule: a quoted folder ending in a backslash does not swallow the id.
        RunEndwatch(PlainCommandLineArgs(), startMonitor, times);
    } catch (...) {
        // The thread's one boundary: every error ends the program quietly, with exit code 0.
    }
    return 0;
}

}  // namespace swt
