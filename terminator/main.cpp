// Endwatch: waits for one process to end and terminates it after a countdown.
#include <windows.h>

#include "support/CommandLine.h"
#include "support/LibraryStartup.h"
#include "support/SystemLibrary.h"
#include "terminator/EndwatchUnit1.h"

namespace {
swt::TCountdownTimes Times() {
#if defined(ENDWATCH_TEST_BUILD)
    // The test build (EndwatchTestBuild.exe) only: shorter times for its end-to-end tests.
    wchar_t divisor[32];
    const DWORD n = ::GetEnvironmentVariableW(swt::kTestTimeDivisorVariable, divisor, 32);
    if (n > 0 && n < 32) return swt::ScaledCountdownTimes(std::wstring(divisor, n));
#endif
    return swt::TCountdownTimes{};
}
}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // No DLL from this program's folder, whatever loads one from here on.
    swt::RestrictDllSearchToSystemFolder();
    // Then at once, while the application that started us is still in the foreground.
    const HMONITOR startMonitor = swt::CaptureStartMonitor();
    try {
        swt::XProcsLibrary xprocs;  // library start-up before any program code, shutdown after it
        swt::RunEndwatch(swt::CommandLineArgs(), startMonitor, Times());
    } catch (...) {
    }
    return 0;
}
