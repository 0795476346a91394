// The whole program behind Endwatch's wWinMain, with the times it waits.
#pragma once
#include "terminator/CountdownTimes.h"

namespace swt {

// Restricts DLL loading to the system folder, takes the start monitor at once, starts the library,
// then watches the process the command line names. Returns the exit code, always 0.
int EndwatchMain(const TCountdownTimes& times);

}  // namespace swt
