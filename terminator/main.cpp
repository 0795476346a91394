// Endwatch: waits for one process to end and terminates it after a countdown.
#include <windows.h>

#include "terminator/EndwatchMain.h"

// Always 5 s before the window shows and 60 s before the process is terminated.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return swt::EndwatchMain(swt::TCountdownTimes{}); }
