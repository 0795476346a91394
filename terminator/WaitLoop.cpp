#include "terminator/WaitLoop.h"

#include <memory>
#include <optional>

#include "base/ScopeGuard.h"
#include "terminator/Countdown.h"
#include "terminator/CountdownClock.h"
#include "terminator/CountdownTimes.h"
#include "terminator/KillCommandLine.h"
#include "terminator/KillForm.h"
#include "terminator/ProcessWatch.h"
#include "terminator/StartMonitor.h"
#include "ui/Application.h"

namespace swt {

void RunWaitingLoop(TKillFrm& form, const TWatchedProcess& process, TCountdownClock& clock, HMONITOR startMonitor,
                    const std::wstring& displayName) {
    for (;;) {
        if (form.IsShown()) form.RepaintNow();
        // The window's handlers run here: dragging, the close glyph, the progress bar.
        form.ProcessMessages();
        if (form.EndRequested()) return;
        ::Sleep(kPassInterval);
        if (form.IsShown()) {
            form.BringToFront();
            form.RepaintNow();
        }

        if (!process.IsRunning()) return;
        const int64_t elapsed = CountdownElapsed(clock.Now(), form.StartTime);
        if (elapsed >= form.MaxTime()) {
            process.Terminate();
            return;
        }
        form.SetProgress(CountdownProgress(elapsed, form.MaxTime()));
        form.SetCountdownText(CountdownText(displayName, elapsed, form.MaxTime()));
        // Also after the close glyph hid the window: a process that survived its termination
        // brings the window back, centred anew.
        if (!form.IsShown() && elapsed >= form.ShowTime)
            form.ShowCentredOn(CountdownBounds(startMonitor, form.BoundsRect().ToRECT()));
    }
}

void RunEndwatch(const std::vector<std::wstring>& args, HMONITOR startMonitor, const TCountdownTimes& times) {
    // No window shows by itself: the loop decides when the countdown window appears.
    Application().Initialize();
    Application().ShowMainForm = false;
    // An error inside a window handler ends the program like any other: no message box.
    Application().OnException = [](const std::wstring&) {
        if (KillFrm) KillFrm->RequestEnd();
    };
    const std::optional<TKillArgs> killArgs = ParseKillArgs(args);
    if (!killArgs) return;
    const DWORD processId = ResolveProcessId(*killArgs);
    if (processId == 0) return;
    // Opened before anything else can pass, so the handle names the process the caller meant;
    // a process begun after this program cannot be that one.
    const TWatchedProcess process(processId, nullptr, OwnStartTime());
    TCountdownClock clock;

    std::unique_ptr<TKillFrm> window = CreateForm<TKillFrm>(process);
    TKillFrm& form = *window;
    KillFrm = &form;
    ScopeExit forget([] { KillFrm = nullptr; });
    form.ShowTime = times.showTime;
    form.SetMaxTime(times.maxTime);
    form.StartTime = clock.Now();
    form.ProcessId = static_cast<int32_t>(processId);
    form.SetProgressRange(0, 100);
    form.SetProgress(0);
    form.SetDisplayName(killArgs->displayName);

    RunWaitingLoop(form, process, clock, startMonitor, killArgs->displayName);
}

}  // namespace swt
