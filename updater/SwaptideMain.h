// The updater's program entry, shared by Swaptide2.exe and the test build that gives up sooner.
#pragma once
#include <windows.h>

namespace swt {

// Runs the updater for the process's command line; the run gives up after timeLimitMs. Returns the
// program's exit code, 0.
int SwaptideMain(ULONGLONG timeLimitMs);

}  // namespace swt
