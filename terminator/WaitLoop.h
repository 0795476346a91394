// The terminator's main flow: start-up from the command line, then the waiting loop that polls four
// times a second, shows the countdown window after ShowTime and terminates the process at MaxTime.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "terminator/CountdownTimes.h"

namespace swt {

class TKillFrm;
class TCountdownClock;
class TWatchedProcess;

// Milliseconds the loop sleeps between passes.
inline constexpr DWORD kPassInterval = 250;

// Runs the loop until the process has ended, was terminated, or the user ended the program from the
// window. startMonitor: where the window is centred when it shows.
void RunWaitingLoop(TKillFrm& form, const TWatchedProcess& process, TCountdownClock& clock, HMONITOR startMonitor,
                    const std::wstring& displayName);

// The whole program after the start monitor has been taken: reads the command line, creates the
// window hidden and runs the loop with the given times. Its errors go to the program entry's
// boundary (EndwatchMain), which ends the program quietly.
void RunEndwatch(const std::vector<std::wstring>& args, HMONITOR startMonitor,
                 const TCountdownTimes& times = TCountdownTimes{});

}  // namespace swt
